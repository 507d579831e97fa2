// File transfer: contents of file entries to and from local files, whole-entry
// and whole-tree operations. Every directory call goes through api_.
#include <algorithm>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "common/path_text.h"
#include "common/text.h"
#include "dbghelp.h"
#include "files/local_files.h"
#include "ldap/ldap_directory.h"
#include "ldap/ldap_items.h"
#include "ldap/ldap_resources.h"

namespace kova {
namespace {

constexpr char kObjectClass[] = "objectClass";
// The stored form of an empty file: servers refuse an empty value.
constexpr char kEmptyContents[] = " ";
// Tree copies descend at most this far (a local tree may loop through links).
constexpr int kMaxTreeDepth = 64;

PCHAR Text(const std::string& text) { return const_cast<PCHAR>(text.c_str()); }

struct HandleCloser {
  void operator()(void* handle) const { CloseHandle(handle); }
};
using ScopedHandle = std::unique_ptr<void, HandleCloser>;

struct FindCloser {
  void operator()(void* handle) const { FindClose(handle); }
};
using ScopedFind = std::unique_ptr<void, FindCloser>;

// The whole of a local file; FALSE when it cannot be opened or read.
[[nodiscard]] bool ReadLocalFile(const std::string& path, std::string* bytes) {
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return false;
  }
  LONG high = 0;
  const DWORD size = SetFilePointer(file.get(), 0, &high, FILE_END);
  if ((size == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) || high != 0)
    return false;
  if (SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN) != 0) return false;
  try {
    bytes->assign(size, '\0');
  } catch (const std::bad_alloc&) {
    return false;
  }
  DWORD done = 0;
  while (done < size) {
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes->data() + done, size - done, &read, nullptr))
      return false;
    if (read == 0) break;
    done += read;
  }
  bytes->resize(done);
  return true;
}

// Creates (or replaces) a local file holding `bytes`; FALSE when it cannot.
[[nodiscard]] bool WriteLocalFile(const std::string& path, const std::string& bytes) {
  ScopedHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) {
    file.release();
    return false;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const DWORD piece =
        static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    if (!WriteFile(file.get(), bytes.data() + done, piece, &written, nullptr) ||
        written == 0)
      return false;
    done += written;
  }
  return true;
}

bool IsLocalDirectory(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string WithTrailingBackslash(const std::string& path) {
  return !path.empty() && path.back() == '\\' ? path : path + "\\";
}

// An entry name that may become one local file or folder name: never a path of
// its own, nor a way out of the target folder.
bool IsSafeLocalName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of("\\/:") == std::string::npos;
}

// One binary value for a modification: the bytes, or a space for none.
struct ContentsMod {
  ContentsMod(ULONG op, const std::string& type, const std::string& bytes)
      : type(type), bytes(bytes.empty() ? std::string(kEmptyContents) : bytes) {
    value.bv_len = static_cast<ULONG>(this->bytes.size());
    value.bv_val = this->bytes.data();
    values[0] = &value;
    mod.mod_op = op | LDAP_MOD_BVALUES;
    mod.mod_type = this->type.data();
    mod.mod_bvalues = values;
  }
  ContentsMod(const ContentsMod&) = delete;
  ContentsMod& operator=(const ContentsMod&) = delete;
  std::string type;
  std::string bytes;
  berval value{};
  berval* values[2] = {nullptr, nullptr};
  LDAPModA mod{};
};

}  // namespace

// ---------------------------------------------------------------------------
// Contents of one entry

