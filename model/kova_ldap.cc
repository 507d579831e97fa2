#include "model/kova_ldap.h"

namespace kova {

// No back end exists yet (CreateLDAPDirectory makes none), so an LDAP path is
// never available and the functions that need a back end cannot be reached;
// they answer as a failed directory would.

BOOL IsLDAPPathAvailable(CKovaPath&, CLDAPDirectory*, std::string*) { return FALSE; }

CLDAPDirectory* CreateLDAPDirectory(CKovaPath&) { return nullptr; }

void DeleteLDAPDirectory(CLDAPDirectory*) {}

std::string LDAPPathToDN(CLDAPDirectory&, const std::string& pathText) {
  return pathText;
}

std::string LDAPFetchToTempFile(CLDAPDirectory&, const std::string&) {
  return std::string();
}

BOOL LDAPReleaseCacheFile(CLDAPDirectory&, const std::string&, const std::string&, BOOL,
                          std::string*) {
  return FALSE;
}

BOOL LDAPFileExists(CLDAPDirectory&, const std::string&, std::string*) { return FALSE; }

BOOL LDAPIsWritable(CLDAPDirectory&, const std::string&, std::string*) { return FALSE; }

BOOL LDAPRemoveEntry(CLDAPDirectory&, const std::string&) { return FALSE; }

BOOL LDAPRenameEntry(CLDAPDirectory&, const std::string&, const std::string&,
                     std::string*) {
  return FALSE;
}

BOOL LDAPCopyToLocal(CLDAPDirectory&, const std::string&, const std::string&,
                     std::string*) {
  return FALSE;
}

BOOL LDAPCopyWithin(CLDAPDirectory&, const std::string&, const std::string&,
                    std::string*) {
  return FALSE;
}

BOOL LDAPCopyFromLocal(CLDAPDirectory&, const std::string&, const std::string&,
                       std::string*) {
  return FALSE;
}

DWORD LDAPGetCurrentError(CLDAPDirectory&) { return ERROR_NOT_SUPPORTED; }

int LDAPListChildren(CLDAPDirectory&, const std::string&, const std::string&,
                     std::vector<LDAPChild>* children) {
  if (children != nullptr) children->clear();
  return 0;
}

}  // namespace kova
