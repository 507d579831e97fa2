// UTF-8 decoding and encoding shared by the code-page conversions and the
// message-box sink (which must write valid UTF-8 JSON).
#ifndef KOVA_PLATFORM_SYSINFO_UTF8_H_
#define KOVA_PLATFORM_SYSINFO_UTF8_H_

#include <cstddef>
#include <string>

namespace kova::platform {

constexpr char32_t kReplacementCharacter = 0xFFFD;

struct DecodedCodePoint {
  char32_t code_point;  // U+FFFD when !valid
  std::size_t length;   // bytes consumed, at least 1
  bool valid;
};

// Decodes the code point at the start of `text` (`size` > 0 bytes). An ill-formed
// sequence (stray continuation byte, overlong form, encoded surrogate, beyond
// U+10FFFF, cut short) is consumed as its maximal valid prefix, at least one
// byte, and reported invalid, so that each such subpart becomes one U+FFFD.
DecodedCodePoint DecodeUtf8(const unsigned char* text, std::size_t size);

// Appends the UTF-8 form of `code_point` (at most U+10FFFF, not a surrogate).
void AppendUtf8(char32_t code_point, std::string* out);

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_SYSINFO_UTF8_H_