BOOL CLDAPDirectory::ReadContents(const std::string& dn, std::string* contents,
                                  ULONG* code) {
  contents->clear();
  ULONG result = kLDAPParamError;
  if (code == nullptr) code = &result;
  *code = kLDAPParamError;
  if (!ApiReady()) return FALSE;
  // Scope base: the entry itself is the only result, however the server spells
  // its DN (attribute types and escapes are rewritten in returned DNs).
  ScopedLDAPMessage message(api_);
  *code = api_.ldap_search_sA(session_, Text(dn), LDAP_SCOPE_BASE, Text(searchFilter_),
                              nullptr, 0, message.out());
  if (*code != LDAP_SUCCESS) {
    currentError_ = *code;
    return FALSE;
  }
  LDAPMessage* entry = api_.ldap_first_entry(session_, message.get());
  if (entry == nullptr) return TRUE;
  const std::string contentsAttribute = FileContentsAttributeName();
  ScopedBerElement cursor(api_);
  for (PCHAR name = api_.ldap_first_attributeA(session_, entry, cursor.out());
       name != nullptr; name = api_.ldap_next_attributeA(session_, entry, cursor.get())) {
    ScopedLDAPString attribute(api_, name);
    if (!EqualsIgnoreCase(attribute.get(), contentsAttribute)) continue;
    ScopedLDAPBinaryValues values(
        api_, api_.ldap_get_values_lenA(session_, entry, attribute.get()));
    // The last value wins when an entry holds several.
    for (ULONG i = 0; values.get() != nullptr && values.get()[i] != nullptr; ++i) {
      const berval* value = values.get()[i];
      try {
        contents->assign(value->bv_val, value->bv_len);
      } catch (const std::bad_alloc&) {
        contents->clear();
        *code = LDAP_NO_MEMORY;
        currentError_ = *code;
        return FALSE;
      }
    }
    break;
  }
  return TRUE;
}

ULONG CLDAPDirectory::AddFileEntry(const std::string& dn, const std::string& fileName,
                                   const std::string& bytes) {
  if (!ApiReady()) return kLDAPParamError;
  LDAPTextMod naming(FileAttributeName(), fileName);
  LDAPTextMod objectClass(kObjectClass, FileObjectClass());
  ContentsMod contents(LDAP_MOD_ADD, FileContentsAttributeName(), bytes);
  LDAPModA* mods[] = {&naming.mod, &objectClass.mod, &contents.mod, nullptr};
  return api_.ldap_add_sA(session_, Text(dn), mods);
}

ULONG CLDAPDirectory::ReplaceContents(const std::string& dn, const std::string& bytes) {
  if (!ApiReady()) return kLDAPParamError;
  ContentsMod contents(LDAP_MOD_REPLACE, FileContentsAttributeName(), bytes);
  LDAPModA* mods[] = {&contents.mod, nullptr};
  return api_.ldap_modify_sA(session_, Text(dn), mods);
}

BOOL CLDAPDirectory::StoreContents(const std::string& dn, const std::string& fileName,
                                   const std::string& bytes, BOOL build,
                                   std::string* errorText,
                                   std::vector<std::string>* created) {
  const std::string target = build ? FileAttributeName() + "=" + fileName + "," + dn : dn;
  if (!EnsureAncestorsRecorded(target, FALSE, nullptr, created)) {
    ReportError(LDAP_INVALID_DN_SYNTAX, FALSE, errorText);
    return FALSE;
  }
  const ULONG found = SearchEntry(target);
  if (found != LDAP_SUCCESS && found != LDAP_NO_SUCH_OBJECT) return FALSE;
  const ULONG code = found == LDAP_NO_SUCH_OBJECT ? AddFileEntry(target, fileName, bytes)
                                                  : ReplaceContents(target, bytes);
  if (code != LDAP_SUCCESS) {
    ReportError(code, FALSE, errorText);
    return FALSE;
  }
  return TRUE;
}

BOOL CLDAPDirectory::StoreDataToDN(const std::string& dn, const std::string& bytes,
                                   std::string* errorText,
                                   std::vector<std::string>* created) {
  std::string name;
  DWORD folder = 0;
  if (!ParseDN(dn, &name, &folder) || folder == 1) {
    ReportError(LDAP_INVALID_DN_SYNTAX, FALSE, errorText);
    return FALSE;
  }
  return StoreContents(dn, name, bytes, FALSE, errorText, created);
}

