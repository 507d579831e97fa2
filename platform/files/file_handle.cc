// File handles: CreateFileA, ReadFile, WriteFile, SetFilePointer, GetFileSize.
// Pinned by file_handle_test.cc.
//
// Share modes. Every handle states its access and what it denies by holding
// shared open-file-description locks on single bytes far beyond any real file
// size: "has read", "has write", "denies read", "denies write", "denies delete".
// An open tests the opposite bytes for a conflicting lock. Such locks belong to
// the open file description, so two handles of one process conflict exactly as
// two processes do, and they vanish when the handle is closed or its process
// dies. Test and set run under a process-wide mutex and, between processes, under
// a short exclusive flock of the file; a process that cannot get that flock
// within a second goes ahead without it. What holds: handles of processes that
// use this library see each other's modes; other programs are not stopped, and a
// write-only handle on a file its process may not read takes no part.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "base/handle_table.h"
#include "base/os_path.h"
#include "base/posix_error.h"
#include "errhandlingapi.h"
#include "fileapi.h"
#include "files/files_internal.h"
#include "winerror.h"

namespace kova::platform {
namespace {

constexpr off_t kLockBase = off_t{0x7fffffff00000000};
enum LockByte : off_t { kHasRead, kHasWrite, kDeniesRead, kDeniesWrite, kDeniesDelete };

std::mutex& ShareMutex() {
  static std::mutex* mutex = new std::mutex;  // lives until the process ends
  return *mutex;
}

// True when another open file description holds a lock on `byte`.
bool IsTaken(int fd, LockByte byte) {
  struct flock query = {};
  query.l_type = F_WRLCK;
  query.l_whence = SEEK_SET;
  query.l_start = kLockBase + byte;
  query.l_len = 1;
  return fcntl(fd, F_OFD_GETLK, &query) == 0 && query.l_type != F_UNLCK;
}

bool Take(int fd, LockByte byte) {
  struct flock lock = {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = kLockBase + byte;
  lock.l_len = 1;
  return fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// Holds an exclusive flock of the file for a test-and-set, when it can be had
// within a second.
class ShareGuard {
 public:
  explicit ShareGuard(int fd) {
    for (int attempt = 0; attempt < 200; ++attempt) {
      if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        fd_ = fd;
        return;
      }
      if (errno != EWOULDBLOCK && errno != EINTR) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  ~ShareGuard() {
    if (fd_ >= 0) flock(fd_, LOCK_UN);
  }
  ShareGuard(const ShareGuard&) = delete;
  ShareGuard& operator=(const ShareGuard&) = delete;

 private:
  int fd_ = -1;
};

class FileObject : public KernelObject {
 public:
  FileObject(UniqueFd fd, UniqueFd lock_fd, bool can_read, bool can_write)
      : KernelObject(Kind::kFile),
        fd_(std::move(fd)),
        lock_fd_(std::move(lock_fd)),
        can_read_(can_read),
        can_write_(can_write) {}
  int fd() const { return fd_.get(); }
  bool can_read() const { return can_read_; }
  bool can_write() const { return can_write_; }

 private:
  UniqueFd fd_;
  UniqueFd lock_fd_;  // a second description of the file when fd_ cannot hold read locks
  bool can_read_;
  bool can_write_;
};

// Tests the existing handles of the file against this open and records this
// handle's own access and denials. False with ERROR_SHARING_VIOLATION on a
// conflict. As on the platform, a handle without read or write access takes no
// part in sharing.
bool ApplyShareMode(int lock_fd, bool read, bool write, DWORD share) {
  if (!read && !write) return true;
  std::lock_guard<std::mutex> lock(ShareMutex());
  ShareGuard guard(lock_fd);
  const bool conflict = (read && IsTaken(lock_fd, kDeniesRead)) ||
                        (write && IsTaken(lock_fd, kDeniesWrite)) ||
                        (!(share & FILE_SHARE_READ) && IsTaken(lock_fd, kHasRead)) ||
                        (!(share & FILE_SHARE_WRITE) && IsTaken(lock_fd, kHasWrite));
  if (conflict) {
    SetLastError(ERROR_SHARING_VIOLATION);
    return false;
  }
  // A lock that cannot be taken only weakens the protection; the open goes on.
  if (read) (void)Take(lock_fd, kHasRead);
  if (write) (void)Take(lock_fd, kHasWrite);
  if (!(share & FILE_SHARE_READ)) (void)Take(lock_fd, kDeniesRead);
  if (!(share & FILE_SHARE_WRITE)) (void)Take(lock_fd, kDeniesWrite);
  if (!(share & FILE_SHARE_DELETE)) (void)Take(lock_fd, kDeniesDelete);
  return true;
}

// Opens (or creates) the file for CreateFileA's disposition without following a
// dangling link to create its target. Sets *existed. Returns -1 with errno set.
int OpenForDisposition(const std::string& os_path, int flags, mode_t mode,
                       DWORD disposition, bool* existed) {
  if (disposition == CREATE_NEW) {
    *existed = false;
    return open(os_path.c_str(), flags | O_CREAT | O_EXCL, mode);
  }
  const bool may_create = disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS;
  // A name that exists but cannot be opened (a dangling link) or that another
  // process keeps creating and removing ends after a few rounds.
  for (int round = 0; round < 4; ++round) {
    int fd = open(os_path.c_str(), flags);
    if (fd >= 0 || errno != ENOENT || !may_create) {
      *existed = true;
      return fd;
    }
    fd = open(os_path.c_str(), flags | O_CREAT | O_EXCL, mode);
    if (fd >= 0 || errno != EEXIST) {
      *existed = false;
      return fd;
    }
  }
  errno = ENOENT;
  return -1;
}

FileObject* LookUpFile(HANDLE handle) {
  return static_cast<FileObject*>(LookUpHandle(handle, KernelObject::Kind::kFile));
}

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.release();
  }
  return *this;
}

bool CheckSharing(const std::string& os_path, SharingUse use) {
  UniqueFd fd(open(os_path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  struct stat st;
  if (fd.get() < 0 || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return true;  // nothing this library could have locked
  std::lock_guard<std::mutex> lock(ShareMutex());
  bool denied = false;
  switch (use) {
    case SharingUse::kDelete:
      denied = IsTaken(fd.get(), kDeniesDelete);
      break;
    case SharingUse::kRead:
      denied = IsTaken(fd.get(), kDeniesRead);
      break;
    case SharingUse::kReplace:
      denied = IsTaken(fd.get(), kHasRead) || IsTaken(fd.get(), kHasWrite) ||
               IsTaken(fd.get(), kDeniesWrite);
      break;
  }
  if (!denied) return true;
  SetLastError(ERROR_SHARING_VIOLATION);
  return false;
}

}  // namespace kova::platform

using kova::platform::FileObject;
using kova::platform::UniqueFd;

// The platform's CreateFileA for regular files: dispositions, share modes and
// last-error rules as fileapi.h says. Folders and other non-regular files give
// ERROR_ACCESS_DENIED (a pipe or a device is never opened in a way that blocks).
// The read-only attribute is the owner's write bit: a write open of a file
// without it fails with ERROR_ACCESS_DENIED, for every user.
extern "C" HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess,
                                     DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                     DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE hTemplateFile) {
  if (lpFileName == nullptr || dwCreationDisposition < CREATE_NEW ||
      dwCreationDisposition > TRUNCATE_EXISTING) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (*lpFileName == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  const bool read = dwDesiredAccess & (GENERIC_READ | GENERIC_ALL);
  const bool write = dwDesiredAccess & (GENERIC_WRITE | GENERIC_ALL);
  if (dwCreationDisposition == TRUNCATE_EXISTING && !write) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string os_path = kova::platform::ToOsPath(lpFileName);
  const int base_flags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;
  const mode_t mode = (dwFlagsAndAttributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;

  // Writers open read-write where they may, so that the descriptor can also hold
  // the share-mode locks.
  bool existed = false;
  int flags = base_flags | (write ? O_RDWR : O_RDONLY);
  UniqueFd fd(kova::platform::OpenForDisposition(os_path, flags, mode,
                                                 dwCreationDisposition, &existed));
  if (fd.get() < 0 && write && errno == EACCES) {
    flags = base_flags | O_WRONLY;
    fd = UniqueFd(kova::platform::OpenForDisposition(os_path, flags, mode,
                                                     dwCreationDisposition, &existed));
  }
  if (fd.get() < 0) {
    if (errno == EEXIST) {
      SetLastError(ERROR_FILE_EXISTS);
    } else {
      kova::platform::SetLastErrorFromPathErrno(errno, os_path.c_str());
    }
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  const bool truncate = existed && (dwCreationDisposition == CREATE_ALWAYS ||
                                    dwCreationDisposition == TRUNCATE_EXISTING);
  if (existed && (write || truncate) && !(st.st_mode & S_IWUSR)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  fcntl(fd.get(), F_SETFL, fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);

  UniqueFd lock_fd;
  int share_fd = fd.get();
  if ((flags & O_ACCMODE) == O_WRONLY) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd.get());
    lock_fd = UniqueFd(open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    share_fd = lock_fd.get();
  }
  if (share_fd >= 0 &&
      !kova::platform::ApplyShareMode(share_fd, read, write, dwShareMode))
    return INVALID_HANDLE_VALUE;
  if (truncate && ftruncate(fd.get(), 0) != 0) {
    kova::platform::SetLastErrorFromErrno(errno);
    return INVALID_HANDLE_VALUE;
  }
  HANDLE handle = kova::platform::RegisterHandle(
      std::make_unique<FileObject>(std::move(fd), std::move(lock_fd), read, write));
  const bool reports_existing = existed && (dwCreationDisposition == CREATE_ALWAYS ||
                                            dwCreationDisposition == OPEN_ALWAYS);
  SetLastError(reports_existing ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

// Synchronous reads only: lpOverlapped must be null (ERROR_INVALID_PARAMETER
// otherwise). Reading at the end succeeds with 0 bytes, as on the platform.
extern "C" BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = 0;
  FileObject* file = kova::platform::LookUpFile(hFile);
  if (file == nullptr) return FALSE;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToRead != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!file->can_read()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  DWORD done = 0;
  auto* bytes = static_cast<char*>(lpBuffer);
  while (done < nNumberOfBytesToRead) {
    ssize_t got = read(file->fd(), bytes + done, nNumberOfBytesToRead - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      kova::platform::SetLastErrorFromErrno(errno);
      if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = done;
      return FALSE;
    }
    if (got == 0) break;
    done += static_cast<DWORD>(got);
  }
  if (lpNumberOfBytesRead != nullptr) *lpNumberOfBytesRead = done;
  return TRUE;
}

// Writes everything or fails (a full disk gives ERROR_DISK_FULL).
extern "C" BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer,
                                 DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten,
                                 LPOVERLAPPED lpOverlapped) {
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = 0;
  FileObject* file = kova::platform::LookUpFile(hFile);
  if (file == nullptr) return FALSE;
  if (lpOverlapped != nullptr || (lpBuffer == nullptr && nNumberOfBytesToWrite != 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!file->can_write()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  DWORD done = 0;
  const auto* bytes = static_cast<const char*>(lpBuffer);
  while (done < nNumberOfBytesToWrite) {
    ssize_t put = write(file->fd(), bytes + done, nNumberOfBytesToWrite - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      kova::platform::SetLastErrorFromErrno(put < 0 ? errno : ENOSPC);
      if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
      return FALSE;
    }
    done += static_cast<DWORD>(put);
  }
  if (lpNumberOfBytesWritten != nullptr) *lpNumberOfBytesWritten = done;
  return TRUE;
}

// The platform's rules: with lpDistanceToMoveHigh the distance is 64 bits and
// the new high part is stored there; without it the distance is the signed low
// part and the new position must fit 32 bits (else ERROR_INVALID_PARAMETER). A
// position before the start gives INVALID_SET_FILE_POINTER and
// ERROR_NEGATIVE_SEEK; a successful result equal to INVALID_SET_FILE_POINTER
// comes with last error 0.
extern "C" DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove,
                                       PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod) {
  FileObject* file = kova::platform::LookUpFile(hFile);
  if (file == nullptr) return INVALID_SET_FILE_POINTER;
  int whence = dwMoveMethod == FILE_BEGIN     ? SEEK_SET
               : dwMoveMethod == FILE_CURRENT ? SEEK_CUR
               : dwMoveMethod == FILE_END     ? SEEK_END
                                              : -1;
  if (whence < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  std::int64_t distance = lDistanceToMove;
  if (lpDistanceToMoveHigh != nullptr) {
    distance = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(*lpDistanceToMoveHigh))
         << 32) |
        static_cast<std::uint32_t>(lDistanceToMove));
  }
  off_t origin = 0;
  if (whence == SEEK_CUR) origin = lseek(file->fd(), 0, SEEK_CUR);
  if (whence == SEEK_END) {
    struct stat st;
    origin = fstat(file->fd(), &st) == 0 ? st.st_size : -1;
  }
  if (origin < 0) {
    kova::platform::SetLastErrorFromErrno(errno);
    return INVALID_SET_FILE_POINTER;
  }
  std::int64_t target = 0;
  if (__builtin_add_overflow(std::int64_t{origin}, distance, &target) || target < 0) {
    SetLastError(ERROR_NEGATIVE_SEEK);
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh == nullptr && target > 0xFFFFFFFFLL) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  if (lseek(file->fd(), static_cast<off_t>(target), SEEK_SET) < 0) {
    kova::platform::SetLastErrorFromErrno(errno);
    return INVALID_SET_FILE_POINTER;
  }
  if (lpDistanceToMoveHigh != nullptr)
    *lpDistanceToMoveHigh = static_cast<LONG>(static_cast<std::uint64_t>(target) >> 32);
  const DWORD low = static_cast<DWORD>(target);
  if (low == INVALID_SET_FILE_POINTER) SetLastError(ERROR_SUCCESS);
  return low;
}

// Low 32 bits of the size; the high part goes to lpFileSizeHigh when given. A
// size whose low part is INVALID_FILE_SIZE comes with last error 0.
extern "C" DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh) {
  FileObject* file = kova::platform::LookUpFile(hFile);
  if (file == nullptr) return INVALID_FILE_SIZE;
  struct stat st;
  if (fstat(file->fd(), &st) != 0) {
    kova::platform::SetLastErrorFromErrno(errno);
    return INVALID_FILE_SIZE;
  }
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (lpFileSizeHigh != nullptr) *lpFileSizeHigh = static_cast<DWORD>(size >> 32);
  const DWORD low = static_cast<DWORD>(size);
  if (low == INVALID_FILE_SIZE) SetLastError(ERROR_SUCCESS);
  return low;
}
