#include "registry/hive_file.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "base/posix_error.h"
#include "winerror.h"

namespace kova::platform {
namespace {

std::string NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string HomeFolder() {
  std::string home = NonEmptyEnv("HOME");
  if (!home.empty()) return home;
  std::vector<char> buffer(16384);
  passwd entry;
  passwd* result = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result)
    return result->pw_dir;
  return "/";
}

std::string FolderOf(const std::string& path) {
  std::string::size_type slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

FileStamp StampOf(const struct stat& st) {
  FileStamp stamp;
  stamp.exists = true;
  stamp.device = st.st_dev;
  stamp.inode = st.st_ino;
  stamp.size = st.st_size;
  stamp.mtime_ns = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return stamp;
}

// A path without any write bit is read-only for everyone, the superuser included.
bool IsWritable(const std::string& path, const struct stat& st) {
  return (st.st_mode & 0222) != 0 && access(path.c_str(), W_OK) == 0;
}

[[nodiscard]] DWORD MakeFolders(const std::string& folder, mode_t mode) {
  struct stat st;
  if (stat(folder.c_str(), &st) == 0)
    return S_ISDIR(st.st_mode) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
  std::string parent = FolderOf(folder);
  if (parent != folder) {
    DWORD status = MakeFolders(parent, mode);
    if (status != ERROR_SUCCESS) return status;
  }
  if (mkdir(folder.c_str(), mode) != 0 && errno != EEXIST)
    return WindowsErrorFromErrno(errno);
  return ERROR_SUCCESS;
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  int Release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

}  // namespace

std::string HiveFilePath(HiveId hive) {
  std::string dir = NonEmptyEnv("KOVA_REGISTRY_DIR");
  if (!dir.empty()) return dir + (hive == HiveId::kUser ? "/user.reg" : "/system.reg");
  if (hive == HiveId::kMachine) return "/etc/corvanta/system.reg";
  std::string config = NonEmptyEnv("XDG_CONFIG_HOME");
  if (config.empty() || config.front() != '/') config = HomeFolder() + "/.config";
  return config + "/corvanta/user.reg";
}

DWORD StampFile(const std::string& os_path, FileStamp* stamp) {
  struct stat st;
  *stamp = FileStamp();
  if (stat(os_path.c_str(), &st) == 0) {
    *stamp = StampOf(st);
    return ERROR_SUCCESS;
  }
  if (errno == ENOENT) return ERROR_SUCCESS;
  return WindowsErrorFromErrno(errno);
}

DWORD ReadWholeFile(const std::string& os_path, std::string* bytes, FileStamp* stamp) {
  bytes->clear();
  *stamp = FileStamp();
  FileDescriptor fd(open(os_path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? ERROR_SUCCESS : WindowsErrorFromErrno(errno);
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return WindowsErrorFromErrno(errno);
  if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
  char buffer[65536];
  while (true) {
    ssize_t n = read(fd.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return WindowsErrorFromErrno(errno);
    if (n == 0) break;
    bytes->append(buffer, static_cast<std::size_t>(n));
  }
  *stamp = StampOf(st);
  return ERROR_SUCCESS;
}

HiveWriteLock::~HiveWriteLock() {
  if (fd_ >= 0) close(fd_);  // closing releases the flock
}

DWORD HiveWriteLock::Acquire(const std::string& hive_path, HiveId hive) {
  std::string folder = FolderOf(hive_path);
  DWORD status = MakeFolders(folder, hive == HiveId::kUser ? 0700 : 0755);
  if (status != ERROR_SUCCESS) return status;
  struct stat st;
  if (stat(folder.c_str(), &st) != 0) return WindowsErrorFromErrno(errno);
  if (!IsWritable(folder, st)) return ERROR_ACCESS_DENIED;
  if (stat(hive_path.c_str(), &st) == 0 && !IsWritable(hive_path, st))
    return ERROR_ACCESS_DENIED;
  std::string lock_path = hive_path + ".lock";
  FileDescriptor fd(open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
  if (fd.get() < 0) return WindowsErrorFromErrno(errno);
  while (flock(fd.get(), LOCK_EX) != 0) {
    if (errno != EINTR) return WindowsErrorFromErrno(errno);
  }
  fd_ = fd.Release();
  return ERROR_SUCCESS;
}

DWORD ReplaceFileAtomically(const std::string& os_path, std::string_view bytes,
                            HiveId hive, FileStamp* stamp) {
  mode_t mode = 0600;
  struct stat st;
  if (hive == HiveId::kMachine)
    mode = stat(os_path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  std::string temp = os_path + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  FileDescriptor fd(mkostemp(name.data(), O_CLOEXEC));
  if (fd.get() < 0) return WindowsErrorFromErrno(errno);
  auto fail = [&](int err) {
    unlink(name.data());
    return WindowsErrorFromErrno(err);
  };
  if (fchmod(fd.get(), mode) != 0) return fail(errno);
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(errno);
    done += static_cast<std::size_t>(n);
  }
  if (fsync(fd.get()) != 0) return fail(errno);
  if (fstat(fd.get(), &st) != 0) return fail(errno);
  if (close(fd.Release()) != 0) return fail(errno);
  if (rename(name.data(), os_path.c_str()) != 0) return fail(errno);
  *stamp = StampOf(st);
  return ERROR_SUCCESS;
}

FILETIME FileTimeOfStamp(const FileStamp& stamp) {
  constexpr std::int64_t kSecondsFrom1601To1970 = 11644473600;
  std::int64_t ticks =
      stamp.exists ? (stamp.mtime_ns / 100 + kSecondsFrom1601To1970 * 10000000) : 0;
  FILETIME time;
  time.dwLowDateTime = DWORD(std::uint64_t(ticks) & 0xFFFFFFFF);
  time.dwHighDateTime = DWORD(std::uint64_t(ticks) >> 32);
  return time;
}

void WriteToStandardError(const std::string& line) {
  std::string text = line + "\n";
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace kova::platform
