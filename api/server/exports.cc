// The four entry points of the in-process server; the only functions the
// library exports (with the type-library data kova_typelib_1, see exports.map).
#include <string>

#include "api/server/kova_module.h"
#include "combaseapi.h"
#include "oleauto.h"
#include "winnls.h"

using kova::server::App;
using kova::server::Module;

namespace {

// Switches the calling thread to the system default locale and back, on every
// path out of registration.
class ScopedSystemLocale {
 public:
  ScopedSystemLocale() : saved_(GetThreadLocale()) {
    SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
  }
  ~ScopedSystemLocale() { SetThreadLocale(saved_); }
  ScopedSystemLocale(const ScopedSystemLocale&) = delete;
  ScopedSystemLocale& operator=(const ScopedSystemLocale&) = delete;

 private:
  LCID saved_;
};

HRESULT ApplyScript(int id, bool do_register) {
  std::string module_path;
  HRESULT hr = Module().GetModulePath(&module_path);
  if (FAILED(hr)) return hr;
  kova::com::CRegObject registrar;
  hr = Module().AddCommonRGSReplacements(&registrar);
  if (SUCCEEDED(hr)) hr = registrar.AddReplacement("MODULE", module_path.c_str());
  if (FAILED(hr)) return hr;
  const char* script = kova::server::RegistryScript(id);
  if (script == nullptr) return E_UNEXPECTED;
  return do_register ? registrar.StringRegister(script)
                     : registrar.StringUnregister(script);
}

std::u16string Wide(const std::string& text) {
  std::u16string wide;
  const int needed = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  if (needed <= 0) return wide;
  wide.resize(std::size_t(needed));
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), needed);
  wide.resize(std::size_t(needed - 1));
  return wide;
}

// The type library from the library's own data, registered pointing at the file.
HRESULT RegisterOwnTypeLib() {
  std::string module_path;
  HRESULT hr = Module().GetModulePath(&module_path);
  if (FAILED(hr)) return hr;
  const std::u16string path = Wide(module_path);
  ITypeLib* lib = nullptr;
  hr = LoadTypeLib(path.c_str(), &lib);
  if (FAILED(hr)) return hr;
  hr = RegisterTypeLib(lib, path.c_str(), nullptr);
  lib->Release();
  return hr;
}

HRESULT UnregisterOwnTypeLib() {
  return UnRegisterTypeLib(Module().type_library_id(), 1, 0, 0,
                           sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
}

template <class F>
HRESULT Guarded(F body) {
  try {
    return body();
  } catch (...) {
    return E_UNEXPECTED;
  }
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
  return Guarded([&]() -> HRESULT {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    bool known = false;
    for (std::size_t i = 0; i < Module().object_count(); ++i) {
      known |= *Module().object_map()[i].clsid == rclsid;
    }
    if (!known) return CLASS_E_CLASSNOTAVAILABLE;
    IClassFactory* factory = Module().GetClassFactory();
    if (factory == nullptr) return E_OUTOFMEMORY;
    return factory->QueryInterface(riid, ppv);
  });
}

STDAPI DllCanUnloadNow() {
  if (!App().CanUnloadNow() || Module().GetLockCount() != 0) return S_FALSE;
  Module().ReleaseTypeInfo();
  return S_OK;
}

STDAPI DllRegisterServer() {
  return Guarded([]() -> HRESULT {
    ScopedSystemLocale locale;
    HRESULT hr = ApplyScript(100, true);
    if (FAILED(hr)) return hr;
    hr = ApplyScript(101, true);
    if (FAILED(hr)) return hr;
    return RegisterOwnTypeLib();
  });
}

STDAPI DllUnregisterServer() {
  return Guarded([]() -> HRESULT {
    ScopedSystemLocale locale;
    HRESULT hr = ApplyScript(101, false);
    if (SUCCEEDED(hr)) hr = UnregisterOwnTypeLib();
    if (FAILED(hr)) return hr;
    return ApplyScript(100, false);
  });
}
