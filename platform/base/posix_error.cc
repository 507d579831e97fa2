#include "base/posix_error.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "errhandlingapi.h"
#include "winerror.h"

namespace kova::platform {

DWORD WindowsErrorFromErrno(int err) {
  switch (err) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_ALREADY_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EAGAIN: return ERROR_LOCK_VIOLATION;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ELOOP: return ERROR_CANT_RESOLVE_FILENAME;
    case EIO: return ERROR_CANTWRITE;
    default: return ERROR_INVALID_FUNCTION;
  }
}

DWORD SetLastErrorFromErrno(int err) {
  DWORD code = WindowsErrorFromErrno(err);
  SetLastError(code);
  return code;
}

DWORD SetLastErrorFromPathErrno(int err, const char* os_path) {
  DWORD code = WindowsErrorFromErrno(err);
  if ((err == ENOENT || err == ENOTDIR) && os_path != nullptr) {
    std::string parent(os_path);
    while (parent.size() > 1 && parent.back() == '/') parent.pop_back();
    std::string::size_type slash = parent.rfind('/');
    if (slash != std::string::npos) {
      parent.resize(slash == 0 ? 1 : slash);
      struct stat st;
      if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) code = ERROR_PATH_NOT_FOUND;
    }
  }
  SetLastError(code);
  return code;
}

}  // namespace kova::platform
