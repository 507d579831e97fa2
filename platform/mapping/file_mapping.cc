// Named shared memory with the platform's lifetime over POSIX shared memory.
//
// POSIX objects live until unlinked; the platform's live while any handle (or view)
// of any process is open. Each named block therefore has a holder file in a
// per-user private folder: every process that holds the block keeps a shared flock
// on it, which the kernel drops when the process dies. Opening and releasing are
// serialised per name by an exclusive flock on a guard file. A process that can
// take the holder lock exclusively is the only holder: on open the block it finds
// is stale (its holders died) and is made anew; on release the block is unlinked.
// Pinned by mapping_test.
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "base/handle_table.h"
#include "base/posix_error.h"
#include "errhandlingapi.h"
#include "memoryapi.h"
#include "winerror.h"

namespace kova::platform {
namespace {

// 128 bits of two independent FNV-1a hashes: names of any length and any
// characters become a valid, fixed-length POSIX name.
std::string HashedName(const std::string& name) {
  unsigned long long a = 1469598103934665603ULL, b = 1099511628211ULL * 31;
  for (unsigned char c : name) {
    a = (a ^ c) * 1099511628211ULL;
    b = (b ^ (c + 0x9e)) * 1099511628211ULL + 0x3779;
  }
  char text[40];
  std::snprintf(text, sizeof text, "%016llx%016llx", a, b);
  return text;
}

std::string PrivateFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string base = (runtime && *runtime) ? runtime : "/tmp";
  std::string folder = base + "/kova-shm-" + std::to_string(getuid());
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat st;
  // Refuse a folder that another user planted or opened up.
  if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
      (st.st_mode & 077) != 0)
    return {};
  return folder;
}

// What this process holds of one named block: its handles and views, and the
// holder file whose shared lock says "this process holds it".
struct Holding {
  int holder_fd = -1;
  int references = 0;
};

struct Registry {
  std::mutex mutex;
  pid_t swept_by = 0;  // the process that swept the folder (a fork sweeps again)
  std::map<std::string, Holding> holdings;   // by hashed name
  std::map<const void*, std::string> views;  // view base -> hashed name
  std::map<const void*, size_t> view_sizes;
};

Registry& Holdings() {
  static Registry* registry = new Registry;  // lives until the process ends
  return *registry;
}

std::string ShmName(const std::string& hashed) {
  return "/kova-" + std::to_string(getuid()) + "-" + hashed;
}

class GuardLock {
 public:
  explicit GuardLock(const std::string& path) {
    fd_ = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ >= 0) flock(fd_, LOCK_EX);
  }
  ~GuardLock() {
    if (fd_ >= 0) close(fd_);  // closing releases the lock
  }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

class MappingObject : public KernelObject {
 public:
  MappingObject(int fd, size_t size, std::string hashed)
      : KernelObject(Kind::kMapping), fd_(fd), size_(size), hashed_(std::move(hashed)) {}
  ~MappingObject() override;
  int fd() const { return fd_; }
  size_t size() const { return size_; }
  const std::string& hashed() const { return hashed_; }

 private:
  int fd_;
  size_t size_;
  std::string hashed_;  // empty for an unnamed block
};

// Drops one reference of this process to a named block; the last one of the
// last process unlinks it. Called with the registry mutex held.
void ReleaseReference(Registry& registry, const std::string& hashed) {
  auto it = registry.holdings.find(hashed);
  if (it == registry.holdings.end() || --it->second.references > 0) return;
  std::string folder = PrivateFolder();
  GuardLock guard(folder + "/" + hashed + ".guard");
  int holder_fd = it->second.holder_fd;
  registry.holdings.erase(it);
  if (flock(holder_fd, LOCK_EX | LOCK_NB) == 0) {
    shm_unlink(ShmName(hashed).c_str());
    unlink((folder + "/" + hashed + ".holders").c_str());
  }
  close(holder_fd);
}

MappingObject::~MappingObject() {
  close(fd_);
  if (hashed_.empty()) return;
  Registry& registry = Holdings();
  std::lock_guard<std::mutex> lock(registry.mutex);
  ReleaseReference(registry, hashed_);
}

