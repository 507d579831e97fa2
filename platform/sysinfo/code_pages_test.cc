#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "windows.h"

namespace {

constexpr DWORD kSentinelError = 0xdeadbeef;
constexpr char16_t kSentinelUnit = 0xBEEF;

std::u16string ToWide(const std::string& text, DWORD flags = 0,
                      UINT code_page = CP_UTF8) {
  const int size = MultiByteToWideChar(code_page, flags, text.data(),
                                       static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(size, kSentinelUnit);
  if (size > 0) {
    EXPECT_EQ(MultiByteToWideChar(code_page, flags, text.data(),
                                  static_cast<int>(text.size()), out.data(), size),
              size);
  }
  return out;
}

std::string ToNarrow(const std::u16string& text, UINT code_page = CP_UTF8) {
  const int size =
      WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()),
                          nullptr, 0, nullptr, nullptr);
  std::string out(size, '#');
  if (size > 0) {
    EXPECT_EQ(
        WideCharToMultiByte(code_page, 0, text.data(), static_cast<int>(text.size()),
                            out.data(), size, nullptr, nullptr),
        size);
  }
  return out;
}

struct RoundTripRow {
  const char* utf8;
  std::u16string utf16;
};

TEST(CodePages, RoundTripsUtf8AndUtf16) {
  const RoundTripRow rows[] = {
      {"", u""},
      {"plain ASCII", u"plain ASCII"},
      {"caf\xC3\xA9", u"caf\u00e9"},
      {"\xE2\x82\xAC 5", u"\u20ac 5"},
      {"\xEF\xBF\xBF", u"\uffff"},
      // Beyond U+FFFF: one 4-byte sequence, one surrogate pair.
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"a\xF4\x8F\xBF\xBFz", u"a\U0010FFFFz"},
      {"\xF0\x90\x80\x80", u"\U00010000"},
  };
  for (UINT code_page : {UINT{CP_UTF8}, UINT{CP_ACP}}) {
    for (const RoundTripRow& row : rows) {
      SCOPED_TRACE(testing::Message() << "code page " << code_page << ", " << row.utf8);
      EXPECT_EQ(ToWide(row.utf8, 0, code_page), row.utf16);
      EXPECT_EQ(ToNarrow(row.utf16, code_page), row.utf8);
    }
  }
}

TEST(CodePages, MinusOneLengthIncludesTheNulAndZeroSizeAsksForTheSize) {
  const char* text = "h\xC3\xA9llo \xF0\x9F\x98\x80";  // 5 + space + pair + NUL
  SetLastError(kSentinelError);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0), 9);
  EXPECT_EQ(GetLastError(), kSentinelError);
  char16_t wide[16];
  std::fill(std::begin(wide), std::end(wide), kSentinelUnit);
  ASSERT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 16), 9);
  EXPECT_EQ(std::u16string(wide), u"h\u00e9llo \U0001F600");
  EXPECT_EQ(wide[9], kSentinelUnit);

  // An explicit length converts no NUL.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, 3, nullptr, 0), 2);

  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr), 12);
  char narrow[16];
  std::memset(narrow, '#', sizeof narrow);
  ASSERT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 16, nullptr, nullptr), 12);
  EXPECT_STREQ(narrow, text);
  EXPECT_EQ(narrow[12], '#');
}

TEST(CodePages, TooSmallBufferFailsWithoutWriting) {
  const char* text = "\xF0\x9F\x98\x80x";  // pair + x + NUL: 4 units
  char16_t wide[4];
  std::fill(std::begin(wide), std::end(wide), kSentinelUnit);
  SetLastError(kSentinelError);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 3), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(wide[0], kSentinelUnit);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, 4), 4);

  char narrow[6];
  std::memset(narrow, '#', sizeof narrow);
  SetLastError(kSentinelError);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 5, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(narrow[0], '#');
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, wide, -1, narrow, 6, nullptr, nullptr), 6);
}

struct InvalidRow {
  std::string bytes;
  std::u16string expected;
};

