// The one place that turns errno values into Windows system error codes.
#ifndef KOVA_PLATFORM_BASE_POSIX_ERROR_H_
#define KOVA_PLATFORM_BASE_POSIX_ERROR_H_

#include "windef.h"

namespace kova::platform {

// ENOENT -> ERROR_FILE_NOT_FOUND, EACCES/EPERM/EROFS -> ERROR_ACCESS_DENIED,
// EEXIST -> ERROR_ALREADY_EXISTS, ENOSPC -> ERROR_DISK_FULL, ...; a value without a
// closer match gives ERROR_INVALID_FUNCTION.
DWORD WindowsErrorFromErrno(int err);

// Sets the thread's last error from errno and returns it. For paths, ENOENT and
// ENOTDIR become ERROR_PATH_NOT_FOUND when the parent folder of `os_path` is
// missing, as the platform distinguishes a missing file from a missing folder.
DWORD SetLastErrorFromErrno(int err);
DWORD SetLastErrorFromPathErrno(int err, const char* os_path);

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_BASE_POSIX_ERROR_H_
