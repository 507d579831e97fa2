#include <cstring>
#include <optional>
#include <string>

#include "tests/test_util.h"
#include "windows.h"

namespace {

using kova::test::ScopedEnv;

constexpr DWORD kSentinelError = 0xdeadbeef;

struct ExpandRow {
  const char* source;
  const char* expected;
};

TEST(ExpandEnvironmentStrings, ReplacesDefinedReferencesAndKeepsTheRest) {
  ScopedEnv a("KOVA_T_A", "alpha");
  ScopedEnv empty("KOVA_T_EMPTY", "");
  ScopedEnv path("KOVA_T_PATH", "\\srv\\kovas");
  ScopedEnv undefined("KOVA_T_UNDEFINED", std::nullopt);
  const ExpandRow rows[] = {
      {"", ""},
      {"plain", "plain"},
      {"%KOVA_T_A%", "alpha"},
      {"x%KOVA_T_A%y%KOVA_T_A%z", "xalphayalphaz"},
      {"%KOVA_T_EMPTY%", ""},
      {"[%KOVA_T_EMPTY%]", "[]"},
      {"%KOVA_T_PATH%\\work", "\\srv\\kovas\\work"},
      {"%KOVA_T_UNDEFINED%", "%KOVA_T_UNDEFINED%"},
      {"%KOVA_T_UNDEFINED%KOVA_T_A%", "%KOVA_T_UNDEFINEDalpha"},
      {"%KOVA_T_A", "%KOVA_T_A"},
      {"%%", "%%"},
      {"%%KOVA_T_A%", "%alpha"},
      {"100%", "100%"},
      {"a%b", "a%b"},
      {"%", "%"},
      {"%kova_t_a%", "alpha"},
  };
  for (const ExpandRow& row : rows) {
    SCOPED_TRACE(row.source);
    char buffer[64];
    std::memset(buffer, 'X', sizeof buffer);
    SetLastError(kSentinelError);
    const DWORD result = ExpandEnvironmentStringsA(row.source, buffer, sizeof buffer);
    EXPECT_EQ(result, std::strlen(row.expected) + 1);
    EXPECT_STREQ(buffer, row.expected);
    EXPECT_EQ(GetLastError(), kSentinelError);
  }
}

TEST(ExpandEnvironmentStrings, TooSmallBufferGivesTheSizeNeeded) {
  ScopedEnv a("KOVA_T_A", "alpha");
  char buffer[8];
  std::memset(buffer, 'X', sizeof buffer);
  // "[alpha]" is 7 characters: exactly fits 8, not 7.
  EXPECT_EQ(ExpandEnvironmentStringsA("[%KOVA_T_A%]", buffer, 7), 8u);
  EXPECT_EQ(buffer[0], 'X');
  EXPECT_EQ(ExpandEnvironmentStringsA("[%KOVA_T_A%]", nullptr, 0), 8u);
  EXPECT_EQ(ExpandEnvironmentStringsA("[%KOVA_T_A%]", buffer, 8), 8u);
  EXPECT_STREQ(buffer, "[alpha]");
}

TEST(GetEnvironmentVariable, LengthAndSizeRules) {
  ScopedEnv a("KOVA_T_A", "alpha");
  ScopedEnv empty("KOVA_T_EMPTY", "");
  ScopedEnv missing("KOVA_T_MISSING", std::nullopt);
  char buffer[16];

  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetEnvironmentVariableA("KOVA_T_A", buffer, sizeof buffer), 5u);
  EXPECT_STREQ(buffer, "alpha");

  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetEnvironmentVariableA("KOVA_T_A", buffer, 5), 6u);
  EXPECT_EQ(buffer[0], 'X');
  EXPECT_EQ(GetEnvironmentVariableA("KOVA_T_A", nullptr, 0), 6u);
  EXPECT_EQ(GetEnvironmentVariableA("KOVA_T_A", buffer, 6), 5u);

  SetLastError(kSentinelError);
  EXPECT_EQ(GetEnvironmentVariableA("KOVA_T_MISSING", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));

  // An empty value also returns 0, told apart by the last error.
  SetLastError(kSentinelError);
  EXPECT_EQ(GetEnvironmentVariableA("KOVA_T_EMPTY", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_STREQ(buffer, "");

  // Names are case-insensitive on the platform.
  EXPECT_EQ(GetEnvironmentVariableA("kova_t_a", buffer, sizeof buffer), 5u);
}

TEST(SetEnvironmentVariable, SetsReplacesAndRemoves) {
  ScopedEnv guard("KOVA_T_SET", std::nullopt);
  char buffer[16];
  ASSERT_WIN_OK(SetEnvironmentVariableA("KOVA_T_SET", "one"));
  EXPECT_EQ(GetEnvironmentVariableA("KOVA_T_SET", buffer, sizeof buffer), 3u);
  ASSERT_WIN_OK(SetEnvironmentVariableA("KOVA_T_SET", "second"));
  EXPECT_EQ(GetEnvironmentVariableA("KOVA_T_SET", buffer, sizeof buffer), 6u);
  EXPECT_STREQ(buffer, "second");
  ASSERT_WIN_OK(SetEnvironmentVariableA("KOVA_T_SET", nullptr));
  SetLastError(kSentinelError);
  EXPECT_EQ(GetEnvironmentVariableA("KOVA_T_SET", buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND));
  EXPECT_WIN_OK(SetEnvironmentVariableA("KOVA_T_SET", nullptr));

  for (const char* bad : {"", "A=B"}) {
    SCOPED_TRACE(bad);
    SetLastError(kSentinelError);
    EXPECT_FALSE(SetEnvironmentVariableA(bad, "x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
}

}  // namespace
