// Path text, attribute conversion, and copying, moving and removing files and
// folder trees for CopyFileA, MoveFileA and SHFileOperationA. Pinned by
// file_ops_test.cc and shell_file_operation_test.cc.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/os_path.h"
#include "base/posix_error.h"
#include "errhandlingapi.h"
#include "fileapi.h"
#include "files/files_internal.h"
#include "winerror.h"

namespace kova::platform {
namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

// Seconds from 1601-01-01 to 1970-01-01.
constexpr long long kEpochDifference = 11644473600LL;

// Writes all of `from` to `to`; false with the last error set.
[[nodiscard]] bool CopyBytes(int from, int to) {
  std::vector<char> buffer(1 << 16);
  while (true) {
    ssize_t got = read(from, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      SetLastErrorFromErrno(errno);
      return false;
    }
    if (got == 0) return true;
    for (ssize_t done = 0; done < got;) {
      ssize_t put = write(to, buffer.data() + done, static_cast<size_t>(got - done));
      if (put < 0 && errno == EINTR) continue;
      if (put <= 0) {
        SetLastErrorFromErrno(put < 0 ? errno : ENOSPC);
        return false;
      }
      done += put;
    }
  }
}

// Recreates the symbolic link `from` as `to` (replacing a file or link there).
[[nodiscard]] bool CopyLink(const std::string& from, const std::string& to) {
  std::vector<char> target(4096);
  ssize_t length = readlink(from.c_str(), target.data(), target.size());
  if (length < 0 || static_cast<size_t>(length) >= target.size()) {
    SetLastErrorFromPathErrno(length < 0 ? errno : ENAMETOOLONG, from.c_str());
    return false;
  }
  struct stat st;
  if (lstat(to.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) unlink(to.c_str());
  if (symlink(std::string(target.data(), size_t(length)).c_str(), to.c_str()) != 0) {
    SetLastErrorFromPathErrno(errno, to.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool ListNames(const std::string& folder, std::vector<std::string>* names) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) {
    SetLastErrorFromPathErrno(errno, folder.c_str());
    return false;
  }
  while (struct dirent* entry = readdir(dir.get())) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(std::move(name));
  }
  return true;
}

std::string JoinOs(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

DWORD AttributesFromStat(const struct stat& st) {
  DWORD attributes =
      S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
  if (!(st.st_mode & S_IWUSR)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes;
}

FILETIME FileTimeFromTimespec(const struct timespec& ts) {
  long long ticks = (static_cast<long long>(ts.tv_sec) + kEpochDifference) * 10000000LL +
                    ts.tv_nsec / 100;
  if (ticks < 0) ticks = 0;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(static_cast<unsigned long long>(ticks));
  time.dwHighDateTime = static_cast<DWORD>(static_cast<unsigned long long>(ticks) >> 32);
  return time;
}

bool StatNoDangling(const std::string& os_path, struct stat* st) {
  if (stat(os_path.c_str(), st) == 0) return true;
  const int stat_errno = errno;
  if (lstat(os_path.c_str(), st) == 0) return true;
  errno = stat_errno;
  return false;
}

std::string OsParent(const std::string& os_path) {
  std::string::size_type slash = os_path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : os_path.substr(0, slash);
}

std::string OsBaseName(const std::string& os_path) {
  std::string::size_type slash = os_path.rfind('/');
  return slash == std::string::npos ? os_path : os_path.substr(slash + 1);
}

bool FullOsPath(std::string_view windows_path, std::string* os_path) {
  std::string path = ToOsPath(windows_path);
  if (path.empty()) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  if (path[0] != '/') {
    std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
    if (!cwd) {
      SetLastErrorFromErrno(errno);
      return false;
    }
    path = std::string(cwd.get()) + "/" + path;
  }
  std::vector<std::string_view> parts;
  std::string_view rest = path;
  while (!rest.empty()) {
    std::string_view::size_type slash = rest.find('/');
    std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  os_path->clear();
  for (std::string_view part : parts) {
    os_path->push_back('/');
    os_path->append(part);
  }
  if (os_path->empty()) os_path->push_back('/');
  return true;
}

bool CopyRegularFile(const std::string& from, const std::string& to,
                     bool fail_if_exists) {
  UniqueFd source(open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (source.get() < 0) {
    SetLastErrorFromPathErrno(errno, from.c_str());
    return false;
  }
  struct stat st;
  if (fstat(source.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (!CheckSharing(from, SharingUse::kRead)) return false;
  struct stat existing;
  if (stat(to.c_str(), &existing) == 0) {
    if (existing.st_dev == st.st_dev && existing.st_ino == st.st_ino) {
      SetLastError(ERROR_SHARING_VIOLATION);  // the source is open for the copy
      return false;
    }
    if (S_ISDIR(existing.st_mode)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return false;
    }
    if (fail_if_exists) {
      SetLastError(ERROR_FILE_EXISTS);
      return false;
    }
    if (!CheckSharing(to, SharingUse::kReplace)) return false;
  }

  // Without fail_if_exists the copy is written beside the destination and renamed
  // over it, so that a failed copy leaves the old file as it was.
  std::string written = to;
  UniqueFd out;
  if (fail_if_exists) {
    out = UniqueFd(
        open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
  } else {
    written = JoinOs(OsParent(to), ".kova-copy-XXXXXX");
    out = UniqueFd(mkostemp(written.data(), O_CLOEXEC));
  }
  if (out.get() < 0) {
    if (errno == EEXIST) {
      SetLastError(ERROR_FILE_EXISTS);
    } else {
      SetLastErrorFromPathErrno(errno, to.c_str());
    }
    return false;
  }
  bool ok = CopyBytes(source.get(), out.get());
  if (ok && fchmod(out.get(), st.st_mode & 0777) != 0)
    ok = (SetLastErrorFromErrno(errno), false);
  if (ok) {
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    futimens(out.get(), times);  // the time is kept where the file system allows
  }
  if (ok && close(out.release()) != 0) ok = (SetLastErrorFromErrno(errno), false);
  if (ok && written != to && rename(written.c_str(), to.c_str()) != 0)
    ok = (SetLastErrorFromPathErrno(errno, to.c_str()), false);
  if (!ok) unlink(written.c_str());
  return ok;
}

bool CopyTree(const std::string& from, const std::string& to) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) {
    SetLastErrorFromPathErrno(errno, from.c_str());
    return false;
  }
  const bool created = mkdir(to.c_str(), 0700) == 0;
  if (!created) {
    if (errno != EEXIST) {
      SetLastErrorFromPathErrno(errno, to.c_str());
      return false;
    }
    struct stat existing;
    if (stat(to.c_str(), &existing) != 0 || !S_ISDIR(existing.st_mode)) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return false;
    }
  }
  std::vector<std::string> names;
  if (!ListNames(from, &names)) return false;
  for (const std::string& name : names) {
    const std::string child = JoinOs(from, name);
    const std::string target = JoinOs(to, name);
    struct stat child_st;
    if (lstat(child.c_str(), &child_st) != 0) continue;  // removed meanwhile
    bool ok = true;
    if (S_ISDIR(child_st.st_mode)) {
      ok = CopyTree(child, target);
    } else if (S_ISREG(child_st.st_mode)) {
      ok = CopyRegularFile(child, target, false);
    } else if (S_ISLNK(child_st.st_mode)) {
      ok = CopyLink(child, target);
    }  // pipes, sockets and devices have no counterpart on the platform: skipped
    if (!ok) return false;
  }
  if (created) chmod(to.c_str(), st.st_mode & 07777);
  return true;
}

bool RemoveTree(const std::string& os_path) {
  struct stat st;
  if (lstat(os_path.c_str(), &st) != 0) {
    SetLastErrorFromPathErrno(errno, os_path.c_str());
    return false;
  }
  if (!S_ISDIR(st.st_mode)) {
    if (unlink(os_path.c_str()) == 0) return true;
    SetLastErrorFromPathErrno(errno, os_path.c_str());
    return false;
  }
  std::vector<std::string> names;
  if (!ListNames(os_path, &names)) return false;
  for (const std::string& name : names) {
    if (!RemoveTree(JoinOs(os_path, name))) return false;
  }
  if (rmdir(os_path.c_str()) == 0) return true;
  SetLastErrorFromPathErrno(errno, os_path.c_str());
  return false;
}

bool MoveNoReplace(const std::string& from, const std::string& to, bool copy_folders) {
  struct stat st;
  if (lstat(from.c_str(), &st) != 0) {
    SetLastErrorFromPathErrno(errno, from.c_str());
    return false;
  }
  struct stat existing;
  if (lstat(to.c_str(), &existing) == 0) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
  }
  int result = renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
  // A file system without the no-replace flag answers EINVAL; the test above
  // stands in for it there.
  if (result != 0 && errno == EINVAL) result = rename(from.c_str(), to.c_str());
  if (result == 0) return true;
  if (errno == EEXIST) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return false;
  }
  if (errno != EXDEV) {
    SetLastErrorFromPathErrno(errno, to.c_str());
    return false;
  }
  bool copied = false;
  if (S_ISDIR(st.st_mode)) {
    if (!copy_folders) {
      SetLastError(ERROR_NOT_SAME_DEVICE);
      return false;
    }
    copied = CopyTree(from, to);
  } else if (S_ISREG(st.st_mode)) {
    copied = CopyRegularFile(from, to, true);
  } else if (S_ISLNK(st.st_mode)) {
    copied = CopyLink(from, to);
  } else {
    SetLastError(ERROR_ACCESS_DENIED);
  }
  // A complete copy stays even when the original cannot be removed in full;
  // a partial copy is taken back.
  if (copied) return RemoveTree(from);
  const DWORD error = GetLastError();
  if (S_ISDIR(st.st_mode)) (void)RemoveTree(to);
  SetLastError(error);
  return false;
}

}  // namespace kova::platform
