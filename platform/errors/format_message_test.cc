#include <cstdarg>
#include <cstring>
#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "tests/test_util.h"
#include "windows.h"

namespace {

constexpr DWORD kSentinelError = 0xdeadbeef;
constexpr DWORD kSystemText = FORMAT_MESSAGE_ALLOCATE_BUFFER |
                              FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;

// The system text of `code` through an allocated buffer, or nullopt.
std::optional<std::string> SystemText(DWORD code) {
  LPSTR text = reinterpret_cast<LPSTR>(0x1);
  const DWORD length = FormatMessageA(kSystemText, nullptr, code,
                                      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                      reinterpret_cast<LPSTR>(&text), 0, nullptr);
  if (length == 0) {
    EXPECT_EQ(text, nullptr);
    return std::nullopt;
  }
  std::string result(text);
  EXPECT_EQ(result.size(), length);
  EXPECT_EQ(LocalFree(text), nullptr);
  return result;
}

// One sentence: a capital first letter, one period, at the end before "\r\n".
void ExpectOneSentence(const std::string& text) {
  ASSERT_GE(text.size(), 4u);
  EXPECT_TRUE(text.ends_with(".\r\n")) << text;
  EXPECT_TRUE(text[0] >= 'A' && text[0] <= 'Z') << text;
  EXPECT_EQ(text.find('.'), text.size() - 3) << text;
  EXPECT_EQ(text.find_first_of("\r\n"), text.size() - 2) << text;
  EXPECT_EQ(text.find('%'), std::string::npos) << text;
}

// The system codes defined in winerror.h, read from the header itself so that a
// code added there without a text is caught.
std::set<DWORD> HeaderCodes() {
  std::ifstream header(KOVA_WINERROR_H);
  EXPECT_TRUE(header) << KOVA_WINERROR_H;
  const std::regex define(R"(^#define\s+(ERROR_\w+|NO_ERROR)\s+(\d+)L?\s*$)");
  std::set<DWORD> codes;
  for (std::string line; std::getline(header, line);) {
    std::smatch match;
    if (std::regex_match(line, match, define)) codes.insert(std::stoul(match[2]));
  }
  return codes;
}

TEST(FormatMessage, EveryHeaderCodeHasOneSentenceAndNoOtherCodeHasText) {
  const std::set<DWORD> codes = HeaderCodes();
  ASSERT_GT(codes.size(), 60u);
  std::set<std::string> texts;
  for (DWORD code : codes) {
    SCOPED_TRACE(code);
    const auto text = SystemText(code);
    ASSERT_TRUE(text.has_value());
    ExpectOneSentence(*text);
    texts.insert(*text);
  }
  // One text per code: no two codes share a wording.
  EXPECT_EQ(texts.size(), codes.size());
  for (DWORD code = 0; code < 20000; ++code) {
    if (codes.count(code) != 0) continue;
    SetLastError(kSentinelError);
    ASSERT_FALSE(SystemText(code).has_value())
        << code << " has a text but is not in winerror.h";
    ASSERT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND)) << code;
  }
}

TEST(FormatMessage, CodesTheSystemShowsHaveTexts) {
  // The codes the system sets, and every code the LDAP error mapping yields.
  const DWORD required[] = {0,    2,    3,    5,   32,   80,   87,   161,  183,  1627,
                            110,  124,  1460, 234, 1816, 1003, 123,  1323, 170,  55,
                            8261, 8262, 122,  58,  59,   1053, 1223, 8,    1225, 1168,
                            8341, 126,  127,  203, 317,  1113, 6};
  for (DWORD code : required) {
    SCOPED_TRACE(code);
    const auto text = SystemText(code);
    ASSERT_TRUE(text.has_value());
    ExpectOneSentence(*text);
  }
}

