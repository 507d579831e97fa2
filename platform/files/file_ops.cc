// Files and folders by name: DeleteFileA, CopyFileA, MoveFileA, attributes,
// folders, _access and MakeSureDirectoryPathExists. Pinned by file_ops_test.cc.
//
// The read-only attribute is the owner's write bit. The platform refuses to
// delete, overwrite or open for writing a read-only file whoever asks, so these
// functions test that bit themselves instead of leaving it to the permission
// check (which lets the superuser through).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "base/os_path.h"
#include "base/posix_error.h"
#include "dbghelp.h"
#include "errhandlingapi.h"
#include "fileapi.h"
#include "files/files_internal.h"
#include "io.h"
#include "winerror.h"

namespace kova::platform {
namespace {

bool IsReadOnlyFile(const struct stat& st) {
  return !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR);
}

// The OS path of a name argument; false with ERROR_INVALID_PARAMETER for null.
[[nodiscard]] bool OsPathOf(LPCSTR name, std::string* os_path) {
  if (name == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  *os_path = ToOsPath(name);
  return true;
}

}  // namespace
}  // namespace kova::platform

namespace kp = kova::platform;

// A folder gives ERROR_ACCESS_DENIED, as does a read-only file; a file open
// without FILE_SHARE_DELETE gives ERROR_SHARING_VIOLATION. A symbolic link is
// removed, not its target.
extern "C" BOOL WINAPI DeleteFileA(LPCSTR lpFileName) {
  std::string path;
  if (!kp::OsPathOf(lpFileName, &path)) return FALSE;
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) {
    kp::SetLastErrorFromPathErrno(errno, path.c_str());
    return FALSE;
  }
  if (S_ISDIR(st.st_mode) || (!S_ISLNK(st.st_mode) && kp::IsReadOnlyFile(st))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!kp::CheckSharing(path, kp::SharingUse::kDelete)) return FALSE;
  if (unlink(path.c_str()) != 0) {
    kp::SetLastErrorFromPathErrno(errno, path.c_str());
    return FALSE;
  }
  return TRUE;
}

// Copies the bytes (zero bytes included), the read-only attribute and the
// modification time. An existing destination gives ERROR_FILE_EXISTS with
// bFailIfExists, ERROR_ACCESS_DENIED when it is read-only or a folder; a missing
// destination folder gives ERROR_PATH_NOT_FOUND.
extern "C" BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName,
                                 BOOL bFailIfExists) {
  std::string from, to;
  if (!kp::OsPathOf(lpExistingFileName, &from) || !kp::OsPathOf(lpNewFileName, &to))
    return FALSE;
  struct stat st;
  if (!kp::StatNoDangling(from, &st)) {
    kp::SetLastErrorFromPathErrno(errno, from.c_str());
    return FALSE;
  }
  if (!S_ISREG(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  struct stat existing;
  if (!bFailIfExists && stat(to.c_str(), &existing) == 0 &&
      kp::IsReadOnlyFile(existing)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return kp::CopyRegularFile(from, to, bFailIfExists != FALSE) ? TRUE : FALSE;
}

// Renames a file or a folder. An existing destination gives ERROR_ALREADY_EXISTS;
// a source open without FILE_SHARE_DELETE gives ERROR_SHARING_VIOLATION. Across
// file systems a file is copied and removed, while a folder gives
// ERROR_NOT_SAME_DEVICE, as on the platform.
extern "C" BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName) {
  std::string from, to;
  if (!kp::OsPathOf(lpExistingFileName, &from) || !kp::OsPathOf(lpNewFileName, &to))
    return FALSE;
  if (!kp::CheckSharing(from, kp::SharingUse::kDelete)) return FALSE;
  return kp::MoveNoReplace(from, to, false) ? TRUE : FALSE;
}

// FILE_ATTRIBUTE_DIRECTORY or FILE_ATTRIBUTE_ARCHIVE, with FILE_ATTRIBUTE_READONLY
// when the owner may not write. A missing path gives INVALID_FILE_ATTRIBUTES and
// ERROR_FILE_NOT_FOUND, or ERROR_PATH_NOT_FOUND when its folder is missing.
extern "C" DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName) {
  std::string path;
  if (!kp::OsPathOf(lpFileName, &path)) return INVALID_FILE_ATTRIBUTES;
  struct stat st;
  if (!kp::StatNoDangling(path, &st)) {
    kp::SetLastErrorFromPathErrno(errno, path.c_str());
    return INVALID_FILE_ATTRIBUTES;
  }
  return kp::AttributesFromStat(st);
}

// Only FILE_ATTRIBUTE_READONLY has an effect: on a file it removes every write
// bit, and clearing it gives the owner the write bit back. A folder keeps its
// mode (the platform's read-only flag on folders does not stop writing into
// them); the other attributes have no counterpart here and are accepted.
extern "C" BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes) {
  std::string path;
  if (!kp::OsPathOf(lpFileName, &path)) return FALSE;
  struct stat st;
  if (stat(path.c_str(), &st) != 0) {
    kp::SetLastErrorFromPathErrno(errno, path.c_str());
    return FALSE;
  }
  if (S_ISDIR(st.st_mode)) return TRUE;
  mode_t mode = st.st_mode & 07777;
  mode = (dwFileAttributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~mode_t{0222})
                                                      : (mode | S_IWUSR);
  if (mode != (st.st_mode & 07777) && chmod(path.c_str(), mode) != 0) {
    kp::SetLastErrorFromErrno(errno);
    return FALSE;
  }
  return TRUE;
}

