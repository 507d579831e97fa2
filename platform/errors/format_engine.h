// The printf-like conversions of wsprintfA, shared with the inserts of
// FormatMessageA ("%1!lu!"): parsing one conversion and formatting its argument
// into output of a fixed maximum length.
#ifndef KOVA_PLATFORM_ERRORS_FORMAT_ENGINE_H_
#define KOVA_PLATFORM_ERRORS_FORMAT_ENGINE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "windef.h"

namespace kova::platform {

// Text that keeps at most `limit` characters; whatever comes after is dropped and
// remembered as truncation. Nothing can grow past the limit, whatever the widths.
class BoundedText {
 public:
  explicit BoundedText(std::size_t limit) : limit_(limit) {}
  void Append(std::string_view text);
  void Append(std::size_t count, char c);
  const std::string& text() const { return text_; }
  bool truncated() const { return truncated_; }

 private:
  std::size_t limit_;
  std::string text_;
  bool truncated_ = false;
};

// One conversion: flags, width, precision, size prefix and type character.
struct Conversion {
  bool left_align = false;  // '-'
  bool zero_pad = false;    // '0'
  bool alternate = false;   // '#': 0x / 0X before hexadecimal
  std::size_t width = 0;
  bool has_precision = false;
  std::size_t precision = 0;
  char size = 0;  // 'h', 'l' or 'w', else 0
  char type = 0;  // the conversion character; 0 when the text ended early

  bool IsText() const { return type == 's' || type == 'S'; }
  // %S, %ls and %ws take a WCHAR text; %hs and %s an ANSI one.
  bool IsWideText() const {
    return type == 'S' ? size != 'h' : type == 's' && (size == 'l' || size == 'w');
  }
  bool IsInteger() const {
    return type == 'd' || type == 'i' || type == 'u' || type == 'x' || type == 'X' ||
           type == 'c' || type == 'C';
  }
};

// Parses the conversion that starts just after a '%'. Returns the number of
// characters used (the type character included when there is one).
std::size_t ParseConversion(std::string_view format, Conversion* conversion);

// Formats an integer conversion of a 32-bit argument ('h' uses its low 16 bits;
// %c its low byte).
void FormatInteger(const Conversion& conversion, std::uint32_t value, BoundedText* out);

// Formats a text conversion; a null text prints "(null)". The precision limits
// the number of characters (of a wide text: of its UTF-8 form) taken from it.
void FormatText(const Conversion& conversion, const char* text, BoundedText* out);
void FormatWideText(const Conversion& conversion, const WCHAR* text, BoundedText* out);

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_ERRORS_FORMAT_ENGINE_H_
