// ASCII case folding for the platform's case-insensitive names (environment
// variables, locales, module names). The layer below common/ cannot use
// common/text.h.
#ifndef KOVA_PLATFORM_SYSINFO_ASCII_TEXT_H_
#define KOVA_PLATFORM_SYSINFO_ASCII_TEXT_H_

#include <string>
#include <string_view>

namespace kova::platform {

constexpr char FoldAsciiCase(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

inline bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAsciiCase(a[i]) != FoldAsciiCase(b[i])) return false;
  }
  return true;
}

inline std::string ToLowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = FoldAsciiCase(c);
  return lower;
}

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_SYSINFO_ASCII_TEXT_H_
