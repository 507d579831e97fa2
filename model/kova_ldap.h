// Where the Kova model meets its LDAP storage back end.
//
// The LDAP back end (CLDAPDirectory, in ldap/) is reached only through these
// functions, which forward to it; the rest of the model sees the back end as an
// opaque pointer. A back end belongs to the Kova of its path: its settings are
// the path's and its shared information block is named after that Kova.
#ifndef KOVA_MODEL_KOVA_LDAP_H_
#define KOVA_MODEL_KOVA_LDAP_H_

#include <string>
#include <vector>

#include "windows.h"

namespace kova {

class CKovaPath;
class CLDAPDirectory;

// The existence test of an LDAP path's base DN, through `directory` or, when it is
// null, through a temporary back end built from `path`.
BOOL IsLDAPPathAvailable(CKovaPath& path, CLDAPDirectory* directory,
                         std::string* errorText);

// A new back end for the LDAP path `path`, owned by the caller; null when none
// can be made.
CLDAPDirectory* CreateLDAPDirectory(CKovaPath& path);

// Deletes a back end that CreateLDAPDirectory returned (null is allowed).
void DeleteLDAPDirectory(CLDAPDirectory* directory);

// The DN of the entry that a path text "<base DN>\folder\file.ext" names.
std::string LDAPPathToDN(CLDAPDirectory& directory, const std::string& pathText);

// A new local cache file holding the contents of entry `dn`; empty on failure.
std::string LDAPFetchToTempFile(CLDAPDirectory& directory, const std::string& dn);
// Writes `localPath` back to `dn` when `writeBack` is set, then removes it.
BOOL LDAPReleaseCacheFile(CLDAPDirectory& directory, const std::string& dn,
                          const std::string& localPath, BOOL writeBack,
                          std::string* errorText);

// Whole-entry operations; each returns 1 for success. `errorText` may be null.
BOOL LDAPFileExists(CLDAPDirectory& directory, const std::string& dn,
                    std::string* errorText);
BOOL LDAPIsWritable(CLDAPDirectory& directory, const std::string& dn,
                    std::string* errorText);
BOOL LDAPRemoveEntry(CLDAPDirectory& directory, const std::string& dn);
BOOL LDAPRenameEntry(CLDAPDirectory& directory, const std::string& oldDn,
                     const std::string& newDn, std::string* errorText);
BOOL LDAPCopyToLocal(CLDAPDirectory& directory, const std::string& dn,
                     const std::string& localPath, std::string* errorText);
BOOL LDAPCopyWithin(CLDAPDirectory& directory, const std::string& sourceDn,
                    const std::string& targetDn, std::string* errorText);
BOOL LDAPCopyFromLocal(CLDAPDirectory& directory, const std::string& localPath,
                       const std::string& dn, std::string* errorText);

// The last error of the back end as a system error code.
DWORD LDAPGetCurrentError(CLDAPDirectory& directory);

// One child of a listed folder: its name (prefixed with the display prefix) and
// whether it is a folder.
struct LDAPChild {
  std::string name;
  bool folder = false;
};
// Lists the children of folder `dn` in directory order, each name being
// `displayPrefix` joined with the child's name; opens and closes its own
// session. Returns the number of children.
int LDAPListChildren(CLDAPDirectory& directory, const std::string& dn,
                     const std::string& displayPrefix, std::vector<LDAPChild>* children);

}  // namespace kova

#endif  // KOVA_MODEL_KOVA_LDAP_H_
