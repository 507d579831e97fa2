// Apartments, class objects and loaded in-process servers. Pinned by
// com_runtime_test.cc.
#include <map>
#include <mutex>
#include <string>

#include "com_internal.h"
#include "com_registry.h"
#include "com_text.h"
#include "combaseapi.h"
#include "errhandlingapi.h"
#include "libloaderapi.h"

using kova::com::ReadText;

namespace {

// The thread's apartment: how often it was entered and with which model.
struct Apartment {
  int count = 0;
  DWORD model = COINIT_APARTMENTTHREADED;
};
thread_local Apartment t_apartment;

// Threads that entered the multithreaded apartment; while there is one, every
// thread of the process may use COM without initialising it, as on the platform.
std::mutex g_mta_mutex;
int g_mta_threads = 0;

bool ThreadMayUseCom() {
  if (t_apartment.count > 0) return true;
  std::lock_guard<std::mutex> lock(g_mta_mutex);
  return g_mta_threads > 0;
}

struct LoadedServer {
  HMODULE module = nullptr;
  LPFNGETCLASSOBJECT get_class_object = nullptr;
  LPFNCANUNLOADNOW can_unload_now = nullptr;
};

// Servers loaded through CoGetClassObject, by the path registered for them. The
// lock is recursive: a server may create objects from inside DllGetClassObject.
std::recursive_mutex g_servers_mutex;
std::map<std::string, LoadedServer>& Servers() {
  static auto* servers = new std::map<std::string, LoadedServer>();
  return *servers;
}

HRESULT LoadServer(const std::string& path, LoadedServer* server) {
  std::lock_guard<std::recursive_mutex> lock(g_servers_mutex);
  auto found = Servers().find(path);
  if (found != Servers().end()) {
    *server = found->second;
    return S_OK;
  }
  HMODULE module = LoadLibraryA(path.c_str());
  if (module == nullptr) {
    const DWORD error = GetLastError();
    return error == 0 ? CO_E_DLLNOTFOUND : HRESULT_FROM_WIN32(error);
  }
  LoadedServer loaded;
  loaded.module = module;
  loaded.get_class_object =
      kova::com::ProcAs<LPFNGETCLASSOBJECT>(GetProcAddress(module, "DllGetClassObject"));
  loaded.can_unload_now =
      kova::com::ProcAs<LPFNCANUNLOADNOW>(GetProcAddress(module, "DllCanUnloadNow"));
  if (loaded.get_class_object == nullptr) {
    FreeLibrary(module);
    return CO_E_ERRORINDLL;
  }
  Servers()[path] = loaded;
  *server = loaded;
  return S_OK;
}

HRESULT ReadProgIdClsid(const std::string& progid, CLSID* clsid, int depth) {
  std::string text;
  if (ReadText(HKEY_CLASSES_ROOT, progid + "\\CLSID", nullptr, &text)) {
    return kova::com::TextToGuid(text, clsid) ? S_OK : CO_E_CLASSSTRING;
  }
  std::string current;
  if (depth < 8 && ReadText(HKEY_CLASSES_ROOT, progid + "\\CurVer", nullptr, &current) &&
      !current.empty() && !kova::com::EqualsNoCase(current, progid)) {
    return ReadProgIdClsid(current, clsid, depth + 1);
  }
  return CO_E_CLASSSTRING;
}

}  // namespace

extern "C" {

HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit) {
  const DWORD model = (dwCoInit & COINIT_APARTMENTTHREADED) != 0
                          ? COINIT_APARTMENTTHREADED
                          : COINIT_MULTITHREADED;
  Apartment& apartment = t_apartment;
  if (apartment.count > 0) {
    if (apartment.model != model) return RPC_E_CHANGED_MODE;
    ++apartment.count;
    return S_FALSE;
  }
  apartment.count = 1;
  apartment.model = model;
  if (model == COINIT_MULTITHREADED) {
    std::lock_guard<std::mutex> lock(g_mta_mutex);
    ++g_mta_threads;
  }
  return S_OK;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved) {
  return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED);
}

void WINAPI CoUninitialize(void) {
  Apartment& apartment = t_apartment;
  if (apartment.count == 0) return;
  if (--apartment.count > 0) return;
  if (apartment.model == COINIT_MULTITHREADED) {
    std::lock_guard<std::mutex> lock(g_mta_mutex);
    --g_mta_threads;
  }
}

HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, LPVOID pvReserved,
                                REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_INVALIDARG;
  *ppv = nullptr;
  if (!ThreadMayUseCom()) return CO_E_NOTINITIALIZED;
  if ((dwClsContext & CLSCTX_INPROC) == 0) return REGDB_E_CLASSNOTREG;
  if (SUCCEEDED(kova::com::GetBuiltInClassObject(rclsid, riid, ppv))) return S_OK;
  std::string path;
  if (!ReadText(HKEY_CLASSES_ROOT,
                "CLSID\\" + kova::com::GuidToText(rclsid) + "\\InprocServer32", nullptr,
                &path) ||
      path.empty()) {
    return REGDB_E_CLASSNOTREG;
  }
  LoadedServer server;
  const HRESULT hr = LoadServer(path, &server);
  if (FAILED(hr)) return hr;
  return server.get_class_object(rclsid, riid, ppv);
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  IClassFactory* factory = nullptr;
  HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory,
                                reinterpret_cast<void**>(&factory));
  if (FAILED(hr)) return hr;
  hr = factory->CreateInstance(pUnkOuter, riid, ppv);
  factory->Release();
  if (FAILED(hr)) *ppv = nullptr;
  return hr;
}

void WINAPI CoFreeUnusedLibraries(void) {
  std::lock_guard<std::recursive_mutex> lock(g_servers_mutex);
  for (auto it = Servers().begin(); it != Servers().end();) {
    const LoadedServer server = it->second;
    if (server.can_unload_now == nullptr || server.can_unload_now() != S_OK) {
      ++it;
      continue;
    }
    it = Servers().erase(it);
    FreeLibrary(server.module);
  }
}

HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid) {
  if (lpszProgID == nullptr || lpclsid == nullptr) return E_INVALIDARG;
  *lpclsid = CLSID_NULL;
  const std::string progid = kova::com::NarrowOle(lpszProgID);
  if (progid.empty()) return CO_E_CLASSSTRING;
  const HRESULT hr = ReadProgIdClsid(progid, lpclsid, 0);
  if (FAILED(hr)) *lpclsid = CLSID_NULL;
  return hr;
}

HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
  if (lplpszProgID == nullptr) return E_INVALIDARG;
  *lplpszProgID = nullptr;
  std::string progid;
  if (!ReadText(HKEY_CLASSES_ROOT, "CLSID\\" + kova::com::GuidToText(clsid) + "\\ProgID",
                nullptr, &progid) ||
      progid.empty()) {
    return REGDB_E_CLASSNOTREG;
  }
  const std::u16string wide = kova::com::Widen(progid);
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
  if (copy == nullptr) return E_OUTOFMEMORY;
  wide.copy(copy, wide.size());
  copy[wide.size()] = 0;
  *lplpszProgID = copy;
  return S_OK;
}

}  // extern "C"
