#include "errors/format_engine.h"

#include <algorithm>
#include <cstring>

#include "winnls.h"

namespace kova::platform {
namespace {

// Widths and precisions beyond any output limit are clamped while parsing.
constexpr std::size_t kMaxWidth = 1 << 20;

std::size_t ParseNumber(std::string_view format, std::size_t* pos) {
  std::size_t value = 0;
  while (*pos < format.size() && format[*pos] >= '0' && format[*pos] <= '9') {
    value = std::min(kMaxWidth, value * 10 + (format[*pos] - '0'));
    ++*pos;
  }
  return value;
}

void Pad(const Conversion& conversion, std::string_view sign_or_prefix,
         std::string_view body, BoundedText* out) {
  const std::size_t length = sign_or_prefix.size() + body.size();
  const std::size_t padding = conversion.width > length ? conversion.width - length : 0;
  if (conversion.left_align) {
    out->Append(sign_or_prefix);
    out->Append(body);
    out->Append(padding, ' ');
    return;
  }
  if (conversion.zero_pad) {
    out->Append(sign_or_prefix);
    out->Append(padding, '0');
    out->Append(body);
    return;
  }
  out->Append(padding, ' ');
  out->Append(sign_or_prefix);
  out->Append(body);
}

}  // namespace

void BoundedText::Append(std::string_view text) {
  const std::size_t room = limit_ - text_.size();
  if (text.size() > room) truncated_ = true;
  text_.append(text.substr(0, room));
}

void BoundedText::Append(std::size_t count, char c) {
  const std::size_t room = limit_ - text_.size();
  if (count > room) truncated_ = true;
  text_.append(std::min(count, room), c);
}

std::size_t ParseConversion(std::string_view format, Conversion* conversion) {
  *conversion = Conversion();
  std::size_t pos = 0;
  for (; pos < format.size(); ++pos) {
    const char c = format[pos];
    if (c == '-') {
      conversion->left_align = true;
    } else if (c == '0') {
      conversion->zero_pad = true;
    } else if (c == '#') {
      conversion->alternate = true;
    } else {
      break;
    }
  }
  conversion->width = ParseNumber(format, &pos);
  if (pos < format.size() && format[pos] == '.') {
    ++pos;
    conversion->has_precision = true;
    conversion->precision = ParseNumber(format, &pos);
  }
  if (pos < format.size() &&
      (format[pos] == 'h' || format[pos] == 'l' || format[pos] == 'w'))
    conversion->size = format[pos++];
  if (pos < format.size()) conversion->type = format[pos++];
  return pos;
}

void FormatInteger(const Conversion& conversion, std::uint32_t value, BoundedText* out) {
  if (conversion.type == 'c' || conversion.type == 'C') {
    const char c = static_cast<char>(value & 0xFF);
    Conversion plain = conversion;
    plain.zero_pad = false;
    Pad(plain, {}, std::string_view(&c, 1), out);
    return;
  }
  const bool is_short = conversion.size == 'h';
  const bool is_signed = conversion.type == 'd' || conversion.type == 'i';
  std::uint32_t magnitude = is_short ? (value & 0xFFFF) : value;
  std::string_view prefix;
  if (is_signed) {
    const std::int32_t signed_value = is_short ? static_cast<std::int16_t>(magnitude)
                                               : static_cast<std::int32_t>(magnitude);
    if (signed_value < 0) {
      prefix = "-";
      magnitude = 0u - static_cast<std::uint32_t>(signed_value);
    }
  }
  const bool hex = conversion.type == 'x' || conversion.type == 'X';
  const char* digits_of =
      conversion.type == 'X' ? "0123456789ABCDEF" : "0123456789abcdef";
  char digits[16];
  std::size_t count = 0;
  do {
    digits[sizeof digits - 1 - count++] = digits_of[magnitude % (hex ? 16 : 10)];
    magnitude /= hex ? 16 : 10;
  } while (magnitude != 0);
  std::string body;
  if (conversion.has_precision && conversion.precision > count)
    body.assign(std::min(conversion.precision, kMaxWidth) - count, '0');
  body.append(digits + sizeof digits - count, count);
  if (hex && conversion.alternate && value != 0)
    prefix = conversion.type == 'X' ? "0X" : "0x";
  Conversion padded = conversion;
  if (conversion.has_precision) padded.zero_pad = false;
  Pad(padded, prefix, body, out);
}

void FormatText(const Conversion& conversion, const char* text, BoundedText* out) {
  std::string_view body = text == nullptr ? "(null)" : text;
  if (conversion.has_precision) body = body.substr(0, conversion.precision);
  Conversion padded = conversion;
  padded.zero_pad = false;
  Pad(padded, {}, body, out);
}

void FormatWideText(const Conversion& conversion, const WCHAR* text, BoundedText* out) {
  if (text == nullptr || *text == u'\0') {
    FormatText(conversion, text == nullptr ? nullptr : "", out);
    return;
  }
  const int size =
      WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string narrow(size > 0 ? size : 1, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
  FormatText(conversion, narrow.c_str(), out);
}

}  // namespace kova::platform
