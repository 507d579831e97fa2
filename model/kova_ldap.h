// Where the Kova model meets its LDAP storage back end.
//
// The LDAP back end (CLDAPDirectory) is not built yet: until it is, no LDAP back
// end is ever created, so GetLDAPDirectory() stays null, and no LDAP path is
// available. The LDAP storage replaces these three functions' bodies.
#ifndef KOVA_MODEL_KOVA_LDAP_H_
#define KOVA_MODEL_KOVA_LDAP_H_

#include <string>

#include "windows.h"

namespace kova {

class CKovaPath;
class CLDAPDirectory;

// The existence test of an LDAP path's base DN, through `directory` or, when it is
// null, through a temporary back end built from `path`. Currently always 0.
BOOL IsLDAPPathAvailable(CKovaPath& path, CLDAPDirectory* directory,
                         std::string* errorText);

// A new back end for the LDAP path `path`, owned by the caller; currently null.
CLDAPDirectory* CreateLDAPDirectory(CKovaPath& path);

// Deletes a back end that CreateLDAPDirectory returned (null is allowed).
void DeleteLDAPDirectory(CLDAPDirectory* directory);

}  // namespace kova

#endif  // KOVA_MODEL_KOVA_LDAP_H_
