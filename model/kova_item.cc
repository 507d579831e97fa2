#include "model/kova_item.h"

#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "common/path_text.h"
#include "common/text.h"
#include "model/kova.h"
#include "model/kova_ldap.h"
#include "model/profile_type.h"

namespace kova {
namespace {

struct FindCloser {
  void operator()(HANDLE handle) const { FindClose(handle); }
};
using FindHandle = std::unique_ptr<void, FindCloser>;

// `pattern` is lower-cased already. ".*" passes everything; otherwise the
// entry's extension (the whole name when it has no dot) must occur in the
// pattern, so one pattern may list several extensions.
bool PassesEntryTest(std::string_view pattern, std::string_view name) {
  if (pattern == ".*") return true;
  const std::string_view::size_type dot = name.rfind('.');
  if (dot != std::string_view::npos) name.remove_prefix(dot);
  return FindIgnoreCase(pattern, name) != std::string_view::npos;
}

// Appends a new item for one entry; an item that cannot be made or appended is
// skipped.
bool AppendEntry(CKovaItems& items, const std::string& path, CKova* kova, DWORD kind) {
  CKovaItem* item = new (std::nothrow) CKovaItem;
  if (item == nullptr) return false;
  item->Set(path, kova);
  item->SetKind(kind);
  if (items.Add(item, FALSE)) return true;
  delete item;
  return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// CKovaItem

CKovaItem* CKovaItem::Clone() const {
  CKovaItem* copy = new (std::nothrow) CKovaItem;
  if (copy != nullptr) copy->CopyFrom(*this);
  return copy;
}

void CKovaItem::CopyFrom(const CKovaItem& other) {
  if (&other == this) return;
  path_ = other.path_;
  kova_ = other.kova_;
  kind_ = other.kind_;
}

void CKovaItem::Set(const std::string& path, CKova* kova) {
  path_ = kova != nullptr ? kova->ToKovaPath(path) : path;
  kova_ = kova;
}

std::string CKovaItem::GetPath(BOOL resolved) const {
  if (resolved && kova_ != nullptr) return kova_->ToResolvedPath(path_);
  return path_;
}

std::string CKovaItem::GetName(BOOL keepExtension) const {
  std::string name = FileNameOf(path_);
  if (keepExtension || kind_ == kKovaItemFolder) return name;
  return StripExtension(name);
}

LONG CKovaItem::GetTypeCode() const {
  if (kova_ == nullptr) return 0;
  return ProfileTypeOf(GetPath(FALSE));
}

BOOL CKovaItem::CopyTo(const CKovaItem& destination, BOOL failIfExists) const {
  if (kova_ == nullptr) return FALSE;
  return kova_->CopyFile(path_, destination.GetPath(FALSE), destination.kova(),
                         failIfExists);
}

// ---------------------------------------------------------------------------
// CKovaItems

CKovaItems::~CKovaItems() {
  delete ownKovas_;
  RemoveAll(ownsElements_);
}

BOOL CKovaItems::AddPath(const std::string& path, CKovas* kovas) {
  if (kovas == nullptr) {
    if (ownKovas_ == nullptr) ownKovas_ = new (std::nothrow) CKovas(kKovasKeyPath);
    if (ownKovas_ == nullptr) return FALSE;
    kovas = ownKovas_;
  }
  CKovaItem* item = new (std::nothrow) CKovaItem;
  if (item == nullptr) return FALSE;
  kovas->ResolveItem(path, item);
  if (Add(item, FALSE)) return TRUE;
  delete item;
  return FALSE;
}

BOOL CKovaItems::Add(CKovaItem* item, BOOL clone) {
  if (item == nullptr) return FALSE;
  if (!clone) return items_.Append(item) ? TRUE : FALSE;
  CKovaItem* copy = item->Clone();
  if (copy == nullptr) return FALSE;
  if (items_.Append(copy)) return TRUE;
  delete copy;
  return FALSE;
}

BOOL CKovaItems::AppendClones(const CKovaItems& other) {
  // Counted once, so that appending a list to itself copies each item once.
  const int count = other.GetCount();
  BOOL all = TRUE;
  for (int i = 0; i < count; ++i) {
    CKovaItem* item = other.GetAt(i);
    if (item != nullptr && !Add(item, TRUE)) all = FALSE;
  }
  return all;
}

void CKovaItems::RemoveAll(BOOL deleteElements) { items_.Clear(deleteElements != FALSE); }

BOOL CKovaItems::RemoveByPath(const std::string& path) {
  for (int i = 0; i < items_.count(); ++i) {
    if (EqualsIgnoreCase(items_.at(i)->GetPath(FALSE), path)) return Remove(items_.at(i));
  }
  return FALSE;
}

BOOL CKovaItems::Remove(CKovaItem* item) {
  const int index = items_.IndexOf(item);
  if (index < 0) return FALSE;
  items_.RemoveAt(index);
  if (ownsElements_) delete item;
  return TRUE;
}

int CKovaItems::Enumerate(const CKovaItem* folderItem, const std::string& filter) {
  if (folderItem == nullptr) return 0;
  // Without a Kova the folder cannot be resolved against anything.
  CKova* kova = folderItem->kova();
  if (kova == nullptr) return 0;

  const std::string path = folderItem->GetPath(FALSE);
  std::string pattern = filter;
  std::string folder = path;
  if (filter.empty()) {
    pattern = FileNameOf(path);
    folder = CutAtLastBackslash(path);
  }
  if (folder.empty()) return 0;
  // A bare "<name>" (as cutting "<name>\*.ext" leaves it) is the Kova's root,
  // as ContainsPath takes it; the root's replacement needs the backslash.
  if (folder.find('\\') == std::string::npos) folder += '\\';
  pattern = ToLowerAscii(pattern);
  const std::string target = kova->ToResolvedPath(folder);

  if (kova->IsActivePathLDAP()) {
    CLDAPDirectory* directory = kova->GetLDAPDirectory();
    if (directory == nullptr) return 0;
    std::vector<LDAPChild> children;
    LDAPListChildren(*directory, target, folder, &children);
    for (const LDAPChild& child : children) {
      if (child.folder) {
        AppendEntry(*this, child.name, kova, kKovaItemFolder);
        continue;
      }
      if (!PassesEntryTest(pattern, FileNameOf(child.name))) continue;
      AppendEntry(*this, child.name, kova, 0);
    }
    return GetCount();
  }

  WIN32_FIND_DATAA data;
  const HANDLE first = FindFirstFileA(JoinPath(target, "*.*").c_str(), &data);
  if (first == INVALID_HANDLE_VALUE) return 0;
  const FindHandle find(first);
  int appended = 0;
  do {
    const std::string_view name = BoundedText(data.cFileName, sizeof(data.cFileName));
    if (name == "." || name == "..") continue;
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!isFolder && !PassesEntryTest(pattern, name)) continue;
    if (AppendEntry(*this, JoinPathOrBase(target, name), kova,
                    isFolder ? kKovaItemFolder : 0))
      ++appended;
  } while (FindNextFileA(find.get(), &data));
  return appended;
}

}  // namespace kova
