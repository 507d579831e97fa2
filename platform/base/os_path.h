// Path text at the seam between the system (backslashes) and the OS (slashes).
#ifndef KOVA_PLATFORM_BASE_OS_PATH_H_
#define KOVA_PLATFORM_BASE_OS_PATH_H_

#include <string>
#include <string_view>

namespace kova::platform {

// "\srv\kovas\a.ini" -> "/srv/kovas/a.ini". Every call into the OS goes through it.
std::string ToOsPath(std::string_view windows_path);

// "/srv/kovas/a.ini" -> "\srv\kovas\a.ini". Every path handed back goes through it.
std::string FromOsPath(std::string_view os_path);

// Copies `text` into a caller's buffer of `size` characters with the platform's
// usual return rule: the length without the NUL when it fits, else the size
// needed including the NUL (the buffer is then left untouched).
unsigned long CopyOutWithNeededSize(std::string_view text, char* buffer, unsigned long size);

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_BASE_OS_PATH_H_