// Removes the blocks whose holders all died. A block is normally made anew by the
// next process that opens its name, but some names are never opened again (the
// Kova replacer block's name holds the process id), so each process sweeps the
// folder once, before its first block. The guard files stay: another process
// may be waiting on one, and a new guard under the same name would let two
// processes in at once. Called with the registry mutex held.
void SweepStaleBlocks(Registry& registry, const std::string& folder) {
  if (registry.swept_by == getpid()) return;
  registry.swept_by = getpid();
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return;
  static constexpr char kSuffix[] = ".holders";
  constexpr size_t kSuffixLength = sizeof(kSuffix) - 1;
  while (const struct dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() <= kSuffixLength ||
        name.compare(name.size() - kSuffixLength, kSuffixLength, kSuffix) != 0)
      continue;
    const std::string hashed = name.substr(0, name.size() - kSuffixLength);
    if (registry.holdings.count(hashed) != 0) continue;
    GuardLock guard(folder + "/" + hashed + ".guard");
    if (!guard.ok()) continue;
    const std::string holders = folder + "/" + name;
    const int holder_fd = open(holders.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (holder_fd < 0) continue;
    if (flock(holder_fd, LOCK_EX | LOCK_NB) == 0) {
      shm_unlink(ShmName(hashed).c_str());
      unlink(holders.c_str());
    }
    close(holder_fd);
  }
  closedir(dir);
}

enum class OpenMode { kCreate, kOpenOnly };

// Opens or creates the named block. Sets *existed. Returns the shm descriptor or -1
// with the last error set.
int AcquireNamed(const std::string& hashed, size_t size, OpenMode mode, bool* existed) {
  std::string folder = PrivateFolder();
  if (folder.empty()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return -1;
  }
  Registry& registry = Holdings();
  std::lock_guard<std::mutex> lock(registry.mutex);
  SweepStaleBlocks(registry, folder);
  GuardLock guard(folder + "/" + hashed + ".guard");
  if (!guard.ok()) {
    SetLastErrorFromErrno(errno);
    return -1;
  }
  std::string shm = ShmName(hashed);
  auto held = registry.holdings.find(hashed);
  if (held != registry.holdings.end()) {
    int fd = shm_open(shm.c_str(), O_RDWR | O_CLOEXEC, 0600);
    if (fd < 0) {
      SetLastErrorFromErrno(errno);
      return -1;
    }
    ++held->second.references;
    *existed = true;
    return fd;
  }
  std::string holders = folder + "/" + hashed + ".holders";
  int holder_fd = open(
      holders.c_str(),
      O_RDWR | O_CLOEXEC | O_NOFOLLOW | (mode == OpenMode::kCreate ? O_CREAT : 0), 0600);
  if (holder_fd < 0) {
    SetLastError(errno == ENOENT ? ERROR_FILE_NOT_FOUND : WindowsErrorFromErrno(errno));
    return -1;
  }
  bool others_hold = flock(holder_fd, LOCK_EX | LOCK_NB) != 0;
  int fd = -1;
  if (others_hold) {
    flock(holder_fd, LOCK_SH);
    fd = shm_open(shm.c_str(), O_RDWR | O_CLOEXEC, 0600);
    *existed = true;
  } else if (mode == OpenMode::kOpenOnly) {
    // Nobody holds it: whatever is left belongs to holders that died.
    shm_unlink(shm.c_str());
    unlink(holders.c_str());
    close(holder_fd);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return -1;
  } else {
    shm_unlink(shm.c_str());
    fd = shm_open(shm.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0 && ftruncate(fd, static_cast<off_t>(size)) != 0) {
      close(fd);
      shm_unlink(shm.c_str());
      fd = -1;
    }
    if (fd >= 0) flock(holder_fd, LOCK_SH);
    *existed = false;
  }
  if (fd < 0) {
    SetLastErrorFromErrno(errno);
    close(holder_fd);
    return -1;
  }
  registry.holdings[hashed] = Holding{holder_fd, 1};
  return fd;
}

HANDLE WrapMapping(int fd, std::string hashed) {
  struct stat st;
  size_t size = fstat(fd, &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
  return RegisterHandle(std::make_unique<MappingObject>(fd, size, std::move(hashed)));
}

}  // namespace
}  // namespace kova::platform

using kova::platform::MappingObject;

