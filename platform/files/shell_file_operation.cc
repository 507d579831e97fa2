// SHFileOperationA: copy, move, rename and delete of files and folder trees.
// Pinned by shell_file_operation_test.cc.
//
// The shell never asks here: every question the platform would put (overwrite,
// create the destination folder, delete a read-only file) is answered "yes", so
// FOF_SILENT, FOF_NOCONFIRMATION, FOF_NOCONFIRMMKDIR and FOF_NOERRORUI change
// nothing. FOF_ALLOWUNDO deletes for good (there is no recycle bin).
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "base/os_path.h"
#include "base/posix_error.h"
#include "dbghelp.h"
#include "errhandlingapi.h"
#include "files/files_internal.h"
#include "shellapi.h"
#include "winerror.h"

namespace kova::platform {
namespace {

std::vector<std::string> ParseList(LPCSTR list) {
  std::vector<std::string> entries;
  if (list == nullptr) return entries;
  for (const char* entry = list; *entry != '\0'; entry += entries.back().size() + 1)
    entries.emplace_back(entry);
  return entries;
}

[[nodiscard]] bool MakeFolders(const std::string& os_path) {
  return MakeSureDirectoryPathExists((FromOsPath(os_path) + "\\").c_str()) != FALSE;
}

// The real path of `path`, whose last elements may not exist yet.
std::string RealPathOf(const std::string& path) {
  std::string existing = path, tail;
  while (true) {
    std::unique_ptr<char, decltype(&free)> real(realpath(existing.c_str(), nullptr),
                                                &free);
    if (real) return std::string(real.get()) + tail;
    if (existing == "/" || existing == ".") return path;
    tail = "/" + OsBaseName(existing) + tail;
    existing = OsParent(existing);
  }
}

// True when `path` is `folder` or lies below it, links resolved.
bool IsWithin(const std::string& path, const std::string& folder) {
  const std::string real_folder = RealPathOf(folder);
  const std::string real_path = RealPathOf(path);
  return real_path == real_folder ||
         (real_path.size() > real_folder.size() &&
          real_path.compare(0, real_folder.size(), real_folder) == 0 &&
          (real_folder == "/" || real_path[real_folder.size()] == '/'));
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 &&
         sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

[[nodiscard]] bool Fail(DWORD code) {
  SetLastError(code);
  return false;
}

// The full OS paths a source names: itself, or with wildcards in its last
// element the matching entries of its folder (folders left out with
// FOF_FILESONLY). A wildcard that matches nothing names nothing.
[[nodiscard]] bool ExpandSource(const std::string& source, bool files_only,
                                std::vector<std::string>* items) {
  std::string full;
  if (!FullOsPath(source, &full)) return false;
  const std::string pattern = OsBaseName(full);
  const std::string folder = OsParent(full);
  if (HasWildcards(folder)) return Fail(ERROR_INVALID_NAME);
  if (!HasWildcards(pattern)) {
    struct stat st;
    if (lstat(full.c_str(), &st) != 0) {
      SetLastErrorFromPathErrno(errno, full.c_str());
      return false;
    }
    items->push_back(full);
    return true;
  }
  std::vector<std::string> names;
  if (!ListNames(folder, &names)) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (!MatchesFilePattern(pattern, name)) continue;
    const std::string item = JoinOs(folder, name);
    struct stat st;
    if (files_only && stat(item.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) continue;
    items->push_back(item);
  }
  return true;
}

[[nodiscard]] bool CopyItem(const std::string& from, const std::string& to) {
  struct stat st;
  if (stat(from.c_str(), &st) != 0) {
    SetLastErrorFromPathErrno(errno, from.c_str());
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    if (IsWithin(to, from)) return Fail(ERROR_INVALID_PARAMETER);  // into itself
    return CopyTree(from, to);
  }
  if (!S_ISREG(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);
  struct stat existing;
  if (stat(to.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode))
    return Fail(ERROR_ALREADY_EXISTS);
  return CopyRegularFile(from, to, false);
}

[[nodiscard]] bool MoveItem(const std::string& from, const std::string& to) {
  struct stat st, existing;
  if (lstat(from.c_str(), &st) != 0) {
    SetLastErrorFromPathErrno(errno, from.c_str());
    return false;
  }
  if (from == "/") return Fail(ERROR_ACCESS_DENIED);
  if (S_ISDIR(st.st_mode) && IsWithin(to, from)) return Fail(ERROR_INVALID_PARAMETER);
  if (!S_ISDIR(st.st_mode) && !CheckSharing(from, SharingUse::kDelete)) return false;
  if (lstat(to.c_str(), &existing) != 0) return MoveNoReplace(from, to, true);
  if (SameFile(from, to)) return Fail(ERROR_ALREADY_EXISTS);

  // An existing folder takes in the moved folder's entries; an existing file is
  // replaced by the moved file.
  if (S_ISDIR(st.st_mode) && S_ISDIR(existing.st_mode)) {
    std::vector<std::string> names;
    if (!ListNames(from, &names)) return false;
    for (const std::string& name : names) {
      if (!MoveItem(JoinOs(from, name), JoinOs(to, name))) return false;
    }
    if (rmdir(from.c_str()) == 0) return true;
    SetLastErrorFromPathErrno(errno, from.c_str());
    return false;
  }
  if (S_ISDIR(st.st_mode) || S_ISDIR(existing.st_mode)) return Fail(ERROR_ALREADY_EXISTS);
  if (!CheckSharing(to, SharingUse::kReplace)) return false;
  if (rename(from.c_str(), to.c_str()) == 0) return true;
  if (errno != EXDEV) {
    SetLastErrorFromPathErrno(errno, to.c_str());
    return false;
  }
  return CopyRegularFile(from, to, false) && RemoveTree(from);
}

[[nodiscard]] bool DeleteItem(const std::string& path) {
  if (path == "/") return Fail(ERROR_ACCESS_DENIED);
  struct stat st;
  if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      !CheckSharing(path, SharingUse::kDelete))
    return false;
  return RemoveTree(path);
}

// A new name in the source's folder when pTo has no folder of its own.
[[nodiscard]] bool Rename(const std::vector<std::string>& sources,
                          const std::vector<std::string>& targets) {
  if (sources.size() != 1 || targets.empty() || HasWildcards(sources[0]) ||
      HasWildcards(targets[0]))
    return Fail(ERROR_INVALID_PARAMETER);
  std::string from, to;
  if (!FullOsPath(sources[0], &from)) return false;
  const std::string target = ToOsPath(targets[0]);
  if (target.find('/') == std::string::npos) {
    to = JoinOs(OsParent(from), target);
  } else if (!FullOsPath(targets[0], &to)) {
    return false;
  }
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) {
    SetLastErrorFromPathErrno(errno, from.c_str());
    return false;
  }
  if (from == "/") return Fail(ERROR_ACCESS_DENIED);
  if (!S_ISDIR(st.st_mode) && !CheckSharing(from, SharingUse::kDelete)) return false;
  return MoveNoReplace(from, to, true);
}

// Copy or move. With several sources or a wildcard, or when the destination is
// an existing folder, the items go into the destination folder (created when
// missing); otherwise the destination is the new name of the one item, and the
// folders above it are created. FOF_MULTIDESTFILES pairs each source with its
// own destination.
[[nodiscard]] bool Transfer(bool move, FILEOP_FLAGS flags,
                            const std::vector<std::string>& sources,
                            const std::vector<std::string>& targets) {
  if (targets.empty()) return Fail(ERROR_INVALID_PARAMETER);
  const bool paired = (flags & FOF_MULTIDESTFILES) && targets.size() > 1;
  if (paired && targets.size() != sources.size()) return Fail(ERROR_INVALID_PARAMETER);
  const bool files_only = flags & FOF_FILESONLY;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    std::string destination;
    if (!FullOsPath(paired ? targets[i] : targets[0], &destination)) return false;
    if (HasWildcards(destination)) return Fail(ERROR_INVALID_NAME);
    std::vector<std::string> items;
    if (!ExpandSource(sources[i], files_only, &items)) return false;
    struct stat st;
    const bool exists = stat(destination.c_str(), &st) == 0;
    const bool into = (exists && S_ISDIR(st.st_mode)) || HasWildcards(sources[i]) ||
                      (!paired && sources.size() > 1);
    if (into) {
      if (exists && !S_ISDIR(st.st_mode)) return Fail(ERROR_DIRECTORY);
      if (!exists && !MakeFolders(destination)) return false;
    } else if (!MakeFolders(OsParent(destination))) {
      return false;
    }
    for (const std::string& item : items) {
      const std::string target =
          into ? JoinOs(destination, OsBaseName(item)) : destination;
      if (!(move ? MoveItem(item, target) : CopyItem(item, target))) return false;
    }
  }
  return true;
}

[[nodiscard]] bool Run(const SHFILEOPSTRUCTA& op) {
  if (op.pFrom == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  const std::vector<std::string> sources = ParseList(op.pFrom);
  const std::vector<std::string> targets = ParseList(op.pTo);
  switch (op.wFunc) {
    case FO_COPY:
      return Transfer(false, op.fFlags, sources, targets);
    case FO_MOVE:
      return Transfer(true, op.fFlags, sources, targets);
    case FO_RENAME:
      return Rename(sources, targets);
    case FO_DELETE:
      for (const std::string& source : sources) {
        std::vector<std::string> items;
        if (!ExpandSource(source, op.fFlags & FOF_FILESONLY, &items)) return false;
        for (const std::string& item : items) {
          if (!DeleteItem(item)) return false;
        }
      }
      return true;
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
}

}  // namespace
}  // namespace kova::platform

// Returns 0 when everything was done. Otherwise it stops at the first failure
// and returns a system error code (the platform's shell has codes of its own for
// some of these cases; the system codes say more): ERROR_FILE_NOT_FOUND or
// ERROR_PATH_NOT_FOUND for a missing source, ERROR_ALREADY_EXISTS for a rename
// onto an existing name or a file and a folder in each other's place,
// ERROR_DIRECTORY when several items are to go into a file, ERROR_INVALID_PARAMETER
// for a bad request or a folder copied or moved into itself,
// ERROR_SHARING_VIOLATION for a file that an open handle protects. Unlike on the
// platform, where it reports only a cancel by the user, fAnyOperationsAborted is
// set whenever something was not done, so that a caller that tests it alone
// does not take a failure for success.
extern "C" int WINAPI SHFileOperationA(LPSHFILEOPSTRUCTA lpFileOp) {
  if (lpFileOp == nullptr) return ERROR_INVALID_PARAMETER;
  lpFileOp->fAnyOperationsAborted = FALSE;
  int result = ERROR_SUCCESS;
  try {
    if (!kova::platform::Run(*lpFileOp)) {
      result = static_cast<int>(GetLastError());
      if (result == ERROR_SUCCESS) result = ERROR_CAN_NOT_COMPLETE;
    }
  } catch (...) {
    result = ERROR_NOT_ENOUGH_MEMORY;
  }
  if (result != ERROR_SUCCESS) lpFileOp->fAnyOperationsAborted = TRUE;
  return result;
}
