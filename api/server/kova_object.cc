// CKovaIntrApi instances: a plain object with its own reference count, and an
// aggregated one whose interface pointers forward IUnknown to the outer object
// while a non-delegating inner unknown controls its life. Both answer
// IUnknown, IDispatch and IKovaIntrApi, all on one pointer, and nothing else;
// IDispatch is driven by the registered type library. Each instance holds one
// module lock while it lives.
#include <new>

#include "api/kova_api.h"
#include "api/server/kova_module.h"

namespace kova::server {

namespace {

// IDispatch over the type information of IKovaIntrApi; IUnknown left to the form.
class CKovaIntrDispatch : public CKovaIntrApi {
 public:
  STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override {
    if (pctinfo == nullptr) return E_POINTER;
    *pctinfo = 1;
    return S_OK;
  }

  STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override {
    if (ppTInfo == nullptr) return E_POINTER;
    *ppTInfo = nullptr;
    if (iTInfo != 0) return DISP_E_BADINDEX;
    return Module().GetApiTypeInfo(lcid, ppTInfo);
  }

  STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid,
                             DISPID* rgDispId) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    HRESULT hr = Module().GetApiTypeInfo(lcid, &info);
    if (FAILED(hr)) return hr;
    hr = info->GetIDsOfNames(rgszNames, cNames, rgDispId);
    info->Release();
    return hr;
  }

  STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                      DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo,
                      UINT* puArgErr) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    ITypeInfo* info = nullptr;
    HRESULT hr = Module().GetApiTypeInfo(lcid, &info);
    if (FAILED(hr)) return hr;
    hr = info->Invoke(static_cast<IKovaIntrApi*>(this), dispIdMember, wFlags, pDispParams,
                      pVarResult, pExcepInfo, puArgErr);
    info->Release();
    return hr;
  }

 protected:
  CKovaIntrDispatch() { Module().Lock(); }
  ~CKovaIntrDispatch() { Module().Unlock(); }

  // The interfaces the class answers, all on this pointer.
  void* InterfaceFor(REFIID riid) {
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IKovaIntrApi) {
      return static_cast<IKovaIntrApi*>(this);
    }
    return nullptr;
  }
};

// The reference count of an object that deletes itself with its last release.
template <class Base>
class SelfCounted final : public Base {
 public:
  using Base::Base;
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG count = InterlockedDecrement(&refs_);
    if (count == 0) delete this;
    return ULONG(count);
  }

 private:
  volatile LONG refs_ = 0;
};

class CKovaIntrApiPlainPart : public CKovaIntrDispatch {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = InterfaceFor(riid);
    if (*ppvObject == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
};
using CKovaIntrApiPlain = SelfCounted<CKovaIntrApiPlainPart>;

// The part of an aggregated instance that clients see: its IUnknown is the
// outer object's.
class CKovaIntrApiPart final : public CKovaIntrDispatch {
 public:
  explicit CKovaIntrApiPart(IUnknown* outer) : outer_(outer) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
    return outer_->QueryInterface(riid, ppvObject);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
  STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

  void* Find(REFIID riid) { return InterfaceFor(riid); }

 private:
  IUnknown* outer_;  // not held: the outer object owns this one
};

// The non-delegating unknown that the outer object holds.
class CKovaIntrApiAggregateUnknown : public IUnknown {
 public:
  explicit CKovaIntrApiAggregateUnknown(IUnknown* outer) : part_(outer) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    if (riid == IID_IUnknown) {
      *ppvObject = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    *ppvObject = part_.Find(riid);
    if (*ppvObject == nullptr) return E_NOINTERFACE;
    part_.AddRef();
    return S_OK;
  }

 protected:
  ~CKovaIntrApiAggregateUnknown() = default;

 private:
  CKovaIntrApiPart part_;
};
using CKovaIntrApiAggregate = SelfCounted<CKovaIntrApiAggregateUnknown>;

template <class Object>
HRESULT CreateAndQuery(Object* object, REFIID riid, void** ppv) {
  if (object == nullptr) return E_OUTOFMEMORY;
  const HRESULT hr = object->QueryInterface(riid, ppv);
  if (FAILED(hr)) {
    delete object;
    *ppv = nullptr;
  }
  return hr;
}

}  // namespace

HRESULT CreateKovaIntrApi(IUnknown* outer, REFIID riid, void** ppv) {
  try {
    if (outer == nullptr) {
      return CreateAndQuery(new (std::nothrow) CKovaIntrApiPlain(), riid, ppv);
    }
    return CreateAndQuery(new (std::nothrow) CKovaIntrApiAggregate(outer), riid, ppv);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace kova::server
