// The in-process server shell of libKovaIntr.so: the module object with its lock
// count, the application object, and what the exported entry points share.
#ifndef KOVA_API_SERVER_KOVA_MODULE_H_
#define KOVA_API_SERVER_KOVA_MODULE_H_

#include <string>

#include "kova_registrar.h"
#include "kovaintr/kova_intr_api.h"
#include "objbase.h"
#include "synchapi.h"

namespace kova::server {

// A creatable class of the module: its identifier and how an instance is made.
struct ObjectEntry {
  const CLSID* clsid;
  // Creates an instance (plain for a null outer, else aggregated) and asks it for
  // riid; the rules of IClassFactory::CreateInstance after its argument checks.
  HRESULT (*create)(IUnknown* outer, REFIID riid, void** ppv);
};

// One per loaded library. The lock count decides whether the library may be
// unloaded; every live instance, every LockServer(TRUE) and every client
// reference to the class factory holds one lock.
class CKovaIntrModule {
 public:
  CKovaIntrModule();
  virtual ~CKovaIntrModule();
  CKovaIntrModule(const CKovaIntrModule&) = delete;
  CKovaIntrModule& operator=(const CKovaIntrModule&) = delete;

  // The virtual operations, in slot order.
  virtual LONG Lock();
  virtual LONG Unlock();
  virtual LONG GetLockCount();
  // The process's global interface table, created on the first request through
  // CLSID_StdGlobalInterfaceTable; a failure is returned to the requester. The
  // pointer stays the module's (no reference is added).
  virtual HRESULT GetGITPtr(IGlobalInterfaceTable** ppGIT);
  // Adds APPID: the AppID GUID in braces.
  virtual HRESULT AddCommonRGSReplacements(kova::com::CRegObject* registrar);

  const GUID& type_library_id() const { return libid_; }
  const ObjectEntry* object_map() const;
  std::size_t object_count() const;

  // The type information of IKovaIntrApi from the registered KovaIntrLib 1.0,
  // loaded once per process under the static-data lock. On success the caller
  // holds a reference.
  HRESULT GetApiTypeInfo(LCID lcid, ITypeInfo** info);
  // Gives the cached type information back. The type library holds a reference
  // on this library, so this is done when the library may be unloaded
  // (DllCanUnloadNow answers S_OK); a later use loads it again.
  void ReleaseTypeInfo();

  // The cached class factory of CKovaIntrApi, created on first use; the module
  // keeps its own reference until unload. Null when out of memory.
  IClassFactory* GetClassFactory();

  // The full path of the library file as GetModuleFileNameA gives it.
  [[nodiscard]] HRESULT GetModulePath(std::string* path);

 private:
  volatile LONG lock_count_ = 0;
  GUID libid_;
  CRITICAL_SECTION static_data_lock_;
  IGlobalInterfaceTable* git_ = nullptr;
  ITypeInfo* type_info_ = nullptr;
  IClassFactory* factory_ = nullptr;
};

// The application object. There is no user-interface framework on this platform;
// the object keeps the library's shape and holds no state.
class CKovaIntrApp {
 public:
  virtual ~CKovaIntrApp() = default;
  virtual BOOL InitInstance() { return TRUE; }
  virtual int ExitInstance() { return 0; }
  // Objects the framework holds: none.
  bool CanUnloadNow() const { return true; }
};

CKovaIntrModule& Module();
CKovaIntrApp& App();

// A new cached-factory object for the module (see class_factory.cc).
IClassFactory* CreateClassFactory(CKovaIntrModule* module);

// Creates a CKovaIntrApi instance (kova_object.cc).
HRESULT CreateKovaIntrApi(IUnknown* outer, REFIID riid, void** ppv);

// The registry scripts stored in the library: 100 (application identifier) and
// 101 (class). Null for any other id.
const char* RegistryScript(int id);

}  // namespace kova::server

#endif  // KOVA_API_SERVER_KOVA_MODULE_H_