BOOL CLDAPDirectory::StoreFileFromDisk(const std::string& localPath,
                                       const std::string& dn, BOOL manageSession,
                                       BOOL build, std::string* errorText) {
  if (localPath.empty() || dn.empty()) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  OperationSession session(this, manageSession, errorText);
  if (!session.ok()) return FALSE;
  std::string bytes;
  if (!ReadLocalFile(localPath, &bytes)) return FALSE;
  return StoreContents(dn, FileNameOf(localPath), bytes, build, nullptr);
}

BOOL CLDAPDirectory::UploadFile(const std::string& dn, const std::string& localPath,
                                std::string* errorText) {
  OperationSession session(this, TRUE, errorText);
  if (!session.ok()) return FALSE;
  std::string bytes;
  if (!ReadLocalFile(localPath, &bytes)) return FALSE;
  return StoreDataToDN(dn, bytes, errorText);
}

BOOL CLDAPDirectory::FetchToFile(const std::string& dn, const std::string& localPath,
                                 BOOL manageSession, std::string* errorText) {
  OperationSession session(this, manageSession, errorText);
  if (!session.ok()) return FALSE;
  std::string bytes;
  if (!ReadContents(dn, &bytes, nullptr)) return FALSE;
  return WriteLocalFile(localPath, bytes) ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------
// Loaded files

std::string CLDAPDirectory::FetchToTempFile(const std::string& dn) {
  const std::string path = CreateTempFileName();
  if (path.empty()) return path;
  OperationSession session(this, TRUE, nullptr);
  std::string bytes;
  ULONG code = LDAP_SUCCESS;
  // A missing entry (or folder above it) is a new file and starts empty. Any
  // other failed read must not pass for an empty file: written back, it would
  // replace the stored contents.
  const bool fetched =
      session.ok() && (ReadContents(dn, &bytes, &code) || code == LDAP_NO_SUCH_OBJECT);
  if (!fetched || !WriteLocalFile(path, bytes)) {
    DeleteFileA(path.c_str());
    return std::string();
  }
  return path;
}

BOOL CLDAPDirectory::ReleaseCacheFile(const std::string& dn, const std::string& localPath,
                                      BOOL writeBack, std::string* errorText) {
  if (localPath.empty()) {
    if (writeBack) ReportError(kLDAPParamError, TRUE, errorText);
    return FALSE;
  }
  const BOOL result = writeBack ? UploadFile(dn, localPath, errorText) : TRUE;
  // A copy whose contents could not be stored is kept: it is the only one.
  if (result) DeleteFileA(localPath.c_str());
  return result;
}

// ---------------------------------------------------------------------------
// Whole entries

BOOL CLDAPDirectory::FileExists(const std::string& dn, std::string* errorText) {
  OperationSession session(this, TRUE, errorText);
  if (!session.ok()) return FALSE;
  return Exists(dn, errorText);
}

BOOL CLDAPDirectory::IsWritable(const std::string& dn, std::string* errorText) {
  OperationSession session(this, TRUE, errorText);
  if (!session.ok()) return FALSE;
  if (Exists(dn, errorText)) return TRUE;
  // The probe entry and the folders made for it go again, so that the test
  // leaves the directory as it found it.
  std::vector<std::string> created;
  const BOOL stored = StoreDataToDN(dn, std::string(), errorText, &created);
  if (stored) DeleteEntry(dn, nullptr);
  RemoveCreatedFolders(created);
  return stored;
}

BOOL CLDAPDirectory::DeleteEntry(const std::string& dn, std::string* errorText) {
  if (SearchEntry(dn) != LDAP_SUCCESS) return FALSE;
  const ULONG code = api_.ldap_delete_sA(session_, Text(dn));
  if (code == LDAP_NOT_ALLOWED_ON_NONLEAF) {
    ReportError(code, FALSE, errorText);
    return DeleteTree(dn, errorText);
  }
  return code == LDAP_SUCCESS ? TRUE : FALSE;
}

BOOL CLDAPDirectory::DeleteTree(const std::string& dn, std::string* errorText) {
  if (dn.empty() || !ApiReady()) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  CLDAPItems children;
  ListChildren(dn, &children, nullptr);
  // Files first, then folders; a folder that is not empty is emptied first. The
  // listing knows each child's kind from its object class.
  for (int i = 0; i < children.GetCount(); ++i) {
    const CLDAPItem* child = children.GetAt(i);
    if (child->folder) continue;
    const ULONG code = api_.ldap_delete_sA(session_, Text(child->name));
    if (code != LDAP_SUCCESS) ReportError(code, FALSE, errorText);
  }
  for (int i = 0; i < children.GetCount(); ++i) {
    const CLDAPItem* child = children.GetAt(i);
    if (!child->folder) continue;
    if (api_.ldap_delete_sA(session_, Text(child->name)) != LDAP_SUCCESS)
      DeleteTree(child->name, nullptr);
  }
  return api_.ldap_delete_sA(session_, Text(dn)) == LDAP_SUCCESS ? TRUE : FALSE;
}

BOOL CLDAPDirectory::RemoveEntry(const std::string& dn) {
  OperationSession session(this, TRUE, nullptr);
  if (!session.ok()) return FALSE;
  return DeleteEntry(dn, nullptr);
}

BOOL CLDAPDirectory::Rename(const std::string& oldDn, const std::string& newDn,
                            std::string* errorText) {
  std::vector<std::string> rdns;
  if (!ExplodeDN(newDn, &rdns)) return FALSE;
  std::string parent;
  for (std::size_t i = 1; i < rdns.size(); ++i) parent += (i == 1 ? "" : ",") + rdns[i];
  const ULONG code = api_.ldap_rename_ext_sA(session_, Text(oldDn), Text(rdns.front()),
                                             Text(parent), 1, nullptr, nullptr);
  ReportError(code, FALSE, errorText);
  return code == LDAP_SUCCESS ? TRUE : FALSE;
}

BOOL CLDAPDirectory::RenameEntry(const std::string& oldDn, const std::string& newDn,
                                 std::string* errorText) {
  OperationSession session(this, TRUE, errorText);
  if (!session.ok()) return FALSE;
  if (!IsFolderDN(oldDn)) return Rename(oldDn, newDn, errorText);
  CLDAPItems children;
  ULONG code = LDAP_SUCCESS;
  ListChildrenChecked(oldDn, &children, nullptr, &code);
  if (code != LDAP_SUCCESS) {
    ReportError(code, FALSE, errorText);
    return FALSE;
  }
  if (children.GetCount() == 0) return Rename(oldDn, newDn, errorText);

  // A non-empty folder moves through a local copy, and its old tree is deleted
  // only after the copy succeeded. A target that is the folder itself (another
  // spelling) or lies inside it would be deleted with the old tree: the first is
  // left to the server's own rename, the second is refused.
  std::vector<std::string> oldRdns;
  std::vector<std::string> newRdns;
  if (!ExplodeDN(oldDn, &oldRdns) || !ExplodeDN(newDn, &newRdns)) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  if (newRdns.size() >= oldRdns.size()) {
    const std::size_t offset = newRdns.size() - oldRdns.size();
    bool inside = true;
    for (std::size_t i = 0; i < oldRdns.size() && inside; ++i)
      inside = EqualsIgnoreCase(oldRdns[i], newRdns[offset + i]);
    if (inside && offset == 0) return Rename(oldDn, newDn, errorText);
    if (inside) {
      ReportError(kLDAPParamError, FALSE, errorText);
      return FALSE;
    }
  }
  if (IsFolderDN(newDn) && !EnsureAncestors(newDn, FALSE, nullptr)) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  if (!CopyTreeViaTemp(oldDn, newDn, 1, FALSE, errorText)) return FALSE;
  return DeleteTree(oldDn, errorText);
}

// ---------------------------------------------------------------------------
// Copies

BOOL CLDAPDirectory::CopyToLocal(const std::string& dn, const std::string& localPath,
                                 std::string* errorText) {
  if (dn.empty() || localPath.empty()) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  OperationSession session(this, TRUE, errorText);
  if (!session.ok()) return FALSE;
  DWORD folder = 0;
  if (!ParseDN(dn, nullptr, &folder)) {
    ReportError(LDAP_INVALID_DN_SYNTAX, FALSE, errorText);
    return FALSE;
  }
  if (folder) return CopyTreeToLocalRoot(dn, localPath, FALSE, errorText);
  return FetchToFile(dn, localPath, FALSE, errorText);
}

BOOL CLDAPDirectory::CopyTreeToLocal(const std::string& folderDn,
                                     const std::string& localFolder, BOOL manageSession,
                                     std::string* errorText) {
  OperationSession session(this, manageSession, errorText);
  if (!session.ok()) return FALSE;
  return CopyChildrenToLocal(folderDn, localFolder, FALSE, 0, errorText);
}

BOOL CLDAPDirectory::CopyTreeToLocalRoot(const std::string& folderDn,
                                         const std::string& localFolder,
                                         BOOL manageSession, std::string* errorText) {
  OperationSession session(this, manageSession, errorText);
  if (!session.ok()) return FALSE;
  return CopyChildrenToLocal(folderDn, localFolder, TRUE, 0, errorText);
}

// The children of `folderDn` into `localFolder`; with `folderIfEmpty` an empty
// folder stands for itself, so that it arrives as an empty subfolder.
BOOL CLDAPDirectory::CopyChildrenToLocal(const std::string& folderDn,
                                         const std::string& localFolder,
                                         BOOL folderIfEmpty, int depth,
                                         std::string* errorText) {
  if (depth > kMaxTreeDepth) return FALSE;
  CLDAPItems children;
  ULONG code = LDAP_SUCCESS;
  ListChildrenChecked(folderDn, &children, nullptr, &code);
  if (code != LDAP_SUCCESS) {
    ReportError(code, FALSE, errorText);
    return FALSE;
  }
  if (children.GetCount() == 0 && folderIfEmpty) {
    std::unique_ptr<CLDAPItem> self(new (std::nothrow)
                                        CLDAPItem(folderDn, IsFolderDN(folderDn)));
    if (self == nullptr || !children.Add(self.get(), FALSE)) return FALSE;
    self.release();
  }

  BOOL result = TRUE;
  const std::string folder = WithTrailingBackslash(localFolder);
  std::vector<std::pair<std::string, std::string>> subfolders;  // DN, local folder
  for (int i = 0; i < children.GetCount(); ++i) {
    const CLDAPItem* child = children.GetAt(i);
    std::string name;
    if (!ParseDN(child->name, &name, nullptr) || !IsSafeLocalName(name)) {
      ReportError(LDAP_INVALID_DN_SYNTAX, FALSE, errorText);
      result = FALSE;
      continue;
    }
    if (!MakeSureDirectoryPathExists(folder.c_str())) {
      result = FALSE;
      continue;
    }
    if (child->folder) {
      subfolders.emplace_back(child->name, WithTrailingBackslash(JoinPath(folder, name)));
      continue;
    }
    if (!FetchToFile(child->name, JoinPath(folder, name), FALSE, errorText))
      result = FALSE;
  }
  for (const auto& [dn, local] : subfolders) {
    if (!MakeSureDirectoryPathExists(local.c_str()) ||
        !CopyChildrenToLocal(dn, local, FALSE, depth + 1, errorText))
      result = FALSE;
  }
  return result;
}

BOOL CLDAPDirectory::UploadTree(const std::string& localFolder,
                                const std::string& parentDn, int mode, BOOL manageSession,
                                std::string* errorText) {
  if (localFolder.empty() || parentDn.empty()) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  OperationSession session(this, manageSession, errorText);
  if (!session.ok()) return FALSE;
  std::string rootDn = parentDn;
  BOOL result = TRUE;
  if (mode == 2 && !CreateFolderUnder(localFolder, &rootDn, errorText, TRUE))
    result = FALSE;
  if (!UploadDirectory(StripTrailingBackslash(localFolder), rootDn, 0, errorText))
    result = FALSE;
  return result;
}

// Stores the files of one local folder below `dn` and creates its subfolders,
// then descends into them (directories in pre-order, as the search lists them).
BOOL CLDAPDirectory::UploadDirectory(const std::string& localFolder,
                                     const std::string& dn, int depth,
                                     std::string* errorText) {
  if (depth > kMaxTreeDepth) return FALSE;
  WIN32_FIND_DATAA data{};
  ScopedFind find(FindFirstFileA(JoinPath(localFolder, "*.*").c_str(), &data));
  if (find.get() == INVALID_HANDLE_VALUE) {
    find.release();
    return FALSE;
  }
  BOOL result = TRUE;
  std::vector<std::pair<std::string, std::string>> subfolders;  // local folder, DN
  do {
    const std::string name = BoundedText(data.cFileName, sizeof data.cFileName).data();
    if (name == "." || name == "..") continue;
    const std::string path = JoinPath(localFolder, name);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      std::string subfolderDn = dn;
      if (!CreateFolderUnder(path, &subfolderDn, errorText, TRUE)) result = FALSE;
      subfolders.emplace_back(path, subfolderDn);
      continue;
    }
    if (!StoreFileFromDisk(path, dn, FALSE, TRUE, errorText)) result = FALSE;
  } while (FindNextFileA(find.get(), &data));
  find.reset();
  for (const auto& [path, subfolderDn] : subfolders) {
    if (!UploadDirectory(path, subfolderDn, depth + 1, errorText)) result = FALSE;
  }
  return result;
}

