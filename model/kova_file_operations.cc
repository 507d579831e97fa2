// The file operations of a Kova on its Kova paths: a file-system Kova acts with
// the platform's file functions, an LDAP Kova hands each operation to its back
// end, and an LDAP Kova without a back end fails every operation.
#include "model/kova_file_operations.h"

#include "files/local_files.h"
#include "io.h"
#include "model/kova.h"
#include "model/kova_ldap.h"
#include "model/kova_path.h"

namespace kova {

namespace {

// The storage behind a Kova's active path.
struct Storage {
  bool ldap = false;
  // The back end of an LDAP Kova; null for a file-system Kova, or for an LDAP
  // Kova whose back end cannot be made.
  CLDAPDirectory* directory = nullptr;
};

Storage StorageOf(CKova& kova) {
  Storage storage;
  storage.ldap = kova.IsActivePathLDAP() != FALSE;
  if (storage.ldap) storage.directory = kova.GetLDAPDirectory();
  return storage;
}

BOOL ToBool(bool value) { return value ? TRUE : FALSE; }

}  // namespace

BOOL TestPathWritable(DWORD pathType, const std::string& resolvedPath,
                      CLDAPDirectory* directory) {
  if (pathType == kKovaPathLDAP) {
    return ToBool(directory != nullptr &&
                  LDAPIsWritable(*directory, resolvedPath, nullptr));
  }
  return TestLocalPathWritable(resolvedPath);
}

BOOL CKova::FileExists(const std::string& kovaPath, std::string* errorText) {
  const std::string resolved = ToResolvedPath(kovaPath);
  const Storage storage = StorageOf(*this);
  if (storage.ldap) {
    return ToBool(storage.directory != nullptr &&
                  LDAPFileExists(*storage.directory, resolved, errorText));
  }
  return ToBool(_access(resolved.c_str(), 0) == 0);
}

BOOL CKova::DeleteFile(const std::string& kovaPath) {
  const std::string resolved = ToResolvedPath(kovaPath);
  const Storage storage = StorageOf(*this);
  if (storage.ldap) {
    return ToBool(storage.directory != nullptr &&
                  LDAPRemoveEntry(*storage.directory, resolved));
  }
  return ToBool(::DeleteFileA(resolved.c_str()));
}

// Deliberate difference: the new path is resolved by the Kova that contains it,
// not always by this one. Resolving another Kova's path here would keep its
// "<name>\" text, and the file would move to a relative path of that name below
// the current folder. A move between a file-system and an LDAP Kova is no
// rename and fails.
BOOL CKova::RenameFile(const std::string& oldKovaPath, const std::string& newKovaPath) {
  CKova* target = this;
  if (owner_ != nullptr) {
    if (CKova* containing = owner_->FindKova(newKovaPath, FALSE)) target = containing;
  }
  const std::string oldResolved = ToResolvedPath(oldKovaPath);
  const std::string newResolved = target->ToResolvedPath(newKovaPath);
  const Storage storage = StorageOf(*this);
  if (target != this) {
    const Storage targetStorage = StorageOf(*target);
    if (targetStorage.ldap != storage.ldap) return FALSE;
    if (targetStorage.ldap && targetStorage.directory == nullptr) return FALSE;
  }
  if (storage.ldap) {
    return ToBool(storage.directory != nullptr &&
                  LDAPRenameEntry(*storage.directory, oldResolved, newResolved, nullptr));
  }
  return ShellRenameFile(oldResolved, newResolved);
}

BOOL CKova::CopyFile(const std::string& sourceKovaPath,
                     const std::string& destinationPath, CKova* destinationKova,
                     BOOL failIfExists) {
  const std::string source = ToResolvedPath(sourceKovaPath);
  const std::string destination = destinationKova != nullptr
                                      ? destinationKova->ToResolvedPath(destinationPath)
                                      : destinationPath;
  const Storage storage = StorageOf(*this);
  const Storage target =
      destinationKova != nullptr ? StorageOf(*destinationKova) : Storage();
  if (storage.ldap) {
    if (storage.directory == nullptr) return FALSE;
    if (target.ldap) {
      return LDAPCopyWithin(*storage.directory, source, destination, nullptr);
    }
    return LDAPCopyToLocal(*storage.directory, source, destination, nullptr);
  }
  if (!target.ldap) {
    return ToBool(::CopyFileA(source.c_str(), destination.c_str(), failIfExists));
  }
  if (target.directory == nullptr) return FALSE;
  return LDAPCopyFromLocal(*target.directory, source, destination, nullptr);
}

BOOL CKova::IsPathWritable(const std::string& kovaPath) {
  const std::string resolved = ToResolvedPath(kovaPath);
  const Storage storage = StorageOf(*this);
  return TestPathWritable(storage.ldap ? kKovaPathLDAP : kKovaPathFileSystem, resolved,
                          storage.directory);
}

DWORD CKova::GetLastError() {
  // Taken first: choosing the active path may run existence tests.
  const DWORD platformError = ::GetLastError();
  const Storage storage = StorageOf(*this);
  if (storage.directory != nullptr) return LDAPGetCurrentError(*storage.directory);
  return platformError;
}

}  // namespace kova
