// The storage paths of a Kova and the choice of its active path.
#ifndef KOVA_MODEL_KOVA_PATH_H_
#define KOVA_MODEL_KOVA_PATH_H_

#include <string>

#include "ldap/ldap_settings.h"
#include "model/ptr_array.h"
#include "windows.h"

namespace kova {

class CKova;
class CKovaPaths;
class CLDAPDirectory;

// Path type codes of "Type%d".
constexpr DWORD kKovaPathFileSystem = 0;
constexpr DWORD kKovaPathLDAP = 1;

// One storage location of a Kova: a file-system folder (type 0) or a folder in an
// LDAP directory (type 1, the path text being the base DN), with the LDAP
// connection settings of that location. Not locked; used from the client's thread.
class CKovaPath {
 public:
  // The path belongs to `owner` (not owned; may be null for a free-standing path).
  explicit CKovaPath(CKovaPaths* owner);
  CKovaPath(const CKovaPath&) = delete;
  CKovaPath& operator=(const CKovaPath&) = delete;
  virtual ~CKovaPath();

  // Resets every setting to its default and stores `owner`; the path text stays.
  virtual void Init(CKovaPaths* owner);
  // A new path with the same settings and owner (null when out of memory).
  virtual CKovaPath* Clone() const;
  virtual void CopyFrom(const CKovaPath& other);

  // Reads "Path<n>" and, for the type, "Type<n>" and, for LDAP paths only, the
  // connection settings from the open Kova definition key. Returns 0 when
  // "Path<n>" is missing (or does not fit 260 characters), else 1.
  BOOL ReadSettings(HKEY key, int n);

  // The path text expanded with the owning collection's replacers, computed once
  // and then cached. A file-system path comes back with backslash separators.
  std::string GetExpandedPath();

  // Whether the location exists: a file-system path by an existence test, an
  // LDAP path through `directory` (or a temporary back end built from this path).
  // `reserved` receives the directory's error text and is null from the model.
  BOOL IsAvailable(CLDAPDirectory* directory, std::string* reserved);

  DWORD type() const { return type_; }
  const std::string& pathText() const { return pathText_; }
  void SetPathText(const std::string& text) {
    pathText_ = text;
    expandedPath_.clear();
  }
  void SetType(DWORD type) { type_ = type <= kKovaPathLDAP ? type : kKovaPathFileSystem; }
  // The connection settings of an LDAP path (defaults for other paths).
  LDAPSettings& ldapSettings() { return ldap_; }
  const LDAPSettings& ldapSettings() const { return ldap_; }
  const std::string& host() const { return ldap_.host; }
  const std::string& userName() const { return ldap_.userName; }
  const std::string& password() const { return ldap_.password; }
  DWORD port() const { return ldap_.port; }
  DWORD authentication() const { return ldap_.authentication; }
  DWORD version() const { return ldap_.version; }
  DWORD connectTimeout() const { return ldap_.connectTimeout; }
  CKovaPaths* owner() const { return owner_; }

 private:
  friend class CKovaPaths;  // re-owns the clones it adds

  DWORD type_ = kKovaPathFileSystem;
  std::string pathText_;
  LDAPSettings ldap_;
  CKovaPaths* owner_ = nullptr;
  std::string expandedPath_;
};

// The paths of one Kova in the order of their numbers, and the active path: the
// first available one when first needed (else the first one), kept for the life
// of the collection. Owns its paths. Its owner deletes it directly, so the class
// has no virtual destructor and is final.
class CKovaPaths final {
 public:
  explicit CKovaPaths(CKova* owner);
  CKovaPaths(const CKovaPaths&) = delete;
  CKovaPaths& operator=(const CKovaPaths&) = delete;
  ~CKovaPaths();

  // Appends `path` (taking ownership) or, with `clone`, a clone of it. 0 when the
  // array cannot grow (the path is then not taken) or the clone fails.
  virtual BOOL Add(CKovaPath* path, BOOL clone);
  // Appends a clone of every path of `other`; 0 when one could not be added.
  virtual BOOL AppendClones(const CKovaPaths& other);
  // Drops every path (deleting them when asked) and frees the array; the active
  // path is forgotten.
  virtual void RemoveAll(BOOL deleteElements);
  // Removes the first element equal to `path` and deletes it; 0 when absent.
  virtual BOOL Remove(CKovaPath* path);

  // The active path's expanded text with a trailing backslash, or the empty text
  // (no paths, or an empty expansion, which is recomputed at the next call without
  // testing availability again).
  std::string GetActivePath();
  // The chosen path, choosing it first when needed; null without paths.
  CKovaPath* GetActivePathObject();

  int GetCount() const { return paths_.count(); }
  CKovaPath* GetAt(int index) const { return paths_.at(index); }
  CKova* owner() const { return owner_; }

 private:
  PtrArray<CKovaPath> paths_;
  BOOL ownsElements_ = TRUE;
  std::string activePathText_;
  CKovaPath* activePath_ = nullptr;
  CKova* owner_;
};

}  // namespace kova

#endif  // KOVA_MODEL_KOVA_PATH_H_
