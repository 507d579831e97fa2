// Where the hive files live and how they are read, locked and replaced. All the
// registry's POSIX calls are here.
#ifndef KOVA_PLATFORM_REGISTRY_HIVE_FILE_H_
#define KOVA_PLATFORM_REGISTRY_HIVE_FILE_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "windef.h"

namespace kova::platform {

enum class HiveId { kUser, kMachine };

// The OS path of a hive file, from the environment at the time of the call:
// $KOVA_REGISTRY_DIR/user.reg, else ${XDG_CONFIG_HOME:-$HOME/.config}/corvanta/user.reg;
// $KOVA_REGISTRY_DIR/system.reg, else /etc/corvanta/system.reg.
std::string HiveFilePath(HiveId hive);

// What tells one version of a file from another: a replaced file has a new inode,
// an edited one a new size or modification time.
struct FileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtime_ns = 0;
  bool operator==(const FileStamp&) const = default;
};

// A missing file is not an error: its stamp says it does not exist.
[[nodiscard]] DWORD StampFile(const std::string& os_path, FileStamp* stamp);
// The bytes and the stamp of the same open file; a missing file reads empty.
[[nodiscard]] DWORD ReadWholeFile(const std::string& os_path, std::string* bytes,
                                  FileStamp* stamp);

// An exclusive lock on "<hive file>.lock" beside the hive, shared by every process
// that writes it; released on destruction. Creates the hive's folder when missing.
class HiveWriteLock {
 public:
  HiveWriteLock() = default;
  ~HiveWriteLock();
  HiveWriteLock(const HiveWriteLock&) = delete;
  HiveWriteLock& operator=(const HiveWriteLock&) = delete;

  // ERROR_ACCESS_DENIED when the folder or the hive file cannot be written: a
  // file or folder without any write permission bit counts as read-only even for
  // the superuser, as a read-only file does on the platform.
  [[nodiscard]] DWORD Acquire(const std::string& hive_path, HiveId hive);

 private:
  int fd_ = -1;
};

// Writes `bytes` to a new file beside `os_path`, flushes it and renames it over
// `os_path`, so that readers see the old or the new file, never a part of one.
// The user hive gets mode 0600; the machine hive keeps its mode (0644 when new).
[[nodiscard]] DWORD ReplaceFileAtomically(const std::string& os_path,
                                          std::string_view bytes, HiveId hive,
                                          FileStamp* stamp);

// FILETIME (100 ns since 1601) of a stamp's modification time.
FILETIME FileTimeOfStamp(const FileStamp& stamp);

void WriteToStandardError(const std::string& line);

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_REGISTRY_HIVE_FILE_H_
