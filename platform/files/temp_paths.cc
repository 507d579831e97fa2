// GetTempPathA, GetTempFileNameA, GetShortPathNameA and GetFullPathNameA.
// Pinned by temp_paths_test.cc.
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/os_path.h"
#include "base/posix_error.h"
#include "errhandlingapi.h"
#include "fileapi.h"
#include "files/files_internal.h"
#include "winerror.h"

namespace kp = kova::platform;

namespace {

// The last number GetTempFileNameA used, so that quick successive calls count
// up from it instead of trying the same clock values again.
std::atomic<unsigned> g_last_unique{0};

unsigned ClockUnique() {
  struct timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  const unsigned long long ms =
      static_cast<unsigned long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
  unsigned number = static_cast<unsigned>(ms) & 0xFFFF;
  const unsigned last = g_last_unique.load();
  if (((last - number) & 0xFFFF) < 0x100) number = (last + 1) & 0xFFFF;
  return number == 0 ? 1 : number;
}

}  // namespace

// $TMPDIR (else /tmp) in the system's form, always ending with a backslash; the
// platform's return rule (the length, or the size needed including the NUL).
extern "C" DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer) {
  const char* tmpdir = std::getenv("TMPDIR");
  std::string path = kp::FromOsPath(tmpdir != nullptr && *tmpdir ? tmpdir : "/tmp");
  if (path.back() != '\\') path.push_back('\\');
  return static_cast<DWORD>(kp::CopyOutWithNeededSize(path, lpBuffer, nBufferLength));
}

// <path>\<up to three prefix characters><hexadecimal number>.tmp, upper-case
// digits without padding. With uUnique 0 the number starts from a clock value
// and counts up past names that exist until a file can be created exclusively
// with mode 0600; the result is that number. A non-zero uUnique only builds the
// name from its low 16 bits. A missing folder gives 0 and ERROR_DIRECTORY; a
// name that would not fit MAX_PATH gives 0 and ERROR_BUFFER_OVERFLOW.
extern "C" UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString,
                                        UINT uUnique, LPSTR lpTempFileName) {
  if (lpPathName == nullptr || lpTempFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  struct stat st;
  if (stat(kp::ToOsPath(lpPathName).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return 0;
  }
  std::string stem = lpPathName;
  if (stem.empty() || stem.back() != '\\') stem.push_back('\\');
  if (lpPrefixString != nullptr) stem.append(lpPrefixString, strnlen(lpPrefixString, 3));
  if (stem.size() + 4 + 4 >= MAX_PATH) {  // up to four digits and ".tmp"
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  auto build = [&](unsigned number) {
    std::snprintf(lpTempFileName, MAX_PATH, "%s%X.tmp", stem.c_str(), number);
  };
  if ((uUnique & 0xFFFF) != 0) {
    build(uUnique & 0xFFFF);
    return uUnique & 0xFFFF;
  }
  const unsigned first = ClockUnique();
  unsigned number = first;
  do {
    build(number);
    const std::string os_path = kp::ToOsPath(lpTempFileName);
    const int fd =
        open(os_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0) {
      close(fd);
      g_last_unique.store(number);
      return number;
    }
    if (errno != EEXIST) {
      kp::SetLastErrorFromPathErrno(errno, os_path.c_str());
      return 0;
    }
    number = (number + 1) & 0xFFFF;
    if (number == 0) number = 1;
  } while (number != first);
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

// There are no short names on Linux: the long path comes back as given when it
// exists (ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND otherwise), with the usual
// return rule. The two buffers may be the same.
extern "C" DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath,
                                          DWORD cchBuffer) {
  if (lpszLongPath == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string path = lpszLongPath;
  const std::string os_path = kp::ToOsPath(path);
  struct stat st;
  if (!kp::StatNoDangling(os_path, &st)) {
    kp::SetLastErrorFromPathErrno(errno, os_path.c_str());
    return 0;
  }
  return static_cast<DWORD>(kp::CopyOutWithNeededSize(path, lpszShortPath, cchBuffer));
}

// The absolute form of lpFileName by text alone (relative names are taken from
// the current folder, "." and ".." resolved, separators collapsed, a trailing
// backslash kept). *lpFilePart points at the last element in the buffer, or is
// null when the result ends with a backslash. An empty name gives 0 and
// ERROR_INVALID_NAME.
extern "C" DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength,
                                         LPSTR lpBuffer, LPSTR* lpFilePart) {
  if (lpFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string os_path;
  if (!kp::FullOsPath(lpFileName, &os_path)) return 0;
  std::string full = kp::FromOsPath(os_path);
  const std::string given = lpFileName;
  const bool trailing = !given.empty() && (given.back() == '\\' || given.back() == '/');
  if (trailing && full.back() != '\\') full.push_back('\\');
  const DWORD result =
      static_cast<DWORD>(kp::CopyOutWithNeededSize(full, lpBuffer, nBufferLength));
  if (lpFilePart != nullptr && result < nBufferLength && lpBuffer != nullptr) {
    const std::string::size_type slash = full.rfind('\\');
    *lpFilePart = slash + 1 < full.size() ? lpBuffer + slash + 1 : nullptr;
  }
  return result;
}
