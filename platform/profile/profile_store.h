// Where profile files live, how they are read (through a per-process cache) and how
// they are replaced (atomically, under a lock shared between processes).
#ifndef KOVA_PLATFORM_PROFILE_PROFILE_STORE_H_
#define KOVA_PLATFORM_PROFILE_PROFILE_STORE_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "profile/profile_text.h"

namespace kova::platform::profile {

// The absolute OS path of a profile file named in the system's form. A name without
// a folder lies in the Windows directory; a null name is "win.ini" there; a name
// with a folder part that is not absolute is relative to the current folder.
// nullopt for the empty name.
[[nodiscard]] std::optional<std::string> ResolveProfilePath(const char* file_name);

// The parsed file, or null with the errno of the failure (ENOENT for a missing
// file). Served from the cache while the file's identity, size and times are
// those of the cached copy and the file has settled (see IsSettledStamp); a file
// changed within the last clock tick is read again and parsed only if its bytes
// differ. Thread-safe.
struct LoadResult {
  std::shared_ptr<const Profile> profile;
  int error = 0;
};
[[nodiscard]] LoadResult LoadProfile(const std::string& os_path);

// Applies `edit` to the file: under the file's lock the current content is read
// again, the edit applied and, when it changes anything, the new content written to
// a temporary file beside it, flushed and renamed over the file. Returns false with
// the last error set; the old file is then unchanged.
[[nodiscard]] bool WriteProfile(const std::string& os_path, const ProfileEdit& edit);

// The file's identity, size and times as the cache compares them.
struct FileStamp {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t mtime_ns = 0;
  std::int64_t ctime_ns = 0;
  bool operator==(const FileStamp&) const = default;
};

// True when a later change to the file must give it a different stamp: its times
// lie at least two ticks of the coarse clock that stamps files in the past. Times
// in whole seconds mark a file system with coarse timestamps; they need two seconds.
bool IsSettledStamp(const FileStamp& stamp, std::int64_t now_ns);

// Counters of the cache, for tests and benchmarks.
struct ProfileCacheStats {
  std::uint64_t hits = 0;    // reads served by a cached parse
  std::uint64_t parses = 0;  // files parsed for a read
};
ProfileCacheStats GetProfileCacheStats();

}  // namespace kova::platform::profile

#endif  // KOVA_PLATFORM_PROFILE_PROFILE_STORE_H_
