// Kova definitions read from the registry, and their ordered collection.
#ifndef KOVA_MODEL_KOVA_H_
#define KOVA_MODEL_KOVA_H_

#include <string>

#include "macros/replacers.h"
#include "model/kova_path.h"
#include "model/ptr_array.h"
#include "windows.h"

namespace kova {

class CKovaItem;
class CKovas;
class CLDAPDirectory;

// The key, under both HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE, whose subkeys are
// the Kova definitions.
constexpr char kKovasKeyPath[] = "Software\\Corvanta\\Vintrel\\Kovas";

// One Kova: a named storage place with its display name, ordering and content
// flags, and its paths. Owns its paths and its LDAP back end; `owner` (the
// collection whose replacers expand the paths) is not owned.
class CKova {
 public:
  explicit CKova(CKovas* owner);
  CKova(const CKova&) = delete;
  CKova& operator=(const CKova&) = delete;
  virtual ~CKova();

  // Empties the texts, clears the flags, sets orderIndex -1, stores `owner` and
  // gives the Kova a new, empty path collection.
  virtual void Init(CKovas* owner);
  // A new Kova with the same definition and clones of the paths (null when out
  // of memory). The LDAP back end is not copied.
  virtual CKova* Clone() const;
  virtual void CopyFrom(const CKova& other);

  // Reads the definition `subkeyName` below the open `kovasKey`. 0 when the
  // subkey cannot be opened or defines no "Path1" (the caller discards the Kova).
  BOOL ReadDefinition(HKEY kovasKey, const char* subkeyName);

  // The active path text with a trailing backslash (or empty), chosen once.
  std::string GetActivePath();
  // 1 when the active path is an LDAP path.
  BOOL IsActivePathLDAP();
  // The LDAP back end of an LDAP active path; null otherwise.
  CLDAPDirectory* GetLDAPDirectory();

  // The Kova path root "<name>\" followed by `relativePath`. With `resolve`, or
  // for the built-in Kova (empty name), the root is replaced by the active path.
  std::string GetDisplayPath(const std::string& relativePath, BOOL resolve);
  // 1 when `path` starts, ignoring case, with the Kova's root (or, with
  // `resolved`, its active location). An empty root never matches.
  BOOL ContainsPath(const std::string& path, BOOL resolved);

  // Conversions between Kova paths and resolved paths: the root "<name>\" and
  // the active path text are swapped, case-insensitively, wherever they occur.
  // The resolved path of an LDAP Kova is the DN of its entry.
  std::string ToResolvedPath(const std::string& kovaPath);
  std::string ToKovaPath(const std::string& resolvedPath);
  // The local file behind a resolved path: the path itself, or for an LDAP Kova
  // a new cache file holding the entry's contents (empty when the fetch failed).
  std::string ToLocalPath(const std::string& resolvedPath);
  // Ends the use of a local path: an LDAP Kova writes a modified cache file back
  // and removes it. 1 for success.
  BOOL ReleaseLocalPath(const std::string& kovaPath, const std::string& localPath,
                        BOOL modified);

  // File operations on Kova paths of this Kova; each returns 1 for success and
  // fails silently. An LDAP Kova hands them to its back end and fails them all
  // without one. `errorText` (may be null) is handed to the LDAP back end.
  BOOL FileExists(const std::string& kovaPath, std::string* errorText);
  BOOL DeleteFile(const std::string& kovaPath);
  // The new path is resolved by the Kova of the collection that contains it
  // (this one when none does), so a move into another Kova lands there; a move
  // between a file-system and an LDAP Kova fails.
  BOOL RenameFile(const std::string& oldKovaPath, const std::string& newKovaPath);
  // `destinationPath` is a Kova path of `destinationKova`, or a file-system path
  // when `destinationKova` is null.
  BOOL CopyFile(const std::string& sourceKovaPath, const std::string& destinationPath,
                CKova* destinationKova, BOOL failIfExists);
  // The writability test (TestPathWritable of the resolved path); a file-system
  // failure is shown in a message box naming the resolved path.
  BOOL IsPathWritable(const std::string& kovaPath);
  // The last error of the Kova's storage as a system error code.
  DWORD GetLastError();

