// FormatMessageA over the stand-in's message table, and the local heap that
// holds the buffers it allocates.
#include <algorithm>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "errhandlingapi.h"
#include "errors/format_engine.h"
#include "errors/message_table.h"
#include "winbase.h"
#include "winerror.h"

namespace {

using kova::platform::BoundedText;
using kova::platform::Conversion;

// The platform refuses to produce more than 64K characters.
constexpr std::size_t kMaxMessage = 64 * 1024 - 1;
constexpr int kMaxInsert = 99;

// The insert arguments, read as pointer-sized values as the platform reads them:
// from the array, or from the va_list in order and kept for reuse, so that
// inserts may come in any order and repeat.
class InsertArguments {
 public:
  InsertArguments(va_list* list, bool is_array) : list_(list), is_array_(is_array) {}
  bool available() const { return list_ != nullptr; }
  ULONG_PTR Get(int number) {
    if (is_array_) return reinterpret_cast<const DWORD_PTR*>(list_)[number - 1];
    while (static_cast<int>(read_.size()) < number)
      read_.push_back(va_arg(*list_, ULONG_PTR));
    return read_[number - 1];
  }

 private:
  va_list* list_;
  bool is_array_;
  std::vector<ULONG_PTR> read_;
};

[[nodiscard]] bool FormatInsert(std::string_view insert_format, ULONG_PTR argument,
                                BoundedText* out) {
  Conversion conversion;
  if (kova::platform::ParseConversion(insert_format, &conversion) != insert_format.size())
    return false;
  if (conversion.IsWideText()) {
    kova::platform::FormatWideText(conversion, reinterpret_cast<const WCHAR*>(argument),
                                   out);
  } else if (conversion.IsText()) {
    kova::platform::FormatText(conversion, reinterpret_cast<const char*>(argument), out);
  } else if (conversion.IsInteger()) {
    kova::platform::FormatInteger(conversion, static_cast<std::uint32_t>(argument), out);
  } else {
    return false;
  }
  return true;
}

// Expands the escapes and inserts of a message: %1..%99 with an optional
// !printf-format! (default !s!), %n a line break, %0 the end of the message
// without a line break, %% %. %! and %<space> the character itself. False (last
// error set) when an insert has no argument or a malformed format.
[[nodiscard]] bool ExpandMessage(std::string_view message, InsertArguments* arguments,
                                 BoundedText* out) {
  std::size_t pos = 0;
  while (pos < message.size()) {
    const std::size_t percent = message.find('%', pos);
    out->Append(message.substr(pos, percent - pos));
    if (percent == std::string_view::npos || percent + 1 == message.size()) return true;
    pos = percent + 1;
    const char c = message[pos];
    if (c == '0') return true;
    if (c == 'n') {
      out->Append("\r\n");
      ++pos;
      continue;
    }
    if (c < '1' || c > '9') {
      out->Append(1, c);
      ++pos;
      continue;
    }
    int number = c - '0';
    ++pos;
    if (pos < message.size() && message[pos] >= '0' && message[pos] <= '9')
      number = number * 10 + (message[pos++] - '0');
    std::string_view insert_format = "s";
    if (pos < message.size() && message[pos] == '!') {
      const std::size_t close = message.find('!', pos + 1);
      if (close == std::string_view::npos) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
      }
      insert_format = message.substr(pos + 1, close - pos - 1);
      pos = close + 1;
    }
    if (!arguments->available() || number > kMaxInsert ||
        !FormatInsert(insert_format, arguments->Get(number), out)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
  }
  return true;
}

}  // namespace

// Reproduces the platform's FormatMessageA for FORMAT_MESSAGE_FROM_SYSTEM and
// FORMAT_MESSAGE_FROM_STRING, with ALLOCATE_BUFFER, IGNORE_INSERTS and
// ARGUMENT_ARRAY: the result is the number of characters without the NUL; a code
// without a text gives 0 and ERROR_MR_MID_NOT_FOUND, a fixed buffer too small 0
// and ERROR_INSUFFICIENT_BUFFER (the buffer is left as it is). There is one text
// per code: every dwLanguageId gets it, where the platform could answer
// ERROR_RESOURCE_LANG_NOT_FOUND. Modules hold no message tables, so
// FORMAT_MESSAGE_FROM_HMODULE alone finds nothing, and the line-width bits are
// not supported (ignored). Pinned by format_message_test.
extern "C" DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                                       DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                                       va_list* Arguments) {
  const bool from_string = dwFlags & FORMAT_MESSAGE_FROM_STRING;
  const bool from_system = dwFlags & FORMAT_MESSAGE_FROM_SYSTEM;
  const bool from_module = dwFlags & FORMAT_MESSAGE_FROM_HMODULE;
  if (lpBuffer == nullptr || (from_string && (from_system || from_module || !lpSource)) ||
      (!from_string && !from_system && !from_module)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER)
    *reinterpret_cast<LPSTR*>(lpBuffer) = nullptr;
  const char* message = from_string   ? static_cast<const char*>(lpSource)
                        : from_system ? kova::platform::SystemMessageText(dwMessageId)
                                      : nullptr;
  if (message == nullptr) {
    SetLastError(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  BoundedText text(kMaxMessage);
  if (dwFlags & FORMAT_MESSAGE_IGNORE_INSERTS) {
    text.Append(message);
  } else {
    InsertArguments arguments(Arguments, dwFlags & FORMAT_MESSAGE_ARGUMENT_ARRAY);
    if (!ExpandMessage(message, &arguments, &text)) return 0;
  }
  if (text.truncated()) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  const std::size_t length = text.text().size();
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    const SIZE_T bytes = std::max<SIZE_T>(nSize, length + 1);
    auto* block = static_cast<char*>(LocalAlloc(LMEM_FIXED, bytes));
    if (block == nullptr) return 0;
    std::memcpy(block, text.text().c_str(), length + 1);
    *reinterpret_cast<LPSTR*>(lpBuffer) = block;
    return static_cast<DWORD>(length);
  }
  if (length + 1 > nSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpBuffer, text.text().c_str(), length + 1);
  return static_cast<DWORD>(length);
}

// LMEM_FIXED blocks from the C heap (a pointer is its own handle); LMEM_ZEROINIT
// clears them. Other flags fail with ERROR_INVALID_PARAMETER. Pinned by
// format_message_test.
extern "C" HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) {
  if (uFlags & ~static_cast<UINT>(LMEM_ZEROINIT)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  // A zero-byte block is still a distinct block, as on the platform.
  void* block = (uFlags & LMEM_ZEROINIT) ? std::calloc(uBytes ? uBytes : 1, 1)
                                         : std::malloc(uBytes ? uBytes : 1);
  if (block == nullptr) SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

// Returns null on success, as on the platform; freeing null does nothing.
extern "C" HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  std::free(hMem);
  return nullptr;
}
