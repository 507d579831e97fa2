// The cached class factory of CKovaIntrApi. The module holds the first
// reference; a client's reference (count 1 -> 2) locks the module and giving the
// last one back (2 -> 1) unlocks it, so only clients keep the library loaded.
#include <new>

#include "api/server/kova_module.h"

namespace kova::server {

namespace {

class CKovaIntrClassFactory final : public IClassFactory {
 public:
  explicit CKovaIntrClassFactory(CKovaIntrModule* module) : module_(module) {}

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

  STDMETHODIMP_(ULONG) AddRef() override {
    const LONG count = InterlockedIncrement(&refs_);
    if (count == 2) module_->Lock();
    return ULONG(count);
  }

  STDMETHODIMP_(ULONG) Release() override {
    const LONG count = InterlockedDecrement(&refs_);
    if (count == 1) module_->Unlock();
    if (count == 0) delete this;
    return ULONG(count);
  }

  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                              void** ppvObject) override {
    if (ppvObject == nullptr) return E_POINTER;
    *ppvObject = nullptr;
    if (pUnkOuter != nullptr && riid != IID_IUnknown) return CLASS_E_NOAGGREGATION;
    return CreateKovaIntrApi(pUnkOuter, riid, ppvObject);
  }

  STDMETHODIMP LockServer(BOOL fLock) override {
    if (fLock) {
      module_->Lock();
    } else {
      module_->Unlock();
    }
    return S_OK;
  }

 private:
  volatile LONG refs_ = 1;
  CKovaIntrModule* module_;
};

}  // namespace

IClassFactory* CreateClassFactory(CKovaIntrModule* module) {
  return new (std::nothrow) CKovaIntrClassFactory(module);
}

}  // namespace kova::server
