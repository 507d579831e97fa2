#include "model/kova_ldap.h"

#include <memory>
#include <new>

#include "ldap/ldap_directory.h"
#include "ldap/ldap_items.h"
#include "model/kova.h"
#include "model/kova_path.h"

namespace kova {

namespace {

// The registry key name of the Kova that owns `path`; empty without one.
std::string OwningKovaName(const CKovaPath& path) {
  if (path.owner() == nullptr || path.owner()->owner() == nullptr) return std::string();
  return path.owner()->owner()->name();
}

}  // namespace

BOOL IsLDAPPathAvailable(CKovaPath& path, CLDAPDirectory* directory,
                         std::string* errorText) {
  std::unique_ptr<CLDAPDirectory> temporary;
  if (directory == nullptr) {
    temporary.reset(CreateLDAPDirectory(path));
    if (temporary == nullptr) return FALSE;
    directory = temporary.get();
  }
  // The path text is the base DN; a trailing backslash is not part of it.
  return directory->FileExists(directory->PathToDN(path.GetExpandedPath()), errorText);
}

CLDAPDirectory* CreateLDAPDirectory(CKovaPath& path) {
  try {
    return new (std::nothrow) CLDAPDirectory(&path.ldapSettings(), OwningKovaName(path));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void DeleteLDAPDirectory(CLDAPDirectory* directory) { delete directory; }

std::string LDAPPathToDN(CLDAPDirectory& directory, const std::string& pathText) {
  return directory.PathToDN(pathText);
}

std::string LDAPFetchToTempFile(CLDAPDirectory& directory, const std::string& dn) {
  return directory.FetchToTempFile(dn);
}

BOOL LDAPReleaseCacheFile(CLDAPDirectory& directory, const std::string& dn,
                          const std::string& localPath, BOOL writeBack,
                          std::string* errorText) {
  return directory.ReleaseCacheFile(dn, localPath, writeBack, errorText);
}

BOOL LDAPFileExists(CLDAPDirectory& directory, const std::string& dn,
                    std::string* errorText) {
  return directory.FileExists(dn, errorText);
}

BOOL LDAPIsWritable(CLDAPDirectory& directory, const std::string& dn,
                    std::string* errorText) {
  return directory.IsWritable(dn, errorText);
}

BOOL LDAPRemoveEntry(CLDAPDirectory& directory, const std::string& dn) {
  return directory.RemoveEntry(dn);
}

BOOL LDAPRenameEntry(CLDAPDirectory& directory, const std::string& oldDn,
                     const std::string& newDn, std::string* errorText) {
  return directory.RenameEntry(oldDn, newDn, errorText);
}

BOOL LDAPCopyToLocal(CLDAPDirectory& directory, const std::string& dn,
                     const std::string& localPath, std::string* errorText) {
  return directory.CopyToLocal(dn, localPath, errorText);
}

BOOL LDAPCopyWithin(CLDAPDirectory& directory, const std::string& sourceDn,
                    const std::string& targetDn, std::string* errorText) {
  return directory.CopyWithin(sourceDn, targetDn, errorText);
}

BOOL LDAPCopyFromLocal(CLDAPDirectory& directory, const std::string& localPath,
                       const std::string& dn, std::string* errorText) {
  return directory.CopyFromLocal(localPath, dn, errorText);
}

DWORD LDAPGetCurrentError(CLDAPDirectory& directory) {
  return directory.GetCurrentError();
}

int LDAPListChildren(CLDAPDirectory& directory, const std::string& dn,
                     const std::string& displayPrefix, std::vector<LDAPChild>* children) {
  if (children == nullptr) return 0;
  children->clear();
  CLDAPItems items;
  directory.ListChildrenConnected(dn, &items, &displayPrefix);
  for (int i = 0; i < items.GetCount(); ++i) {
    const CLDAPItem* item = items.GetAt(i);
    children->push_back(LDAPChild{item->name, item->folder == 1});
  }
  return static_cast<int>(children->size());
}

}  // namespace kova
