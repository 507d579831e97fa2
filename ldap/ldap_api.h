// The entry-point table of the platform LDAP client library (wldap32.dll), bound
// at run time: the storage never links an LDAP library.
#ifndef KOVA_LDAP_LDAP_API_H_
#define KOVA_LDAP_LDAP_API_H_

#include "ldap/ldap_entry_points.h"
#include "ldap/wldap32/winldap.h"
#include "windows.h"

namespace kova {

// One table per LDAP back-end object. Load takes a reference on the library and
// Unload (also the destructor) gives it back, so several tables may be loaded at
// once in one process, each independent of the others. The members named after
// the entry points are null until Load resolved them; nothing may call through
// the table while IsLoaded() is FALSE. Used by one thread at a time.
class LDAPApi {
 public:
  LDAPApi() = default;
  LDAPApi(const LDAPApi&) = delete;
  LDAPApi& operator=(const LDAPApi&) = delete;
  ~LDAPApi() { Unload(); }

  // Loads "wldap32.dll" (by that name, no path) and resolves every entry point by
  // its exact name. TRUE only when the library loaded and all 70 names resolved; a
  // library that lacks a name stays loaded until Unload. Loading an already
  // loaded table unloads it first.
  BOOL Load();
  // Releases the library if one is held; clears the table and the success flag.
  void Unload();
  BOOL IsLoaded() const { return loaded_; }

  // The system error code that describes an LDAP result code, through the
  // library's LdapMapErrorToWin32. While the table is not loaded the code cannot
  // be mapped: the result is then the system error of the failed load
  // (ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND) whatever the LDAP code.
  DWORD MapErrorToSystem(ULONG ldapCode) const;

#define KOVA_LDAP_DECLARE_ENTRY(name) decltype(&::name) name = nullptr;
  KOVA_LDAP_ENTRY_POINTS(KOVA_LDAP_DECLARE_ENTRY)
#undef KOVA_LDAP_DECLARE_ENTRY

 private:
  HMODULE module_ = nullptr;
  BOOL loaded_ = FALSE;
  DWORD loadError_ = ERROR_MOD_NOT_FOUND;
};

// The number of entry points the table binds.
inline constexpr int kLDAPEntryPointCount = 0
#define KOVA_LDAP_COUNT_ENTRY(name) +1
    KOVA_LDAP_ENTRY_POINTS(KOVA_LDAP_COUNT_ENTRY)
#undef KOVA_LDAP_COUNT_ENTRY
    ;

}  // namespace kova

#endif  // KOVA_LDAP_LDAP_API_H_
