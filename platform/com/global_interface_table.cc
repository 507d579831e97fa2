// The process's global interface table and the class object that serves it.
// Pinned by com_runtime_test.cc.
#include <map>
#include <mutex>

#include "com_internal.h"
#include "objidl.h"

namespace {

class GlobalInterfaceTable final : public IGlobalInterfaceTable {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IGlobalInterfaceTable) {
      *ppv = static_cast<IGlobalInterfaceTable*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  // One table for the life of the process.
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }

  STDMETHODIMP RegisterInterfaceInGlobal(IUnknown* pUnk, REFIID riid,
                                         DWORD* pdwCookie) override {
    if (pdwCookie == nullptr) return E_INVALIDARG;
    *pdwCookie = 0;
    if (pUnk == nullptr) return E_INVALIDARG;
    IUnknown* held = nullptr;
    const HRESULT hr = pUnk->QueryInterface(riid, reinterpret_cast<void**>(&held));
    if (FAILED(hr)) return hr;
    std::lock_guard<std::mutex> lock(mutex_);
    const DWORD cookie = ++last_cookie_;
    entries_[cookie] = held;
    *pdwCookie = cookie;
    return S_OK;
  }

  STDMETHODIMP RevokeInterfaceFromGlobal(DWORD dwCookie) override {
    IUnknown* held = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = entries_.find(dwCookie);
      if (found == entries_.end()) return E_INVALIDARG;
      held = found->second;
      entries_.erase(found);
    }
    held->Release();
    return S_OK;
  }

  STDMETHODIMP GetInterfaceFromGlobal(DWORD dwCookie, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_INVALIDARG;
    *ppv = nullptr;
    IUnknown* held = nullptr;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      auto found = entries_.find(dwCookie);
      if (found == entries_.end()) return E_INVALIDARG;
      held = found->second;
      held->AddRef();
    }
    const HRESULT hr = held->QueryInterface(riid, ppv);
    held->Release();
    return hr;
  }

 private:
  std::mutex mutex_;
  DWORD last_cookie_ = 0;
  std::map<DWORD, IUnknown*> entries_;
};

GlobalInterfaceTable& TheTable() {
  static auto* table = new GlobalInterfaceTable();  // outlives every static object
  return *table;
}

class TableFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    return TheTable().QueryInterface(riid, ppv);
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};

TableFactory g_table_factory;

}  // namespace

namespace kova::com {

HRESULT GetBuiltInClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
  if (clsid != CLSID_StdGlobalInterfaceTable) return CLASS_E_CLASSNOTAVAILABLE;
  return g_table_factory.QueryInterface(riid, ppv);
}

}  // namespace kova::com
