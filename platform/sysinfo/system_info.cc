// The user, the version and the process and thread identities.
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "errhandlingapi.h"
#include "processthreadsapi.h"
#include "sysinfoapi.h"
#include "winbase.h"
#include "winerror.h"

namespace {

std::optional<std::string> LoginName() {
  long hint = sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 1024);
  for (;;) {
    passwd entry;
    passwd* found = nullptr;
    const int rc = getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found);
    if (rc == ERANGE && buffer.size() < (1u << 20)) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (rc == 0 && found != nullptr && found->pw_name != nullptr &&
        *found->pw_name != '\0')
      return std::string(found->pw_name);
    break;
  }
  if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0')
    return user;
  return std::nullopt;
}

}  // namespace

// The login name of the effective user (the password database, else $USER).
// Reproduces the platform's size rule: on success *pcbBuffer is the length
// including the NUL; a buffer too small fails with ERROR_INSUFFICIENT_BUFFER and
// *pcbBuffer set to the size needed. Pinned by system_info_test.
extern "C" BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer) {
  if (pcbBuffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::optional<std::string> name = LoginName();
  if (!name) {
    SetLastError(ERROR_NOT_FOUND);
    return FALSE;
  }
  const DWORD needed = static_cast<DWORD>(name->size() + 1);
  if (lpBuffer == nullptr || *pcbBuffer < needed) {
    *pcbBuffer = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memcpy(lpBuffer, name->c_str(), needed);
  *pcbBuffer = needed;
  return TRUE;
}

// Reports Windows NT 10.0 (see sysinfoapi.h). The size field must name one of the
// two structures, else ERROR_INSUFFICIENT_BUFFER as on the platform.
// Pinned by system_info_test.
extern "C" BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation) {
  if (lpVersionInformation == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const DWORD size = lpVersionInformation->dwOSVersionInfoSize;
  if (size != sizeof(OSVERSIONINFOA) && size != sizeof(OSVERSIONINFOEXA)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  std::memset(reinterpret_cast<char*>(lpVersionInformation) + sizeof(DWORD), 0,
              size - sizeof(DWORD));
  lpVersionInformation->dwMajorVersion = KOVA_VERSION_MAJOR;
  lpVersionInformation->dwMinorVersion = KOVA_VERSION_MINOR;
  lpVersionInformation->dwBuildNumber = KOVA_VERSION_BUILD;
  lpVersionInformation->dwPlatformId = VER_PLATFORM_WIN32_NT;
  if (size == sizeof(OSVERSIONINFOEXA))
    reinterpret_cast<LPOSVERSIONINFOEXA>(lpVersionInformation)->wProductType =
        VER_NT_WORKSTATION;
  return TRUE;
}

extern "C" DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }

// The kernel's thread id: unique in the system while the thread lives, as on the
// platform.
extern "C" DWORD WINAPI GetCurrentThreadId(void) { return static_cast<DWORD>(gettid()); }
