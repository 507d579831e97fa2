#include "model/kova_ldap.h"

namespace kova {

BOOL IsLDAPPathAvailable(CKovaPath& path, CLDAPDirectory* directory,
                         std::string* errorText) {
  return FALSE;
}

CLDAPDirectory* CreateLDAPDirectory(CKovaPath& path) { return nullptr; }

void DeleteLDAPDirectory(CLDAPDirectory* directory) {
  // Nothing to delete while CreateLDAPDirectory creates nothing.
}

}  // namespace kova
