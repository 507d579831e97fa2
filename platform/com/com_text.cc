#include "com_text.h"

#include <cstdio>

#include "oleauto.h"
#include "winnls.h"

namespace kova::com {

std::string GuidToText(REFGUID g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                unsigned(g.Data1), unsigned(g.Data2), unsigned(g.Data3), g.Data4[0],
                g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6],
                g.Data4[7]);
  return text;
}

namespace {

int HexDigit(char16_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

template <class Char>
bool ParseBraced(std::basic_string_view<Char> text, GUID* guid) {
  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
  if (text.size() != 38 || text[0] != '{' || text[37] != '}') return false;
  for (std::size_t dash : {9, 14, 19, 24}) {
    if (text[dash] != '-') return false;
  }
  auto hex = [&](std::size_t from, std::size_t digits, unsigned long long* value) {
    *value = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const int d = HexDigit(char16_t(text[from + i]));
      if (d < 0) return false;
      *value = *value * 16 + unsigned(d);
    }
    return true;
  };
  unsigned long long v;
  GUID g{};
  if (!hex(1, 8, &v)) return false;
  g.Data1 = DWORD(v);
  if (!hex(10, 4, &v)) return false;
  g.Data2 = WORD(v);
  if (!hex(15, 4, &v)) return false;
  g.Data3 = WORD(v);
  static constexpr std::size_t kBytes[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!hex(kBytes[i], 2, &v)) return false;
    g.Data4[i] = BYTE(v);
  }
  *guid = g;
  return true;
}

}  // namespace

bool TextToGuid(std::u16string_view text, GUID* guid) { return ParseBraced(text, guid); }
bool TextToGuid(std::string_view text, GUID* guid) { return ParseBraced(text, guid); }

namespace {

template <class Char>
bool EqualsFolded(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
  if (a.size() != b.size()) return false;
  auto fold = [](Char c) { return (c >= 'A' && c <= 'Z') ? Char(c - 'A' + 'a') : c; };
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

bool EqualsNoCase(std::string_view a, std::string_view b) { return EqualsFolded(a, b); }
bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  return EqualsFolded(a, b);
}

std::u16string Widen(std::string_view text) {
  if (text.empty()) return {};
  const int needed =
      MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  if (needed <= 0) return {};
  std::u16string wide(std::size_t(needed), u'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), needed);
  return wide;
}

std::string Narrow(std::u16string_view text) {
  if (text.empty()) return {};
  const int needed = WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return {};
  std::string narrow(std::size_t(needed), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), int(text.size()), narrow.data(), needed,
                      nullptr, nullptr);
  return narrow;
}

std::u16string_view OleView(const OLECHAR* text) {
  return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

std::string NarrowOle(const OLECHAR* text) { return Narrow(OleView(text)); }

BSTR AllocBstr(std::u16string_view text) {
  return SysAllocStringLen(text.data(), UINT(text.size()));
}

BSTR AllocBstr(std::string_view text) { return AllocBstr(Widen(text)); }

}  // namespace kova::com