// Only memory backed by the paging file exists here; any other hFile gives
// ERROR_INVALID_HANDLE (a deliberate limit: the system maps no files).
extern "C" HANDLE WINAPI CreateFileMappingA(HANDLE hFile, LPSECURITY_ATTRIBUTES,
                                            DWORD flProtect, DWORD dwMaximumSizeHigh,
                                            DWORD dwMaximumSizeLow, LPCSTR lpName) {
  namespace kp = kova::platform;
  if (hFile != INVALID_HANDLE_VALUE) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  if (flProtect != PAGE_READWRITE && flProtect != PAGE_READONLY) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  unsigned long long size =
      (static_cast<unsigned long long>(dwMaximumSizeHigh) << 32) | dwMaximumSizeLow;
  if (size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (lpName == nullptr || *lpName == '\0') {
    int fd = memfd_create("kova-mapping", MFD_CLOEXEC);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(size)) != 0) {
      kp::SetLastErrorFromErrno(errno);
      if (fd >= 0) close(fd);
      return nullptr;
    }
    SetLastError(ERROR_SUCCESS);
    return kp::WrapMapping(fd, {});
  }
  bool existed = false;
  std::string hashed = kp::HashedName(lpName);
  int fd = kp::AcquireNamed(hashed, static_cast<size_t>(size), kp::OpenMode::kCreate,
                            &existed);
  if (fd < 0) return nullptr;
  HANDLE handle = kp::WrapMapping(fd, hashed);
  SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

extern "C" HANDLE WINAPI OpenFileMappingA(DWORD, BOOL, LPCSTR lpName) {
  namespace kp = kova::platform;
  if (lpName == nullptr || *lpName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  bool existed = false;
  std::string hashed = kp::HashedName(lpName);
  int fd = kp::AcquireNamed(hashed, 0, kp::OpenMode::kOpenOnly, &existed);
  if (fd < 0) return nullptr;
  return kp::WrapMapping(fd, hashed);
}

// A view keeps its block alive after the handle is closed, as on the platform.
extern "C" LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess,
                                       DWORD dwFileOffsetHigh, DWORD dwFileOffsetLow,
                                       SIZE_T dwNumberOfBytesToMap) {
  namespace kp = kova::platform;
  auto* mapping = static_cast<MappingObject*>(
      kp::LookUpHandle(hFileMappingObject, kp::KernelObject::Kind::kMapping));
  if (mapping == nullptr) return nullptr;
  unsigned long long offset =
      (static_cast<unsigned long long>(dwFileOffsetHigh) << 32) | dwFileOffsetLow;
  if (offset % static_cast<unsigned long long>(sysconf(_SC_PAGESIZE)) != 0 ||
      offset > mapping->size()) {
    SetLastError(ERROR_MAPPED_ALIGNMENT);
    return nullptr;
  }
  size_t length =
      dwNumberOfBytesToMap == 0 ? mapping->size() - offset : dwNumberOfBytesToMap;
  if (length == 0 || offset + length > mapping->size()) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  int protection = PROT_READ;
  if (dwDesiredAccess & (FILE_MAP_WRITE | FILE_MAP_COPY)) protection |= PROT_WRITE;
  int flags = (dwDesiredAccess & FILE_MAP_COPY) && !(dwDesiredAccess & FILE_MAP_WRITE)
                  ? MAP_PRIVATE
                  : MAP_SHARED;
  void* view =
      mmap(nullptr, length, protection, flags, mapping->fd(), static_cast<off_t>(offset));
  if (view == MAP_FAILED) {
    kp::SetLastErrorFromErrno(errno);
    return nullptr;
  }
  kp::Registry& registry = kp::Holdings();
  std::lock_guard<std::mutex> lock(registry.mutex);
  registry.view_sizes[view] = length;
  if (!mapping->hashed().empty()) {
    registry.views[view] = mapping->hashed();
    ++registry.holdings[mapping->hashed()].references;
  }
  return view;
}

extern "C" BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress) {
  namespace kp = kova::platform;
  kp::Registry& registry = kp::Holdings();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto size = registry.view_sizes.find(lpBaseAddress);
  if (size == registry.view_sizes.end()) {
    SetLastError(ERROR_INVALID_ADDRESS);
    return FALSE;
  }
  munmap(const_cast<void*>(lpBaseAddress), size->second);
  registry.view_sizes.erase(size);
  auto view = registry.views.find(lpBaseAddress);
  if (view != registry.views.end()) {
    std::string hashed = view->second;
    registry.views.erase(view);
    kp::ReleaseReference(registry, hashed);
  }
  return TRUE;
}
