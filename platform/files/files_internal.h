// What the files area's units share: attribute and time conversion, the
// platform's wildcard matching, path normalisation, the sharing check for
// deletion, and the copy and delete of single files and folder trees.
#ifndef KOVA_PLATFORM_FILES_FILES_INTERNAL_H_
#define KOVA_PLATFORM_FILES_FILES_INTERNAL_H_

#include <sys/stat.h>

#include <string>
#include <string_view>
#include <vector>

#include "windef.h"

namespace kova::platform {

// Owns a file descriptor.
class UniqueFd {
 public:
  explicit UniqueFd(int fd = -1) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// The attributes the platform reports for a stat result: FILE_ATTRIBUTE_DIRECTORY
// for folders, FILE_ATTRIBUTE_ARCHIVE for files (the platform sets it on every
// file written), FILE_ATTRIBUTE_READONLY when the owner may not write.
DWORD AttributesFromStat(const struct stat& st);

// Seconds and nanoseconds since 1970 as a FILETIME (100 ns units since 1601).
FILETIME FileTimeFromTimespec(const struct timespec& ts);

// The platform's file-name matching for FindFirstFileA and the shell's wildcards:
// '*' and '?' with the old DOS rules ("*.*" matches every name, also one without
// a dot; "*." matches names without a dot; '?' before a dot or at the end may
// match nothing), ASCII letters compared without case.
bool MatchesFilePattern(std::string_view pattern, std::string_view name);
bool HasWildcards(std::string_view text);

// An absolute OS path for a path of the system's form: relative paths are taken
// from the current folder, "." and ".." elements are resolved as text, repeated
// separators collapse, a trailing separator is dropped (except for the root).
[[nodiscard]] bool FullOsPath(std::string_view windows_path, std::string* os_path);

// lstat, and stat when it is a symbolic link that leads somewhere; false with
// errno set when the path does not exist.
[[nodiscard]] bool StatNoDangling(const std::string& os_path, struct stat* st);

// What an operation is about to do to a file, for the share-mode test against the
// open handles of every process that uses this library: remove or rename it
// (denied by handles without FILE_SHARE_DELETE), read it (denied by handles
// without FILE_SHARE_READ), or replace its content (denied by any open handle).
enum class SharingUse { kDelete, kRead, kReplace };

// False with ERROR_SHARING_VIOLATION when an open handle denies `use`.
[[nodiscard]] bool CheckSharing(const std::string& os_path, SharingUse use);

// Copies the bytes, the permission bits and the modification time of the regular
// file `from` to `to`. With `fail_if_exists` an existing `to` gives
// ERROR_FILE_EXISTS; otherwise it is replaced (the new content appears at once,
// through a rename). Sets the last error and returns false on failure, leaving
// no partial destination behind.
[[nodiscard]] bool CopyRegularFile(const std::string& from, const std::string& to,
                                   bool fail_if_exists);

// Copies a folder tree into `to` (created when missing, merged when present;
// existing files are replaced). Symbolic links are copied as links and never
// followed; special files (pipes, sockets, devices) are skipped.
[[nodiscard]] bool CopyTree(const std::string& from, const std::string& to);

// Renames `from` to `to`, which must not exist (ERROR_ALREADY_EXISTS). Across
// file systems a file (or, with `copy_folders`, a folder tree) is copied and the
// original removed; a folder without `copy_folders` gives ERROR_NOT_SAME_DEVICE.
[[nodiscard]] bool MoveNoReplace(const std::string& from, const std::string& to,
                                 bool copy_folders);

// Removes a file, a link or a folder tree, without following links.
[[nodiscard]] bool RemoveTree(const std::string& os_path);

// The names in a folder, without "." and "..", in the order the OS gives them.
// False with the last error set.
[[nodiscard]] bool ListNames(const std::string& folder, std::vector<std::string>* names);

// `name` inside `folder` ("/" and "x" -> "/x").
std::string JoinOs(const std::string& folder, const std::string& name);

// The parent of an OS path ("/a/b" -> "/a", "/a" -> "/", "a" -> ".").
std::string OsParent(const std::string& os_path);

// The last element of an OS path.
std::string OsBaseName(const std::string& os_path);

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_FILES_FILES_INTERNAL_H_