BOOL CLDAPDirectory::CopyTreeViaTemp(const std::string& sourceDn,
                                     const std::string& targetDn, int mode,
                                     BOOL manageSession, std::string* errorText) {
  OperationSession session(this, manageSession, errorText);
  if (!session.ok()) return FALSE;
  std::string name;
  if (!ParseDN(sourceDn, &name, nullptr) || !IsSafeLocalName(name)) {
    ReportError(LDAP_INVALID_DN_SYNTAX, FALSE, errorText);
    return FALSE;
  }
  const std::string temp = CreateTempDirectory();
  if (temp.empty()) return FALSE;
  const std::string localCopy = JoinPath(temp, name);
  // The copy holds the source's contents, also when there are none, so that an
  // empty folder arrives as one folder and not as one inside another.
  BOOL result = MakeSureDirectoryPathExists(WithTrailingBackslash(localCopy).c_str()) &&
                CopyChildrenToLocal(sourceDn, localCopy, FALSE, 0, errorText) &&
                UploadTree(localCopy, targetDn, mode, FALSE, errorText);
  if (!DeleteContainingDirectory(localCopy)) result = FALSE;
  return result;
}

BOOL CLDAPDirectory::CopyWithin(const std::string& sourceDn, const std::string& targetDn,
                                std::string* errorText) {
  if (sourceDn.empty() || targetDn.empty()) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  OperationSession session(this, TRUE, errorText);
  if (!session.ok()) return FALSE;
  std::string sourceName;
  DWORD sourceFolder = 0;
  if (!ParseDN(sourceDn, &sourceName, &sourceFolder)) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  if (sourceFolder) return CopyTreeViaTemp(sourceDn, targetDn, 2, FALSE, errorText);
  std::string bytes;
  if (!ReadContents(sourceDn, &bytes, nullptr)) return FALSE;
  std::string targetName;
  DWORD targetFolder = 0;
  if (!ParseDN(targetDn, &targetName, &targetFolder)) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  // Into a folder the file keeps its name; onto a file DN it takes that name.
  if (targetFolder) return StoreContents(targetDn, sourceName, bytes, TRUE, errorText);
  return StoreContents(targetDn, targetName, bytes, FALSE, errorText);
}

BOOL CLDAPDirectory::CopyFromLocal(const std::string& localPath, const std::string& dn,
                                   std::string* errorText) {
  if (localPath.empty() || dn.empty()) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  OperationSession session(this, TRUE, errorText);
  if (!session.ok()) return FALSE;
  if (IsLocalDirectory(localPath)) return UploadTree(localPath, dn, 2, FALSE, errorText);
  return StoreFileFromDisk(localPath, dn, FALSE, IsFolderDN(dn), errorText);
}

}  // namespace kova
