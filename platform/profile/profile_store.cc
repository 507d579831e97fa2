#include "profile/profile_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "base/os_path.h"
#include "base/posix_error.h"
#include "sysinfoapi.h"

namespace kova::platform::profile {
namespace {

constexpr std::int64_t kNanosPerSecond = 1000000000;
// Enough parsed files for the profiles a process works with at once.
constexpr std::size_t kCacheCapacity = 64;

// A descriptor closed on destruction.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  void Reset(int fd = -1) {
    if (fd_ >= 0) close(fd_);
    fd_ = fd;
  }
  // Closes now and reports the close error (NFS reports write errors there).
  [[nodiscard]] int Close() {
    int rc = close(fd_);
    fd_ = -1;
    return rc == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

std::int64_t Nanos(const timespec& ts) {
  return static_cast<std::int64_t>(ts.tv_sec) * kNanosPerSecond + ts.tv_nsec;
}

FileStamp StampOf(const struct stat& st) {
  return FileStamp{
      static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
      static_cast<std::int64_t>(st.st_size), Nanos(st.st_mtim), Nanos(st.st_ctim)};
}

std::int64_t CoarseNow() {
  timespec now;
  clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return Nanos(now);
}

std::int64_t CoarseTick() {
  static const std::int64_t tick = [] {
    timespec res;
    if (clock_getres(CLOCK_REALTIME_COARSE, &res) != 0) return std::int64_t{10000000};
    return std::max<std::int64_t>(Nanos(res), 1000000);
  }();
  return tick;
}

struct FileContent {
  std::string bytes;
  struct stat st {};
  int error = 0;
};

// Reads the whole file; the stat is taken after the read, so that a change during
// the read shows as a recent (unsettled) time.
FileContent ReadWholeFile(const std::string& os_path) {
  FileContent content;
  UniqueFd fd(open(os_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (fd.get() < 0) {
    content.error = errno;
    return content;
  }
  struct stat before;
  if (fstat(fd.get(), &before) != 0) {
    content.error = errno;
    return content;
  }
  // A folder is refused as the platform refuses it; a device or a pipe could block.
  if (!S_ISREG(before.st_mode)) {
    content.error = S_ISDIR(before.st_mode) ? EISDIR : EACCES;
    return content;
  }
  content.bytes.reserve(static_cast<std::size_t>(before.st_size));
  char chunk[65536];
  for (;;) {
    ssize_t n = read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      content.error = errno;
      return content;
    }
    if (n == 0) break;
    content.bytes.append(chunk, static_cast<std::size_t>(n));
  }
  if (fstat(fd.get(), &content.st) != 0) content.error = errno;
  return content;
}

// Parsed files keyed by OS path. Readers take a shared pointer and use it outside
// the lock, so a replaced entry stays valid for whoever still reads it.
class ProfileCache {
 public:
  std::shared_ptr<const Profile> Find(const std::string& os_path,
                                      const FileStamp& stamp) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(os_path);
    if (it == entries_.end() || !(it->second.stamp == stamp)) return nullptr;
    it->second.last_use = ++clock_;
    return it->second.profile;
  }

  void Store(const std::string& os_path, const FileStamp& stamp,
             std::shared_ptr<const Profile> profile) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (entries_.size() >= kCacheCapacity && entries_.find(os_path) == entries_.end()) {
      auto oldest = entries_.begin();
      for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->second.last_use < oldest->second.last_use) oldest = it;
      }
      entries_.erase(oldest);
    }
    entries_[os_path] = Entry{stamp, std::move(profile), ++clock_};
  }

  void Forget(const std::string& os_path) {
    std::lock_guard<std::mutex> lock(mutex_);
    entries_.erase(os_path);
  }

 private:
  struct Entry {
    FileStamp stamp;
    std::shared_ptr<const Profile> profile;
    std::uint64_t last_use = 0;
  };
  std::mutex mutex_;
  std::unordered_map<std::string, Entry> entries_;
  std::uint64_t clock_ = 0;
};

