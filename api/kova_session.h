// The session behind a handle: the Kova collection, the loaded file, the results
// of one search and the directories of the support library. And the process's
// table of session handles.
#ifndef KOVA_API_KOVA_SESSION_H_
#define KOVA_API_KOVA_SESSION_H_

#include <memory>
#include <string>

#include "model/kova.h"
#include "windows.h"

namespace kova {

class CKovaFile;
class CKovaItems;

// One session. Owns its collection, its loaded file and its find results; must
// not be used from two threads at once.
class CKovaSession {
 public:
  // Everything empty and null; CreateSession also applies the user directory.
  CKovaSession();
  // Releases the loaded file, then the find results, then the collection.
  ~CKovaSession();
  CKovaSession(const CKovaSession&) = delete;
  CKovaSession& operator=(const CKovaSession&) = delete;

  // The session's collection, loaded from the registry on first need.
  CKovas* GetKovas();

  // The directories of the support library, each with a trailing backslash, or
  // empty; an empty answer is asked for again at the next call.
  const std::string& GetUserDir();
  const std::string& GetUserFileDir();

  // Writes a non-empty user directory into the USERDIR slot of the collection's
  // replacer block; an empty one leaves the collection uncreated.
  void ApplyUserDir();

  const std::string& selItemPath() const { return selItemPath_; }
  void SetSelItemPath(const std::string& path) { selItemPath_ = path; }

  CKovaItems* findResults() const { return findResults_; }
  void SetFindResults(CKovaItems* results);
  CKovaFile* loadedFile() const { return loadedFile_; }
  // Releases the current loaded file (if any) and takes `file` in its place.
  void SetLoadedFile(CKovaFile* file);

 private:
  std::string selItemPath_;
  CKovaItems* findResults_ = nullptr;
  CKovas* kovas_ = nullptr;
  CKovaFile* loadedFile_ = nullptr;
  std::string userDir_;
  std::string userFileDir_;
};

// A new session with the user directory applied (never null; throws on
// allocation failure like any other allocation).
std::unique_ptr<CKovaSession> CreateSession();

// The handle table. Handles are small non-zero numbers, process-wide; the table
// is thread-safe. RegisterSession takes ownership and returns the new handle (0
// when the table is full, the session then being destroyed).
LONG RegisterSession(std::unique_ptr<CKovaSession> session);
// The session of a handle, or null for 0 and for handles the table does not know.
CKovaSession* LookupSession(LONG handle);
// Takes the session out of the table; null when the handle is unknown.
std::unique_ptr<CKovaSession> UnregisterSession(LONG handle);

}  // namespace kova

#endif  // KOVA_API_KOVA_SESSION_H_
