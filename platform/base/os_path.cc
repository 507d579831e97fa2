#include "base/os_path.h"

#include <algorithm>
#include <cstring>

namespace kova::platform {

std::string ToOsPath(std::string_view windows_path) {
  std::string os_path(windows_path);
  std::replace(os_path.begin(), os_path.end(), '\\', '/');
  return os_path;
}

std::string FromOsPath(std::string_view os_path) {
  std::string windows_path(os_path);
  std::replace(windows_path.begin(), windows_path.end(), '/', '\\');
  return windows_path;
}

unsigned long CopyOutWithNeededSize(std::string_view text, char* buffer, unsigned long size) {
  if (buffer == nullptr || text.size() + 1 > size) return text.size() + 1;
  std::memcpy(buffer, text.data(), text.size());
  buffer[text.size()] = '\0';
  return text.size();
}

}  // namespace kova::platform