ProfileCache& Cache() {
  static ProfileCache* cache = new ProfileCache;  // never destroyed: usable at exit
  return *cache;
}

std::atomic<std::uint64_t> g_hits{0};
std::atomic<std::uint64_t> g_parses{0};

std::string ParentOf(const std::string& os_path) {
  std::string::size_type slash = os_path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : os_path.substr(0, slash);
}

std::string CurrentFolder() {
  std::string folder(PATH_MAX, '\0');
  while (getcwd(folder.data(), folder.size()) == nullptr) {
    if (errno != ERANGE) return "/";
    folder.resize(folder.size() * 2);
  }
  folder.resize(folder.find('\0'));
  return folder;
}

std::string WindowsFolderOsPath() {
  UINT needed = GetWindowsDirectoryA(nullptr, 0);
  std::string folder(needed, '\0');
  UINT length = GetWindowsDirectoryA(folder.data(), needed);
  folder.resize(length < needed ? length : 0);
  return ToOsPath(folder);
}

// The lock that serialises writers of one profile between processes: flock on
// "<file>.lock". The holder removes the lock file before it lets go; a waiter that
// then gets the lock of a removed file sees that the path no longer names it and
// tries again on the new one.
class ProfileLock {
 public:
  ~ProfileLock() {
    if (fd_.get() < 0) return;
    unlink(path_.c_str());
  }

  [[nodiscard]] int Acquire(const std::string& path) {
    path_ = path;
    for (;;) {
      fd_.Reset(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666));
      if (fd_.get() < 0) return errno;
      int rc;
      do {
        rc = flock(fd_.get(), LOCK_EX);
      } while (rc != 0 && errno == EINTR);
      if (rc != 0) {
        int err = errno;
        fd_.Reset();
        return err;
      }
      struct stat held, named;
      if (fstat(fd_.get(), &held) == 0 && stat(path.c_str(), &named) == 0 &&
          held.st_dev == named.st_dev && held.st_ino == named.st_ino) {
        return 0;
      }
      fd_.Reset();
    }
  }

 private:
  std::string path_;
  UniqueFd fd_;
};

// A temporary file that is removed unless it was renamed into place.
class TempFile {
 public:
  explicit TempFile(std::string path) : path_(std::move(path)) {}
  ~TempFile() {
    if (!committed_) unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }
  void Commit() { committed_ = true; }

 private:
  std::string path_;
  bool committed_ = false;
};

[[nodiscard]] int WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    done += static_cast<std::size_t>(n);
  }
  return 0;
}

void SyncFolder(const std::string& folder) {
  UniqueFd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) fsync(fd.get());
}

}  // namespace

std::optional<std::string> ResolveProfilePath(const char* file_name) {
  std::string os_path = ToOsPath(file_name ? file_name : "win.ini");
  if (os_path.empty()) return std::nullopt;
  if (os_path.find('/') == std::string::npos)
    os_path = WindowsFolderOsPath() + "/" + os_path;
  if (os_path.front() != '/') os_path = CurrentFolder() + "/" + os_path;
  return os_path;
}

bool IsSettledStamp(const FileStamp& stamp, std::int64_t now_ns) {
  const bool whole_seconds =
      stamp.mtime_ns % kNanosPerSecond == 0 && stamp.ctime_ns % kNanosPerSecond == 0;
  const std::int64_t window = whole_seconds ? 2 * kNanosPerSecond : 2 * CoarseTick();
  return std::max(stamp.mtime_ns, stamp.ctime_ns) + window <= now_ns;
}

ProfileCacheStats GetProfileCacheStats() {
  return ProfileCacheStats{g_hits.load(), g_parses.load()};
}

