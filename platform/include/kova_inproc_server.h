// Building blocks of a small in-process COM server (area: com): the module's lock
// count, a class object for one class, and registration of the module's registry
// script with %MODULE% standing for the module's own path.
//
// An instance class T used with KovaClassFactory<T> is created with
// `new (std::nothrow) T(locks)`, starts with one reference, takes one lock on
// `locks` for its lifetime and deletes itself on its last Release, as
// KovaDualObject does.
#ifndef KOVA_PLATFORM_KOVA_INPROC_SERVER_H_
#define KOVA_PLATFORM_KOVA_INPROC_SERVER_H_

#include <new>
#include <string>

#include "oaidl.h"
#include "synchapi.h"
#include "unknwn.h"

namespace kova::com {

// Every live instance, every LockServer(TRUE) and every client reference to a
// class object holds one lock; the module may unload at zero.
class KovaServerLocks {
 public:
  LONG Lock() { return InterlockedIncrement(&count_); }
  LONG Unlock() { return InterlockedDecrement(&count_); }
  // What DllCanUnloadNow answers.
  HRESULT CanUnloadNow() const { return count_ == 0 ? S_OK : S_FALSE; }

 private:
  volatile LONG count_ = 0;
};

// The IUnknown of an automation object with one dual interface I (identified by
// `iid`): answers IUnknown, IDispatch and I, starts with one reference, deletes
// itself on its last Release and holds one lock on the module meanwhile.
template <class I, const IID& iid>
class KovaDualObject : public I {
 public:
  explicit KovaDualObject(KovaServerLocks* locks) : locks_(locks) { locks_->Lock(); }
  virtual ~KovaDualObject() { locks_->Unlock(); }
  KovaDualObject(const KovaDualObject&) = delete;
  KovaDualObject& operator=(const KovaDualObject&) = delete;

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == iid) {
      *ppv = static_cast<I*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(InterlockedIncrement(&refs_)); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = InterlockedDecrement(&refs_);
    if (left == 0) delete this;
    return ULONG(left);
  }

 private:
  KovaServerLocks* locks_;
  volatile LONG refs_ = 1;
};

// The type information of `iid` from the type library of the module that
// contains `address`. The caller holds a reference, which keeps the module
// loaded.
__attribute__((visibility("default"))) HRESULT KovaLoadModuleTypeInfo(const void* address,
                                                                      REFIID iid,
                                                                      ITypeInfo** info);

// A KovaDualObject whose IDispatch is served by the type information of `iid`
// in the type library of the module that holds `locks` (its kova_typelib_1),
// loaded on first use and kept for the object's life.
template <class I, const IID& iid>
class KovaAutomationObject : public KovaDualObject<I, iid> {
 public:
  explicit KovaAutomationObject(KovaServerLocks* locks)
      : KovaDualObject<I, iid>(locks), module_(locks) {}
  ~KovaAutomationObject() override {
    if (typeInfo_ != nullptr) typeInfo_->Release();
  }

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) return E_POINTER;
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
    if (info == nullptr) return E_POINTER;
    *info = nullptr;
    if (index != 0) return DISP_E_BADINDEX;
    const HRESULT hr = EnsureTypeInfo();
    if (FAILED(hr)) return hr;
    typeInfo_->AddRef();
    *info = typeInfo_;
    return S_OK;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                             DISPID* ids) override {
    const HRESULT hr = EnsureTypeInfo();
    if (FAILED(hr)) return hr;
    return typeInfo_->GetIDsOfNames(names, count, ids);
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep, UINT* argErr) override {
    const HRESULT hr = EnsureTypeInfo();
    if (FAILED(hr)) return hr;
    return typeInfo_->Invoke(static_cast<I*>(this), id, flags, params, result, excep,
                             argErr);
  }

 private:
  HRESULT EnsureTypeInfo() {
    if (typeInfo_ != nullptr) return S_OK;
    return KovaLoadModuleTypeInfo(module_, iid, &typeInfo_);
  }

  const void* module_;
  ITypeInfo* typeInfo_ = nullptr;
};

// A class object that lives as long as the module (a static object): its
// references are the clients' locks on the module.
template <class T>
class KovaClassFactory final : public IClassFactory {
 public:
  explicit KovaClassFactory(KovaServerLocks* locks) : locks_(locks) {}

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(locks_->Lock()); }
  STDMETHODIMP_(ULONG) Release() override { return ULONG(locks_->Unlock()); }

  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    T* instance = new (std::nothrow) T(locks_);
    if (instance == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = instance->QueryInterface(riid, ppv);
    instance->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      locks_->Lock();
    } else {
      locks_->Unlock();
    }
    return S_OK;
  }

 private:
  KovaServerLocks* locks_;
};

// The full path of the module that contains `address`, as GetModuleFileNameA
// gives it. A failure HRESULT when the address lies in no module.
__attribute__((visibility("default"))) HRESULT KovaModulePathOf(const void* address,
                                                                std::string* path);

// Registers (or unregisters) the registry script of the module that contains
// `address`, with %MODULE% replaced by that module's path; the registrar's
// results (kova_registrar.h).
__attribute__((visibility("default"))) HRESULT KovaApplyModuleScript(const void* address,
                                                                     const char* script,
                                                                     bool doRegister);

// Registers the type library the module that contains `address` carries
// (kova_typelib_1) with the module's path, or removes the registration of
// `libid` at the given version.
__attribute__((visibility("default"))) HRESULT KovaApplyModuleTypeLib(
    const void* address, bool doRegister, REFGUID libid, WORD major, WORD minor);

// Registers the module's class (its registry script) and then its type
// library; the first failure.
inline HRESULT KovaRegisterModule(const void* address, const char* script, REFGUID libid,
                                  WORD major, WORD minor) {
  const HRESULT hr = KovaApplyModuleScript(address, script, true);
  if (FAILED(hr)) return hr;
  return KovaApplyModuleTypeLib(address, true, libid, major, minor);
}

// Removes both registrations. A type library that is no longer registered is no
// reason to keep the class, so only the script's result counts.
inline HRESULT KovaUnregisterModule(const void* address, const char* script,
                                    REFGUID libid, WORD major, WORD minor) {
  (void)KovaApplyModuleTypeLib(address, false, libid, major, minor);
  return KovaApplyModuleScript(address, script, false);
}

// Runs `body` (returning an HRESULT) so that nothing it throws, such as a text's
// allocation failure, crosses an interface: that becomes E_OUTOFMEMORY.
template <class F>
HRESULT KovaGuarded(F body) noexcept {
  try {
    return body();
  } catch (...) {
    return E_OUTOFMEMORY;
  }
}

}  // namespace kova::com

#endif  // KOVA_PLATFORM_KOVA_INPROC_SERVER_H_
