#include <climits>
#include <cstring>
#include <string>

#include "tests/test_util.h"
#include "windows.h"

namespace {

constexpr char kSentinel = '\x7e';

// Formats into a sentinel-filled buffer larger than the limit, and checks the
// result, the NUL and that nothing was written after it.
template <typename... Args>
std::string Format(const char* format, Args... args) {
  char buffer[1100];
  std::memset(buffer, kSentinel, sizeof buffer);
  const int length = wsprintfA(buffer, format, args...);
  EXPECT_GE(length, 0);
  EXPECT_LE(length, 1023);
  EXPECT_EQ(buffer[length], '\0');
  EXPECT_EQ(buffer[length + 1], kSentinel);
  EXPECT_EQ(std::strlen(buffer), static_cast<std::size_t>(length));
  return std::string(buffer, length);
}

struct Row {
  std::string actual;
  const char* expected;
};

TEST(Wsprintf, EachConversion) {
  const Row rows[] = {
      {Format("plain"), "plain"},
      {Format("%s|%s", "ab", "cd"), "ab|cd"},
      {Format("[%5s][%-5s][%.2s][%5.1s]", "ab", "ab", "abc", "xyz"),
       "[   ab][ab   ][ab][    x]"},
      {Format("%s", static_cast<const char*>(nullptr)), "(null)"},
      {Format("%hs", "narrow"), "narrow"},
      {Format("%S|%ls|%ws", u"w\u00e9", u"x", u"y"), "w\xC3\xA9|x|y"},
      {Format("%c%c%3c", 'a', 'b', 'c'), "ab  c"},
      {Format("%d %i %d", 0, -42, INT_MAX), "0 -42 2147483647"},
      {Format("%d", INT_MIN), "-2147483648"},
      {Format("%u %u", 7u, 4294967295u), "7 4294967295"},
      {Format("%x %X %#x %#X %#x", 0xbeefu, 0xbeefu, 255u, 255u, 0u),
       "beef BEEF 0xff 0XFF 0"},
      {Format("%ld %li %lu %lx %lX", LONG{-5}, LONG{6}, DWORD{7}, DWORD{0xab},
              DWORD{0xab}),
       "-5 6 7 ab AB"},
      // %ld is the platform's 32-bit LONG.
      {Format("%ld", LONG{-2147483647 - 1}), "-2147483648"},
      {Format("%hd %hu %hx", 70000, 70000, 0x12345), "4464 4464 2345"},
      {Format("%hd", 0xFFFF), "-1"},
      {Format("[%5d][%-5d][%05d][%-05d][%05d]", 42, 42, 42, 42, -42),
       "[   42][42   ][00042][42   ][-0042]"},
      {Format("[%.3d][%6.3d][%08.3x]", 7, -7, 0xau), "[007][  -007][     00a]"},
      {Format("[%#06x]", 0x1fu), "[0x001f]"},
      {Format("100%% done"), "100% done"},
      {Format("%y%"), "y"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.expected);
    EXPECT_EQ(row.actual, row.expected);
  }
}

TEST(Wsprintf, OutputIsCutAt1023Characters) {
  const std::string exact(1023, 'a'), over(1024, 'b'), long_text(5000, 'c');
  EXPECT_EQ(Format("%s", exact.c_str()), exact);
  EXPECT_EQ(Format("%s", over.c_str()), over.substr(0, 1023));
  EXPECT_EQ(Format("%s", long_text.c_str()), long_text.substr(0, 1023));
  EXPECT_EQ(Format("x%s", exact.c_str()), "x" + exact.substr(0, 1022));
  EXPECT_EQ(Format(long_text.c_str()), long_text.substr(0, 1023));
  EXPECT_EQ(Format("%2000d", 5), std::string(1023, ' '));
  EXPECT_EQ(Format("%-99999999999999999999d|", 5), "5" + std::string(1022, ' '));
  EXPECT_EQ(Format("%.99999999s", long_text.c_str()), long_text.substr(0, 1023));
}

TEST(Wsprintf, NullArgumentsDoNotCrash) {
  char buffer[8];
  std::memset(buffer, kSentinel, sizeof buffer);
  EXPECT_EQ(wsprintfA(buffer, nullptr), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(wsprintfA(nullptr, "x"), 0);
}

}  // namespace