// ERROR_ALREADY_EXISTS when the name exists; ERROR_PATH_NOT_FOUND when the
// parent folder is missing.
extern "C" BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName, LPSECURITY_ATTRIBUTES) {
  std::string path;
  if (!kp::OsPathOf(lpPathName, &path)) return FALSE;
  if (mkdir(path.c_str(), 0777) == 0) return TRUE;
  SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND : kp::WindowsErrorFromErrno(errno));
  return FALSE;
}

// ERROR_DIR_NOT_EMPTY for a folder with entries; ERROR_DIRECTORY for a file.
extern "C" BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName) {
  std::string path;
  if (!kp::OsPathOf(lpPathName, &path)) return FALSE;
  if (rmdir(path.c_str()) == 0) return TRUE;
  const int err = errno;
  struct stat st;
  if (err == ENOTDIR && lstat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  if (err == EEXIST || err == ENOTEMPTY) {
    SetLastError(ERROR_DIR_NOT_EMPTY);
    return FALSE;
  }
  kp::SetLastErrorFromPathErrno(err, path.c_str());
  return FALSE;
}

// The run-time library's test: mode 0 existence, 2 write, 4 read, 6 both; other
// modes give EINVAL. A missing path gives ENOENT, a denied access EACCES (a
// read-only file is not writable for anybody, as on the platform).
extern "C" int _access(const char* path, int mode) {
  if (path == nullptr || (mode & ~6) != 0) {
    errno = EINVAL;
    return -1;
  }
  const std::string os_path = kp::ToOsPath(path);
  struct stat st;
  if (!kp::StatNoDangling(os_path, &st)) {
    errno = ENOENT;
    return -1;
  }
  if ((mode & 2) && (kp::IsReadOnlyFile(st) || access(os_path.c_str(), W_OK) != 0)) {
    errno = EACCES;
    return -1;
  }
  if ((mode & 4) && access(os_path.c_str(), R_OK) != 0) {
    errno = EACCES;
    return -1;
  }
  return 0;
}

// Creates every missing folder up to the last backslash; what follows it is a
// file name and is left alone. A file in the way gives FALSE and
// ERROR_ALREADY_EXISTS (the platform's own function reports success there and
// fails later, on the first folder below it).
extern "C" BOOL WINAPI MakeSureDirectoryPathExists(LPCSTR DirPath) {
  std::string path;
  if (!kp::OsPathOf(DirPath, &path)) return FALSE;
  const std::string::size_type last = path.rfind('/');
  if (last == std::string::npos) return TRUE;
  path.resize(last);
  for (std::string::size_type end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string folder = path.substr(0, end);
    struct stat st;
    if (!folder.empty() && folder.back() != '/' && mkdir(folder.c_str(), 0777) != 0) {
      if (errno != EEXIST) {
        SetLastError(errno == ENOENT ? ERROR_PATH_NOT_FOUND
                                     : kp::WindowsErrorFromErrno(errno));
        return FALSE;
      }
      if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ALREADY_EXISTS);
        return FALSE;
      }
    }
    if (end == std::string::npos) return TRUE;
  }
}
