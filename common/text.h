// Case-insensitive comparison and search of single-byte texts (ASCII case folding;
// bytes above 0x7F compare as they are), and bounded copies into fixed buffers.
#ifndef KOVA_COMMON_TEXT_H_
#define KOVA_COMMON_TEXT_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace kova {

constexpr char AsciiToLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
constexpr char AsciiToUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool EqualsIgnoreCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix);
bool EndsWithIgnoreCase(std::string_view text, std::string_view suffix);

// <0, 0, >0 as strcmp after folding both texts to lower case.
int CompareIgnoreCase(std::string_view a, std::string_view b);

// Position of the first occurrence of `needle` at or after `from`, ignoring case,
// or npos. An empty needle is found at `from` (when from <= size).
std::size_t FindIgnoreCase(std::string_view haystack, std::string_view needle,
                           std::size_t from = 0);

std::string ToLowerAscii(std::string_view text);

// Copies at most size - 1 bytes of `text` into `buffer` and NUL-terminates it (a
// size of 0 writes nothing). Returns the number of bytes copied.
std::size_t CopyTruncated(char* buffer, std::size_t size, std::string_view text);

// The text of a NUL-terminated buffer of `size` bytes that may lack its NUL.
std::string_view BoundedText(const char* buffer, std::size_t size);

}  // namespace kova

#endif  // KOVA_COMMON_TEXT_H_
