// Registration helpers of small in-process servers (kova_inproc_server.h).
#include "kova_inproc_server.h"

#include "com/com_text.h"
#include "errhandlingapi.h"
#include "kova_registrar.h"
#include "libloaderapi.h"
#include "oleauto.h"

namespace kova::com {

HRESULT KovaModulePathOf(const void* address, std::string* path) {
  if (path == nullptr) return E_POINTER;
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(address), &module)) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  char buffer[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(module, buffer, sizeof buffer);
  if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
  if (length >= sizeof buffer - 1) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  path->assign(buffer, length);
  return S_OK;
}

HRESULT KovaApplyModuleScript(const void* address, const char* script, bool doRegister) {
  if (script == nullptr) return E_POINTER;
  std::string module_path;
  HRESULT hr = KovaModulePathOf(address, &module_path);
  if (FAILED(hr)) return hr;
  CRegObject registrar;
  hr = registrar.AddReplacement("MODULE", module_path.c_str());
  if (FAILED(hr)) return hr;
  return doRegister ? registrar.StringRegister(script)
                    : registrar.StringUnregister(script);
}

namespace {

HRESULT LoadModuleTypeLib(const void* address, std::u16string* path, ITypeLib** lib) {
  std::string module_path;
  const HRESULT hr = KovaModulePathOf(address, &module_path);
  if (FAILED(hr)) return hr;
  *path = Widen(module_path);
  return LoadTypeLib(path->c_str(), lib);
}

}  // namespace

HRESULT KovaApplyModuleTypeLib(const void* address, bool doRegister, REFGUID libid,
                               WORD major, WORD minor) {
  if (!doRegister) {
    return UnRegisterTypeLib(libid, major, minor, 0,
                             sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
  }
  std::u16string path;
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadModuleTypeLib(address, &path, &lib);
  if (FAILED(hr)) return hr;
  hr = RegisterTypeLib(lib, path.c_str(), nullptr);
  lib->Release();
  return hr;
}

HRESULT KovaLoadModuleTypeInfo(const void* address, REFIID iid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  std::u16string path;
  ITypeLib* lib = nullptr;
  HRESULT hr = LoadModuleTypeLib(address, &path, &lib);
  if (FAILED(hr)) return hr;
  hr = lib->GetTypeInfoOfGuid(iid, info);
  lib->Release();
  return hr;
}

}  // namespace kova::com