  const std::string& name() const { return name_; }
  const std::string& displayName() const { return displayName_; }
  const std::string& iconSource() const { return iconSource_; }
  BOOL isDefault() const { return isDefault_; }
  LONG orderIndex() const { return orderIndex_; }
  DWORD contains() const { return contains_; }
  CKovaPaths* paths() const { return paths_; }
  CKovas* owner() const { return owner_; }

  void SetName(const std::string& name) { name_ = name; }
  void SetDisplayName(const std::string& displayName) { displayName_ = displayName; }

 private:
  std::string name_;
  std::string displayName_;
  std::string iconSource_;
  BOOL isDefault_ = FALSE;
  LONG orderIndex_ = -1;
  DWORD contains_ = 0;
  CKovaPaths* paths_ = nullptr;
  // Built on first use by the LDAP storage; stays null until that exists.
  CLDAPDirectory* ldapDirectory_ = nullptr;
  CKovas* owner_ = nullptr;
};

// The Kovas of the user and the machine in their fixed order, with the default
// one and the process's Kova replacer block. A collection loaded from the registry
// owns its Kovas; a view (no key path) only points at Kovas owned elsewhere.
// Not locked except for the creation of the replacer block (the model lock).
class CKovas {
 public:
  // With a non-empty `keyPath` the collection owns its Kovas and loads them at
  // once; otherwise it starts as an empty view.
  explicit CKovas(const char* keyPath);
  CKovas(const CKovas&) = delete;
  CKovas& operator=(const CKovas&) = delete;
  virtual ~CKovas();

  // Appends `kova` or, with `clone`, a clone of it; no duplicate check. 0 when the
  // array cannot grow (an owning collection then does not take `kova`).
  virtual BOOL Add(CKova* kova, BOOL clone);
  // Appends a clone of every non-null Kova of `other`.
  virtual BOOL AppendClones(const CKovas& other);
  // Drops every Kova (deleting them when asked) and frees the array.
  virtual void RemoveAll(BOOL deleteElements);
  // Removes the first element equal to `kova`; deletes it when the collection owns
  // its Kovas. 0 when absent.
  virtual BOOL Remove(CKova* kova);

  // Reads both hives (current user first), sorts, supplies "My Kova" when nothing
  // is defined and chooses the default.
  BOOL Load(const char* keyPath);
  // Appends the usable definitions below `keyPath` of `hive`; 0 when the key
  // does not open.
  BOOL LoadHive(HKEY hive, const char* keyPath);
  // Stable sort by ascending signed orderIndex; unordered (-1) Kovas go last in
  // their current order.
  BOOL SortByOrderIndex();

  // The default Kova if no bit of `excludeMask` is in its "Contains" mask, else
  // the first Kova that qualifies; null when none does. The result stays valid as
  // long as the collection.
  CKova* GetDefaultKova(DWORD excludeMask);
  // The refreshed, non-owning view of the Kovas whose "Contains" mask shares no
  // bit with `excludeMask`, in collection order.
  CKovas* GetFilteredView(DWORD excludeMask);

  // The process-wide Kova replacer block, attached and seeded on first use under
  // the model lock. Null only when out of memory.
  CReplacers* GetReplacers();

  // The first Kova, in collection order, whose root starts `path` (with
  // `resolved`: whose active location does); null when none.
  CKova* FindKova(const std::string& path, BOOL resolved);
  // Binds `path` (trailing white space removed) to the Kova it belongs to: the
  // named Kova, else the Kova whose active location holds it (the path becomes
  // its Kova path), else the default Kova with the path unchanged.
  void ResolveItem(const std::string& path, CKovaItem* item);

  int GetCount() const { return kovas_.count(); }
  CKova* GetAt(int index) const { return kovas_.at(index); }
  CKova* defaultKova() const { return defaultKova_; }
  BOOL ownsElements() const { return ownsElements_; }
  const std::string& defaultRoot() const { return defaultRoot_; }

  // The model lock, initialised by the first collection of the process and never
  // destroyed.
  static CRITICAL_SECTION* ModelLock();

 private:
  PtrArray<CKova> kovas_;
  CReplacers* replacers_ = nullptr;
  BOOL ownsReplacers_ = FALSE;
  CKovas* filteredView_ = nullptr;
  BOOL ownsElements_ = FALSE;
  CKova* defaultKova_ = nullptr;
  std::string defaultRoot_;
};

}  // namespace kova

#endif  // KOVA_MODEL_KOVA_H_
