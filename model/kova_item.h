// Paths bound to their Kova, and lists of them as enumeration fills them.
#ifndef KOVA_MODEL_KOVA_ITEM_H_
#define KOVA_MODEL_KOVA_ITEM_H_

#include <string>

#include "model/ptr_array.h"
#include "windows.h"

namespace kova {

class CKova;
class CKovas;

// `kind` of a folder entry.
constexpr DWORD kKovaItemFolder = 64;

// A Kova path (or, without a Kova, a path as given) with the Kova it belongs to
// (not owned).
class CKovaItem {
 public:
  CKovaItem() = default;
  CKovaItem(const CKovaItem&) = delete;
  CKovaItem& operator=(const CKovaItem&) = delete;
  virtual ~CKovaItem() = default;

  // A new item with the same path, Kova and kind (null when out of memory).
  virtual CKovaItem* Clone() const;
  virtual void CopyFrom(const CKovaItem& other);

  // Stores `kova` and, through it, the Kova path of `path`; without a Kova the
  // path is kept as given.
  void Set(const std::string& path, CKova* kova);
  // With `resolved` and a Kova, the resolved path; otherwise the stored path.
  std::string GetPath(BOOL resolved) const;
  // The file-name part of the path; without `keepExtension` a file's extension
  // is dropped (a folder's name is kept whole).
  std::string GetName(BOOL keepExtension) const;
  // The profile type code of the path; 0 without a Kova.
  LONG GetTypeCode() const;
  // Copies the file to `destination` with CKova::CopyFile of this item's Kova:
  // from this item's Kova path to the destination's path, in the destination's
  // Kova (a file-system path when it has none). 0 without a Kova; failures are
  // silent.
  BOOL CopyTo(const CKovaItem& destination, BOOL failIfExists) const;

  CKova* kova() const { return kova_; }
  DWORD kind() const { return kind_; }
  void SetKind(DWORD kind) { kind_ = kind; }

 private:
  std::string path_;
  CKova* kova_ = nullptr;
  DWORD kind_ = 0;
};

// An ordered list of items that owns them, with the Kova collection it made for
// items added by path alone.
class CKovaItems {
 public:
  CKovaItems() = default;
  CKovaItems(const CKovaItems&) = delete;
  CKovaItems& operator=(const CKovaItems&) = delete;
  // Deletes the own collection, then the items.
  virtual ~CKovaItems();

  // Appends a new item bound by `kovas` (or by the own collection, made on first
  // need) to `path`. 0 when it could not be made or appended.
  virtual BOOL AddPath(const std::string& path, CKovas* kovas);
  // Appends `item` (taking ownership) or, with `clone`, a clone of it.
  virtual BOOL Add(CKovaItem* item, BOOL clone);
  virtual BOOL AppendClones(const CKovaItems& other);
  virtual void RemoveAll(BOOL deleteElements);
  // Deletes the first item whose path equals `path`, ignoring case.
  virtual BOOL RemoveByPath(const std::string& path);
  // Removes and deletes `item`; 0 when it is not in the list.
  virtual BOOL Remove(CKovaItem* item);

  // Appends the entries of one folder of `folderItem`'s Kova that `filter`
  // passes (folders always, with kind kKovaItemFolder) in the order the storage
  // delivers them, each bound to the Kova by its Kova path. An empty `filter`
  // takes the pattern from the last component of the folder item's path. A file
  // passes when the filter is ".*" or contains its extension (its whole name
  // when it has none), ignoring case.
  // Returns the number of items appended for a file-system Kova and the list's
  // count for an LDAP Kova. 0, appending nothing, for a null item, an item
  // without a Kova (nothing to resolve the folder against), a folder that does
  // not exist or cannot be listed, and an LDAP Kova without a back end. A bare
  // Kova root "<name>" (no backslash) lists the root.
  int Enumerate(const CKovaItem* folderItem, const std::string& filter);

  int GetCount() const { return items_.count(); }
  CKovaItem* GetAt(int index) const { return items_.at(index); }

 private:
  PtrArray<CKovaItem> items_;
  BOOL ownsElements_ = TRUE;
  CKovas* ownKovas_ = nullptr;
};

}  // namespace kova

#endif  // KOVA_MODEL_KOVA_ITEM_H_