TEST(CodePages, IllFormedUtf8BecomesReplacementOrFails) {
  const InvalidRow rows[] = {
      {"a\x80z", u"a\ufffdz"},                            // stray continuation byte
      {"\xC0\xAF", u"\ufffd\ufffd"},                      // overlong '/'
      {"\xE0\x80\xAF", u"\ufffd\ufffd\ufffd"},            // overlong, three bytes
      {"\xED\xA0\x80", u"\ufffd\ufffd\ufffd"},            // encoded surrogate
      {"\xF4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},  // beyond U+10FFFF
      {"\xE2\x82", u"\ufffd"},  // cut short: one maximal subpart
      {"\xE2\x82z", u"\ufffdz"},
      {"\xF0\x9F\x98", u"\ufffd"},
      {"\xFF\xFE", u"\ufffd\ufffd"},
  };
  for (const InvalidRow& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row.bytes));
    EXPECT_EQ(ToWide(row.bytes), row.expected);
    char16_t wide[8];
    SetLastError(kSentinelError);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, row.bytes.data(),
                                  static_cast<int>(row.bytes.size()), wide, 8),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
  }
}

TEST(CodePages, LoneSurrogatesBecomeReplacementOrDefaultCharacter) {
  const std::u16string rows[] = {u"a\xD800z", u"a\xDC00z", u"a\xDC00\xD800z"};
  for (const std::u16string& row : rows) {
    SCOPED_TRACE(testing::PrintToString(row));
    std::string expected = "a";
    for (std::size_t i = 1; i + 1 < row.size(); ++i) expected += "\xEF\xBF\xBD";
    expected += "z";
    EXPECT_EQ(ToNarrow(row), expected);

    char out[16];
    SetLastError(kSentinelError);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, row.data(),
                                  static_cast<int>(row.size()), out, sizeof out, nullptr,
                                  nullptr),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));

    BOOL used = -1;
    const int n = WideCharToMultiByte(CP_ACP, 0, row.data(), static_cast<int>(row.size()),
                                      out, sizeof out, "?", &used);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(out, n), "a" + std::string(row.size() - 2, '?') + "z");
    EXPECT_EQ(used, TRUE);
  }
  BOOL used = -1;
  char out[4];
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ok", 2, out, sizeof out, "?", &used), 2);
  EXPECT_EQ(used, FALSE);
}

TEST(CodePages, RefusesBadArguments) {
  char16_t wide[8];
  char narrow[8];
  BOOL used;
  struct Case {
    const char* name;
    std::function<int()> call;
    DWORD error;
  };
  const Case cases[] = {
      {"unknown code page", [&] { return MultiByteToWideChar(1252, 0, "a", 1, wide, 8); },
       ERROR_INVALID_PARAMETER},
      {"empty input", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 0, wide, 8); },
       ERROR_INVALID_PARAMETER},
      {"null input", [&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, 1, wide, 8); },
       ERROR_INVALID_PARAMETER},
      {"negative output size",
       [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, wide, -2); },
       ERROR_INVALID_PARAMETER},
      {"null output with a size",
       [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, nullptr, 8); },
       ERROR_INVALID_PARAMETER},
      {"precomposed with CP_UTF8",
       [&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, wide, 8); },
       ERROR_INVALID_FLAGS},
      {"default char with CP_UTF8",
       [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 8, "?", nullptr); },
       ERROR_INVALID_PARAMETER},
      {"used default with CP_UTF8",
       [&] {
         return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 8, nullptr, &used);
       },
       ERROR_INVALID_PARAMETER},
      {"best fit with CP_UTF8",
       [&] {
         return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"a", 1, narrow, 8,
                                    nullptr, nullptr);
       },
       ERROR_INVALID_FLAGS},
      {"null wide input",
       [&] {
         return WideCharToMultiByte(CP_UTF8, 0, nullptr, 1, narrow, 8, nullptr, nullptr);
       },
       ERROR_INVALID_PARAMETER},
      {"empty wide input",
       [&] {
         return WideCharToMultiByte(CP_UTF8, 0, u"a", 0, narrow, 8, nullptr, nullptr);
       },
       ERROR_INVALID_PARAMETER},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(kSentinelError);
    EXPECT_EQ(c.call(), 0);
    EXPECT_EQ(GetLastError(), c.error);
  }
  // The ANSI code page takes the flags and arguments that CP_UTF8 refuses.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, "a", 1, wide, 8), 1);
  EXPECT_EQ(WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, u"a", 1, narrow, 8, nullptr,
                                nullptr),
            1);
}

}  // namespace
