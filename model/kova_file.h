// A profile file opened through a Kova: the path the client named, the local
// file the profile functions act on, and whether it was changed.
#ifndef KOVA_MODEL_KOVA_FILE_H_
#define KOVA_MODEL_KOVA_FILE_H_

#include <string>

#include "windows.h"

namespace kova {

class CKova;
class CKovas;

class CKovaFile {
 public:
  // Resolves `path` on `kovas`, or on an own collection read from the registry
  // when `kovas` is null (kept until destruction). An empty path leaves the file
  // unresolved. A path that only the default Kova takes and that is a plain path
  // (an absolute path, at least 8 characters, of an existing file or folder) is
  // used as it is, without a Kova; any other path gets its Kova path and, with
  // a Kova, the local file (an LDAP Kova fetches a cache copy, empty on failure).
  CKovaFile(const std::string& path, CKovas* kovas);
  CKovaFile(const CKovaFile&) = delete;
  CKovaFile& operator=(const CKovaFile&) = delete;
  // Releases the local path and deletes the own collection.
  virtual ~CKovaFile();

  // Releases the current path, then resolves `path` as the constructor does.
  void Open(const std::string& path);
  // Ends the use of the local path (an LDAP Kova writes a modified copy back)
  // and empties both paths and the modified flag. 1 for success.
  BOOL Release();
  // Releases the file and resolves its opened path again, so that an LDAP Kova
  // writes a modified copy back and fetches the stored file afresh. A copy whose
  // write-back failed holds the only record of the changes: it stays the local
  // file, still marked modified, for the next flush or release. 1 for success.
  BOOL Reopen();

  // Profile values of the local file. GetProfileString reads into `buffer` of
  // `size` characters and returns the number of characters copied.
  DWORD GetProfileString(const char* section, const char* key, const char* defaultValue,
                         char* buffer, DWORD size) const;
  UINT GetProfileInt(const char* section, const char* key, INT defaultValue) const;
  // Writes `value` with the quoting rule; an empty or null value, or one equal
  // to a given `defaultValue` ignoring case, removes the key. Always marks the
  // file modified.
  void SetProfileString(const char* section, const char* key, const char* value,
                        const char* defaultValue);

  // The whole local file as text, cut at a zero byte within each 519-byte piece;
  // empty when it cannot be opened.
  std::string ReadAllText() const;

  const std::string& openedPath() const { return openedPath_; }
  const std::string& localPath() const { return localPath_; }
  CKova* kova() const { return kova_; }
  BOOL modified() const { return modified_; }

 private:
  // Resolution into empty fields.
  void Resolve(const std::string& path);
  // Empties both paths, the Kova and the modified flag, releasing nothing.
  void Clear();

  std::string openedPath_;
  std::string localPath_;
  CKova* kova_ = nullptr;
  BOOL modified_ = FALSE;
  CKovas* kovas_ = nullptr;
  CKovas* ownKovas_ = nullptr;
};

}  // namespace kova

#endif  // KOVA_MODEL_KOVA_FILE_H_