LoadResult LoadProfile(const std::string& os_path) {
  struct stat st;
  if (stat(os_path.c_str(), &st) != 0) return LoadResult{nullptr, errno};
  const FileStamp stamp = StampOf(st);
  std::shared_ptr<const Profile> cached = Cache().Find(os_path, stamp);
  if (cached && IsSettledStamp(stamp, CoarseNow())) {
    ++g_hits;
    return LoadResult{std::move(cached), 0};
  }
  FileContent content = ReadWholeFile(os_path);
  if (content.error != 0) return LoadResult{nullptr, content.error};
  const FileStamp read_stamp = StampOf(content.st);
  // An unsettled file may have changed without changing its stamp: its bytes decide.
  if (cached && read_stamp == stamp && cached->bytes() == content.bytes) {
    ++g_hits;
    return LoadResult{std::move(cached), 0};
  }
  std::shared_ptr<const Profile> parsed = Profile::Parse(std::move(content.bytes));
  ++g_parses;
  Cache().Store(os_path, read_stamp, parsed);
  return LoadResult{std::move(parsed), 0};
}

// Deliberately unlike the platform, which rewrites the file in place: the new
// content goes to "<file>.partial", is flushed and renamed over the file, so a crash
// or a full disk leaves the old file or the new one, never a mix. Pinned by
// profile_process_test (killed writer, file-size limit, two writing processes).
bool WriteProfile(const std::string& os_path, const ProfileEdit& edit) {
  // A symbolic link stays a link: its target is replaced.
  std::string target = os_path;
  struct stat link_st;
  if (lstat(os_path.c_str(), &link_st) == 0 && S_ISLNK(link_st.st_mode)) {
    if (char* real = realpath(os_path.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }

  ProfileLock lock;
  const std::string lock_path = target + ".lock";
  if (int err = lock.Acquire(lock_path); err != 0) {
    SetLastErrorFromPathErrno(err, lock_path.c_str());
    return false;
  }

  // Read again under the lock, so that a change another process made just before
  // is the base of this one.
  FileContent current = ReadWholeFile(target);
  if (current.error != 0 && current.error != ENOENT) {
    SetLastErrorFromPathErrno(current.error, target.c_str());
    return false;
  }
  const bool exists = current.error == 0;
  std::shared_ptr<const Profile> profile = Profile::Parse(std::move(current.bytes));
  std::optional<std::string> bytes = ApplyEdit(*profile, edit);
  if (!bytes) return true;

  TempFile temp(target + ".partial");
  unlink(temp.path().c_str());  // left behind by a writer that died; we hold the lock
  const mode_t mode = exists ? (current.st.st_mode & 07777) : 0666;
  UniqueFd fd(open(temp.path().c_str(),
                   O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode));
  if (fd.get() < 0) {
    SetLastErrorFromPathErrno(errno, temp.path().c_str());
    return false;
  }
  if (exists) {
    // open() applied the umask; the file keeps its mode and, where allowed, owner.
    if (fchmod(fd.get(), mode) != 0) {
      SetLastErrorFromErrno(errno);
      return false;
    }
    if (current.st.st_uid != geteuid() || current.st.st_gid != getegid()) {
      // Refused to an ordinary user: the file then becomes the writer's.
      [[maybe_unused]] int ignored =
          fchown(fd.get(), current.st.st_uid, current.st.st_gid);
    }
  }
  int err = WriteAll(fd.get(), *bytes);
  if (err == 0 && fsync(fd.get()) != 0) err = errno;
  struct stat written;
  if (err == 0 && fstat(fd.get(), &written) != 0) err = errno;
  if (err == 0) err = fd.Close();
  if (err == 0 && rename(temp.path().c_str(), target.c_str()) != 0) err = errno;
  if (err != 0) {
    SetLastErrorFromErrno(err);
    return false;
  }
  temp.Commit();
  SyncFolder(ParentOf(target));

  struct stat now_st;
  if (stat(os_path.c_str(), &now_st) == 0 && now_st.st_dev == written.st_dev &&
      now_st.st_ino == written.st_ino) {
    Cache().Store(os_path, StampOf(now_st), Profile::Parse(std::move(*bytes)));
  } else {
    Cache().Forget(os_path);
  }
  return true;
}

}  // namespace kova::platform::profile