TEST(FormatMessage, FixedBufferSizeRules) {
  const std::string text = *SystemText(ERROR_FILE_NOT_FOUND);
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  char buffer[256];

  std::memset(buffer, 'X', sizeof buffer);
  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer,
                           static_cast<DWORD>(text.size() + 1), nullptr),
            text.size());
  EXPECT_EQ(std::string(buffer), text);
  EXPECT_EQ(buffer[text.size() + 1], 'X');

  for (DWORD size : {DWORD(text.size()), DWORD{1}, DWORD{0}}) {
    SCOPED_TRACE(size);
    std::memset(buffer, 'X', sizeof buffer);
    SetLastError(kSentinelError);
    EXPECT_EQ(
        FormatMessageA(flags, nullptr, ERROR_FILE_NOT_FOUND, 0, buffer, size, nullptr),
        0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(buffer[0], 'X');
  }

  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(flags, nullptr, 0x7ffff, 0, buffer, sizeof buffer, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
}

TEST(FormatMessage, AllocatedBufferHonoursTheMinimumSize) {
  LPSTR text = nullptr;
  const DWORD length = FormatMessageA(kSystemText, nullptr, ERROR_ACCESS_DENIED, 0,
                                      reinterpret_cast<LPSTR>(&text), 4096, nullptr);
  ASSERT_GT(length, 0u);
  ASSERT_NE(text, nullptr);
  // The block holds at least nSize bytes: the whole of it can be written.
  std::memset(text, 'Y', 4096);
  EXPECT_EQ(LocalFree(text), nullptr);
}

std::string FormatWithList(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char buffer[512];
  std::memset(buffer, 'X', sizeof buffer);
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, format, 0, 0, buffer,
                                      sizeof buffer, &args);
  va_end(args);
  if (length == 0) return "<failed " + std::to_string(GetLastError()) + ">";
  EXPECT_EQ(std::strlen(buffer), length);
  return buffer;
}

TEST(FormatMessage, FromStringExpandsInsertsAndEscapes) {
  struct Row {
    std::string actual;
    const char* expected;
  };
  const Row rows[] = {
      {FormatWithList("plain"), "plain"},
      {FormatWithList("%1 and %2", "one", "two"), "one and two"},
      {FormatWithList("%2 before %1, %2 again", "one", "two"),
       "two before one, two again"},
      {FormatWithList("%1!d! / %2!04x! / %3!-4s!|", -12, 0xab, "ab"),
       "-12 / 00ab / ab  |"},
      {FormatWithList("%1!lu! items", 42u), "42 items"},
      {FormatWithList("line%nnext"), "line\r\nnext"},
      {FormatWithList("100%% sure%. ok%! %0 dropped"), "100% sure. ok! "},
      {FormatWithList("a% b"), "a b"},
      {FormatWithList("ends with %"), "ends with "},
      {FormatWithList("%1", nullptr), "(null)"},
      {FormatWithList("%1!s", "x"), "<failed 87>"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected);
    EXPECT_EQ(row.actual, row.expected);
  }

  const DWORD_PTR array[] = {reinterpret_cast<DWORD_PTR>("kova"), 7};
  char buffer[64];
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           "%1 has %2!u! paths", 0, 0, buffer, sizeof buffer,
                           reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(array))),
            16u);
  EXPECT_STREQ(buffer, "kova has 7 paths");
}

TEST(FormatMessage, InsertsWithoutArgumentsAndBadFlags) {
  char buffer[64];
  SetLastError(kSentinelError);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "value %1", 0, 0, buffer,
                           sizeof buffer, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_IGNORE_INSERTS,
                           "value %1%n", 0, 0, buffer, sizeof buffer, nullptr),
            10u);
  EXPECT_STREQ(buffer, "value %1%n");

  struct Case {
    const char* name;
    DWORD flags;
    LPCVOID source;
    LPSTR out;
    DWORD error;
  };
  const Case cases[] = {
      {"no source", 0, nullptr, buffer, ERROR_INVALID_PARAMETER},
      {"string and system", FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_SYSTEM, "x",
       buffer, ERROR_INVALID_PARAMETER},
      {"null string", FORMAT_MESSAGE_FROM_STRING, nullptr, buffer,
       ERROR_INVALID_PARAMETER},
      {"null buffer", FORMAT_MESSAGE_FROM_SYSTEM, nullptr, nullptr,
       ERROR_INVALID_PARAMETER},
      {"module without a table", FORMAT_MESSAGE_FROM_HMODULE, nullptr, buffer,
       ERROR_MR_MID_NOT_FOUND},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(kSentinelError);
    EXPECT_EQ(FormatMessageA(c.flags, c.source, ERROR_FILE_NOT_FOUND, 0, c.out,
                             sizeof buffer, nullptr),
              0u);
    EXPECT_EQ(GetLastError(), c.error);
  }
}

TEST(LocalAlloc, ZeroInitAndFree) {
  auto* block = static_cast<unsigned char*>(LocalAlloc(LPTR, 300));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 300; ++i) ASSERT_EQ(block[i], 0) << i;
  EXPECT_EQ(LocalFree(block), nullptr);
  EXPECT_EQ(LocalFree(nullptr), nullptr);

  HLOCAL empty = LocalAlloc(LMEM_FIXED, 0);
  EXPECT_NE(empty, nullptr);
  LocalFree(empty);

  SetLastError(kSentinelError);
  EXPECT_EQ(LocalAlloc(0x8000, 16), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
