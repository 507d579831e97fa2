#include "files/profile_quoting.h"

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace kova {
namespace {

// The quoted text (quote, value, quote, NUL) is built in a buffer of this size.
constexpr std::size_t kQuotedBufferSize = 4096;

// The quote character that protects `value` from the reader, which trims spaces
// and tabs around a value and strips one pair of enclosing quotes; 0 for none. A
// leading or trailing tab is quoted like a space: written bare it would be lost.
char QuoteFor(std::string_view value) {
  const char first = value.empty() ? '\0' : value.front();
  const char last = value.empty() ? '\0' : value.back();
  auto trimmed = [](char c) { return c == ' ' || c == '\t'; };
  if (trimmed(first) || trimmed(last)) return '\'';
  if (first == '\'' && last != '\'') return '\0';
  if (first == '\'' && last == '\'') return '\'';
  if (first == '"' && last == '"') return '"';
  return '\0';
}

}  // namespace

BOOL WriteProfileStringQuoted(const char* section, const char* key, const char* value,
                              const char* file) {
  if (value == nullptr) return WritePrivateProfileStringA(section, key, nullptr, file);
  const std::string_view text(value);
  const char quote = QuoteFor(text);
  if (quote == '\0') return WritePrivateProfileStringA(section, key, value, file);

  if (text.size() + 3 <= kQuotedBufferSize) {
    char quoted[kQuotedBufferSize];
    quoted[0] = quote;
    std::memcpy(quoted + 1, text.data(), text.size());
    quoted[text.size() + 1] = quote;
    quoted[text.size() + 2] = '\0';
    return WritePrivateProfileStringA(section, key, quoted, file);
  }
  // Longer values are quoted all the same rather than cut or written bare, which
  // would lose their spaces or quotes on the way back.
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back(quote);
  quoted.append(text);
  quoted.push_back(quote);
  return WritePrivateProfileStringA(section, key, quoted.c_str(), file);
}

}  // namespace kova
