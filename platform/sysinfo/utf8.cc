#include "sysinfo/utf8.h"

namespace kova::platform {

DecodedCodePoint DecodeUtf8(const unsigned char* text, std::size_t size) {
  const DecodedCodePoint invalid_one{kReplacementCharacter, 1, false};
  const unsigned char lead = text[0];
  if (lead < 0x80) return {lead, 1, true};
  std::size_t length;
  char32_t code_point;
  // The second byte's range also rules out overlong forms, surrogates and values
  // beyond U+10FFFF (the well-formed table of the Unicode standard).
  unsigned char second_low = 0x80, second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code_point = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code_point = lead & 0x0F;
    if (lead == 0xE0) second_low = 0xA0;
    if (lead == 0xED) second_high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code_point = lead & 0x07;
    if (lead == 0xF0) second_low = 0x90;
    if (lead == 0xF4) second_high = 0x8F;
  } else {
    return invalid_one;
  }
  for (std::size_t i = 1; i < length; ++i) {
    if (i >= size) return {kReplacementCharacter, i, false};
    const unsigned char byte = text[i];
    const unsigned char low = i == 1 ? second_low : 0x80;
    const unsigned char high = i == 1 ? second_high : 0xBF;
    if (byte < low || byte > high) return {kReplacementCharacter, i, false};
    code_point = (code_point << 6) | (byte & 0x3F);
  }
  return {code_point, length, true};
}

void AppendUtf8(char32_t code_point, std::string* out) {
  if (code_point < 0x80) {
    out->push_back(static_cast<char>(code_point));
  } else if (code_point < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (code_point >> 6)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else if (code_point < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (code_point >> 12)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (code_point >> 18)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
  }
}

}  // namespace kova::platform
