#include "api/server/kova_module.h"

#include <iterator>
#include <new>

#include "combaseapi.h"
#include "errhandlingapi.h"
#include "libloaderapi.h"
#include "oleauto.h"

namespace kova::server {

namespace {

const ObjectEntry kObjectMap[] = {
    {&CLSID_KovaIntrApi, &CreateKovaIntrApi},
};

// A marker whose address lies in this library, to find the library's file.
const char kModuleAnchor = 0;

}  // namespace

CKovaIntrModule::CKovaIntrModule() : libid_(LIBID_KovaIntrLib) {
  InitializeCriticalSection(&static_data_lock_);
}

// Runs when the library is unloaded or the process ends. Cached type information
// keeps its library (this one) loaded, so when it is still cached here the
// process is ending, and releasing it would unload the library from inside its
// own destructor: it is left to the process's end.
CKovaIntrModule::~CKovaIntrModule() {
  if (factory_ != nullptr) factory_->Release();
  if (git_ != nullptr) git_->Release();
  DeleteCriticalSection(&static_data_lock_);
}

LONG CKovaIntrModule::Lock() { return InterlockedIncrement(&lock_count_); }
LONG CKovaIntrModule::Unlock() { return InterlockedDecrement(&lock_count_); }
LONG CKovaIntrModule::GetLockCount() { return lock_count_; }

HRESULT CKovaIntrModule::GetGITPtr(IGlobalInterfaceTable** ppGIT) {
  if (ppGIT == nullptr) return E_POINTER;
  *ppGIT = nullptr;
  EnterCriticalSection(&static_data_lock_);
  HRESULT hr = S_OK;
  if (git_ == nullptr) {
    hr = CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git_));
  }
  *ppGIT = git_;
  LeaveCriticalSection(&static_data_lock_);
  return hr;
}

HRESULT CKovaIntrModule::AddCommonRGSReplacements(kova::com::CRegObject* registrar) {
  if (registrar == nullptr) return E_POINTER;
  OLECHAR wide[CHARS_IN_GUID];
  if (StringFromGUID2(APPID_KovaIntr, wide, CHARS_IN_GUID) == 0) return E_UNEXPECTED;
  char text[CHARS_IN_GUID];
  for (int i = 0; i < CHARS_IN_GUID; ++i)
    text[i] = char(wide[i]);  // hexadecimal digits only
  return registrar->AddReplacement("APPID", text);
}

const ObjectEntry* CKovaIntrModule::object_map() const { return kObjectMap; }
std::size_t CKovaIntrModule::object_count() const { return std::size(kObjectMap); }

HRESULT CKovaIntrModule::GetApiTypeInfo(LCID lcid, ITypeInfo** info) {
  if (info == nullptr) return E_POINTER;
  *info = nullptr;
  EnterCriticalSection(&static_data_lock_);
  HRESULT hr = S_OK;
  if (type_info_ == nullptr) {
    ITypeLib* lib = nullptr;
    hr = LoadRegTypeLib(libid_, 1, 0, lcid, &lib);
    if (SUCCEEDED(hr)) {
      hr = lib->GetTypeInfoOfGuid(IID_IKovaIntrApi, &type_info_);
      lib->Release();
    }
  }
  if (SUCCEEDED(hr)) {
    type_info_->AddRef();
    *info = type_info_;
  }
  LeaveCriticalSection(&static_data_lock_);
  return hr;
}

void CKovaIntrModule::ReleaseTypeInfo() {
  EnterCriticalSection(&static_data_lock_);
  ITypeInfo* info = type_info_;
  type_info_ = nullptr;
  LeaveCriticalSection(&static_data_lock_);
  if (info != nullptr) info->Release();
}

IClassFactory* CKovaIntrModule::GetClassFactory() {
  EnterCriticalSection(&static_data_lock_);
  if (factory_ == nullptr) factory_ = CreateClassFactory(this);
  IClassFactory* factory = factory_;
  LeaveCriticalSection(&static_data_lock_);
  return factory;
}

HRESULT CKovaIntrModule::GetModulePath(std::string* path) {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          &kModuleAnchor, &self)) {
    return HRESULT_FROM_WIN32(GetLastError());
  }
  char buffer[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(self, buffer, sizeof buffer);
  if (length == 0) return HRESULT_FROM_WIN32(GetLastError());
  if (length >= sizeof buffer - 1) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  path->assign(buffer, length);
  return S_OK;
}

// Constructed when the library is loaded, destroyed when it is unloaded.
CKovaIntrApp g_app;
CKovaIntrModule g_module;

CKovaIntrModule& Module() { return g_module; }
CKovaIntrApp& App() { return g_app; }

}  // namespace kova::server
