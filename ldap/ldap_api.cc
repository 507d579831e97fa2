#include "ldap/ldap_api.h"

namespace kova {

namespace {

// An exported function as its real type (through void(*)(), the generic function
// type the compiler accepts casts from).
template <class F>
F ProcAs(FARPROC proc) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace

BOOL LDAPApi::Load() {
  Unload();
  module_ = LoadLibraryA("wldap32.dll");
  if (module_ == nullptr) {
    loadError_ = ERROR_MOD_NOT_FOUND;
    return FALSE;
  }
  bool all = true;
  // Every name is resolved even after a miss, so that the table shows which ones
  // the library has; only a complete table counts as loaded.
#define KOVA_LDAP_RESOLVE_ENTRY(entry)                              \
  entry = ProcAs<decltype(entry)>(GetProcAddress(module_, #entry)); \
  all = all && entry != nullptr;
  KOVA_LDAP_ENTRY_POINTS(KOVA_LDAP_RESOLVE_ENTRY)
#undef KOVA_LDAP_RESOLVE_ENTRY
  loadError_ = all ? ERROR_SUCCESS : ERROR_PROC_NOT_FOUND;
  loaded_ = all ? TRUE : FALSE;
  return loaded_;
}

void LDAPApi::Unload() {
  if (module_ != nullptr) FreeLibrary(module_);
  module_ = nullptr;
  loaded_ = FALSE;
  loadError_ = ERROR_MOD_NOT_FOUND;
#define KOVA_LDAP_CLEAR_ENTRY(entry) entry = nullptr;
  KOVA_LDAP_ENTRY_POINTS(KOVA_LDAP_CLEAR_ENTRY)
#undef KOVA_LDAP_CLEAR_ENTRY
}

DWORD LDAPApi::MapErrorToSystem(ULONG ldapCode) const {
  if (!loaded_) return loadError_;
  return LdapMapErrorToWin32(ldapCode);
}

}  // namespace kova
