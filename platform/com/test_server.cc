// An in-process server for the tests: one class, TestCalc, whose IDispatch runs
// on the type library it exports as kova_typelib_1. The class object counts the
// module's locks so that DllCanUnloadNow answers as a real server does.
#include <atomic>
#include <mutex>
#include <new>
#include <string>

#include "com/test_calc.h"
#include "com/type_library.h"
#include "oleauto.h"

extern "C" __attribute__((visibility("default"))) const KOVA_TYPELIB_DATA kova_typelib_1 =
    kova::test_calc::kLibrary;

namespace {

std::atomic<LONG> g_locks{0};

// The type information of ITestCalc, made on first use and kept until the module
// may be unloaded (DllCanUnloadNow), as a real server caches it.
std::mutex g_info_mutex;
ITypeInfo* g_info = nullptr;

// A reference to the cached type information for the caller; null when out of
// memory.
ITypeInfo* AcquireCalcTypeInfo() {
  std::lock_guard<std::mutex> lock(g_info_mutex);
  if (g_info == nullptr) {
    ITypeLib* lib = kova::com::CreateTypeLib(&kova::test_calc::kLibrary, nullptr);
    if (lib == nullptr) return nullptr;
    (void)lib->GetTypeInfoOfGuid(IID_ITestCalc, &g_info);
    lib->Release();
    if (g_info == nullptr) return nullptr;
  }
  g_info->AddRef();
  return g_info;
}

void ReleaseCalcTypeInfo() {
  std::lock_guard<std::mutex> lock(g_info_mutex);
  if (g_info != nullptr) g_info->Release();
  g_info = nullptr;
}

class Calc final : public kova::test_calc::CalcMethods {
 public:
  Calc() { ++g_locks; }
  ~Calc() { --g_locks; }

  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_ITestCalc) {
      *ppv = static_cast<ITestCalc*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs_); }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG left = --refs_;
    if (left == 0) delete this;
    return ULONG(left);
  }
  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 1;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = AcquireCalcTypeInfo();
    return *info != nullptr ? S_OK : E_OUTOFMEMORY;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                             DISPID* ids) override {
    ITypeInfo* info = AcquireCalcTypeInfo();
    if (info == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = info->GetIDsOfNames(names, count, ids);
    info->Release();
    return hr;
  }
  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excep, UINT* arg_err) override {
    ITypeInfo* info = AcquireCalcTypeInfo();
    if (info == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = info->Invoke(static_cast<ITestCalc*>(this), id, flags, params,
                                    result, excep, arg_err);
    info->Release();
    return hr;
  }

 private:
  std::atomic<LONG> refs_{0};
};

class Factory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++g_locks); }
  STDMETHODIMP_(ULONG) Release() override { return ULONG(--g_locks); }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (outer != nullptr) return CLASS_E_NOAGGREGATION;
    Calc* calc = new (std::nothrow) Calc();
    if (calc == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = calc->QueryInterface(riid, ppv);
    if (FAILED(hr)) delete calc;
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    if (lock) {
      ++g_locks;
    } else {
      --g_locks;
    }
    return S_OK;
  }
};

Factory g_factory;

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  *ppv = nullptr;
  if (clsid != CLSID_TestCalc) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

// The cached type information goes with the answer S_OK: the module may be
// unloaded next, and its static pointer with it.
STDAPI DllCanUnloadNow() {
  if (g_locks != 0) return S_FALSE;
  ReleaseCalcTypeInfo();
  return S_OK;
}
