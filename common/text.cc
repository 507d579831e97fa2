#include "common/text.h"

#include <algorithm>
#include <cstring>

namespace kova {

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareIgnoreCase(a, b) == 0;
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

int CompareIgnoreCase(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(AsciiToLower(a[i]));
    unsigned char cb = static_cast<unsigned char>(AsciiToLower(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::size_t FindIgnoreCase(std::string_view haystack, std::string_view needle,
                           std::size_t from) {
  if (from > haystack.size() || needle.size() > haystack.size() - from)
    return std::string_view::npos;
  for (std::size_t i = from; i + needle.size() <= haystack.size(); ++i) {
    if (EqualsIgnoreCase(haystack.substr(i, needle.size()), needle)) return i;
  }
  return std::string_view::npos;
}

std::string ToLowerAscii(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), AsciiToLower);
  return lower;
}

std::size_t CopyTruncated(char* buffer, std::size_t size, std::string_view text) {
  if (buffer == nullptr || size == 0) return 0;
  std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return n;
}

std::string_view BoundedText(const char* buffer, std::size_t size) {
  if (buffer == nullptr) return {};
  const void* nul = std::memchr(buffer, '\0', size);
  return std::string_view(buffer, nul ? static_cast<const char*>(nul) - buffer : size);
}

}  // namespace kova
