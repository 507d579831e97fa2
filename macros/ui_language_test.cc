#include "macros/ui_language.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "macros/test_support.h"
#include "tests/test_util.h"

namespace kova {
namespace {

constexpr char kKey[] = "Software\\Corvanta\\Vintrel\\12.00\\Locale";
constexpr char kOtherKey[] = "Software\\KovaMacrosTest\\Hives";

class UILanguageTest : public test::IsolatedTest {
 protected:
  // The user's interface language comes from the locale environment.
  void SetUserLocale(const char* locale) {
    locale_.reset();  // restores the outer value before the new one is set
    locale_ = std::make_unique<test::ScopedEnv>("LC_ALL", locale);
  }

  std::string Extension(DWORD* status) {
    char buffer[261];
    std::memset(buffer, '#', sizeof(buffer));
    *status = GetUILanguageExtension(kKey, buffer, sizeof(buffer));
    if (*status != ERROR_SUCCESS) return "(failed)";
    return buffer;
  }

  std::unique_ptr<test::ScopedEnv> locale_;
};

TEST_F(UILanguageTest, ReadRegistryValueFollowsTheHiveOrder) {
  struct Row {
    int flags;
    LONG status;
    const char* value;
  };
  auto check = [](const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      SCOPED_TRACE(row.flags);
      char buffer[260];
      std::memset(buffer, '#', sizeof(buffer));
      EXPECT_EQ(ReadRegistryValue(kOtherKey, "Value", buffer, sizeof(buffer), row.flags),
                row.status);
      if (row.value != nullptr) {
        EXPECT_STREQ(buffer, row.value);
      }
    }
  };
  check({{0, ERROR_FILE_NOT_FOUND, nullptr},
         {1, ERROR_FILE_NOT_FOUND, nullptr},
         {2, ERROR_FILE_NOT_FOUND, nullptr},
         {4, ERROR_FILE_NOT_FOUND, nullptr}});

  test::SetRegValue(HKEY_CURRENT_USER, kOtherKey, "Value", "user");
  check({{0, ERROR_SUCCESS, "user"},
         {1, ERROR_SUCCESS, "user"},
         {2, ERROR_FILE_NOT_FOUND, nullptr},
         {4, ERROR_SUCCESS, "user"}});

  // The machine key exists but lacks the value: the user's is not looked at.
  test::CreateRegKey(HKEY_LOCAL_MACHINE, kOtherKey);
  check({{0, ERROR_SUCCESS, "user"},
         {2, ERROR_FILE_NOT_FOUND, nullptr},
         {4, ERROR_FILE_NOT_FOUND, nullptr}});

  test::SetRegValue(HKEY_LOCAL_MACHINE, kOtherKey, "Value", "machine");
  check({{0, ERROR_SUCCESS, "user"},
         {1, ERROR_SUCCESS, "user"},
         {2, ERROR_SUCCESS, "machine"},
         {4, ERROR_SUCCESS, "machine"},
         {3, ERROR_SUCCESS, "user"}});
}

TEST_F(UILanguageTest, ReadRegistryValueBufferLimits) {
  test::SetRegValue(HKEY_CURRENT_USER, kOtherKey, "Value", "abcdef");
  char buffer[8];
  std::memset(buffer, '#', sizeof(buffer));
  EXPECT_EQ(ReadRegistryValue(kOtherKey, "Value", buffer, 6, 0), ERROR_MORE_DATA);
  EXPECT_EQ(ReadRegistryValue(kOtherKey, "Value", buffer, 7, 0), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "abcdef");
  EXPECT_EQ(buffer[7], '#');
  EXPECT_NE(ReadRegistryValue(kOtherKey, "Value", nullptr, 7, 0), ERROR_SUCCESS);

  // Binary data that fills the buffer has no room for the terminating NUL.
  HKEY key = nullptr;
  ASSERT_STATUS_OK(RegOpenKeyExA(HKEY_CURRENT_USER, kOtherKey, 0, KEY_SET_VALUE, &key));
  const BYTE bytes[4] = {'w', 'x', 'y', 'z'};
  ASSERT_STATUS_OK(RegSetValueExA(key, "Binary", 0, REG_BINARY, bytes, sizeof(bytes)));
  RegCloseKey(key);
  EXPECT_EQ(ReadRegistryValue(kOtherKey, "Binary", buffer, 4, 0), ERROR_MORE_DATA);
  EXPECT_EQ(ReadRegistryValue(kOtherKey, "Binary", buffer, 5, 0), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, "wxyz");
}

struct MethodRow {
  const char* name;
  const char* locale;
  std::optional<std::string> method;        // HKCU "Language Search Method"
  std::optional<std::string> default_code;  // HKCU "Default UI Language"
  std::optional<std::string> global_code;   // HKLM "Global Default UI Language"
  std::optional<std::string> available;     // HKLM "Available UI Languages"
  DWORD status;
  const char* extension;
};

TEST_F(UILanguageTest, SearchMethods) {
  const std::vector<MethodRow> rows = {
      {"user language French", "fr_FR.UTF-8", std::nullopt, std::nullopt, std::nullopt,
       "eng fra", ERROR_SUCCESS, ".fra"},
      {"method 0 ignores the default", "de_DE", "0", "fra", std::nullopt, "eng fra deu",
       ERROR_SUCCESS, ".deu"},
      {"method 1 takes the default", "fr_FR", "1", "deu", std::nullopt, "eng deu fra",
       ERROR_SUCCESS, ".deu"},
      {"method 1 default not available", "fr_FR", "1", "ita", "fra", "eng fra",
       ERROR_SUCCESS, ".fra"},
      {"method 1 empty default, global", "en_US", "1", "", "fra", "eng fra",
       ERROR_SUCCESS, ".fra"},
      {"method 1 empty default, first", "fr_FR", "1", "", std::nullopt, "deu fra",
       ERROR_SUCCESS, ".deu"},
      {"method 7 is method 0", "fr_FR", "7", "deu", std::nullopt, "eng fra deu",
       ERROR_SUCCESS, ".fra"},
      {"method 2 is method 0", "it_IT", "2", "deu", std::nullopt, "deu ita",
       ERROR_SUCCESS, ".ita"},
      {"method text with digits first", "fr_FR", "1x", "deu", std::nullopt, "fra deu",
       ERROR_SUCCESS, ".deu"},
      {"Dutch has no code", "nl_NL", std::nullopt, std::nullopt, "eng", "fra eng",
       ERROR_SUCCESS, ".eng"},
      {"Dutch without global", "nl_NL", std::nullopt, std::nullopt, std::nullopt,
       "prt jpn", ERROR_SUCCESS, ".prt"},
      {"global not available", "ja_JP", std::nullopt, std::nullopt, "deu", "eng fra",
       ERROR_SUCCESS, ".eng"},
      {"leading blanks", "ja_JP", std::nullopt, std::nullopt, std::nullopt,
       " \t  eng\tfra", ERROR_SUCCESS, ".eng"},
      {"substring of a longer word", "fr_FR", std::nullopt, std::nullopt, std::nullopt,
       "eng,frais", ERROR_SUCCESS, ".fra"},
      {"empty global does not match", "ja_JP", std::nullopt, std::nullopt, "", "deu eng",
       ERROR_SUCCESS, ".deu"},
      {"default with its dot", "fr_FR", "1", ".deu", std::nullopt, "eng .deu",
       ERROR_SUCCESS, ".deu"},
      {"nothing available", "fr_FR", std::nullopt, std::nullopt, "fra", std::nullopt,
       ERROR_FUNCTION_FAILED, "(failed)"},
      {"only blanks available", "fr_FR", std::nullopt, std::nullopt, std::nullopt, " \t ",
       ERROR_FUNCTION_FAILED, "(failed)"},
  };
  for (const MethodRow& row : rows) {
    SCOPED_TRACE(row.name);
    (void)RegDeleteTreeA(HKEY_CURRENT_USER, "Software");
    (void)RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software");
    test::CreateRegKey(HKEY_CURRENT_USER, kKey);
    test::CreateRegKey(HKEY_LOCAL_MACHINE, kKey);
    SetUserLocale(row.locale);
    if (row.method)
      test::SetRegValue(HKEY_CURRENT_USER, kKey, "Language Search Method", *row.method);
    if (row.default_code)
      test::SetRegValue(HKEY_CURRENT_USER, kKey, "Default UI Language",
                        *row.default_code);
    if (row.global_code)
      test::SetRegValue(HKEY_LOCAL_MACHINE, kKey, "Global Default UI Language",
                        *row.global_code);
    if (row.available)
      test::SetRegValue(HKEY_LOCAL_MACHINE, kKey, "Available UI Languages",
                        *row.available);
    DWORD status = 0;
    EXPECT_EQ(Extension(&status), row.extension);
    EXPECT_EQ(status, row.status);
    const std::string code = row.status == ERROR_SUCCESS ? row.extension + 1 : "";
    EXPECT_EQ(GetUILanguageCode(), code);
  }
}

TEST_F(UILanguageTest, SettingsHonourTheirHives) {
  SetUserLocale("fr_FR");
  // The global default is read from the machine only, the method and default from
  // the user first.
  test::SetRegValue(HKEY_LOCAL_MACHINE, kKey, "Language Search Method", "0");
  test::SetRegValue(HKEY_CURRENT_USER, kKey, "Language Search Method", "1");
  test::SetRegValue(HKEY_CURRENT_USER, kKey, "Global Default UI Language", "ita");
  test::SetRegValue(HKEY_LOCAL_MACHINE, kKey, "Available UI Languages", "deu ita fra");
  EXPECT_EQ(GetUILanguageCode(), "deu");
  test::SetRegValue(HKEY_LOCAL_MACHINE, kKey, "Default UI Language", "fra");
  EXPECT_EQ(GetUILanguageCode(), "deu");
  test::SetRegValue(HKEY_CURRENT_USER, kKey, "Default UI Language", "ita");
  EXPECT_EQ(GetUILanguageCode(), "ita");

  // Available languages under the user are hidden by the machine key.
  test::SetRegValue(HKEY_CURRENT_USER, kKey, "Available UI Languages", "jpn");
  EXPECT_EQ(GetUILanguageCode(), "ita");
  ASSERT_STATUS_OK(RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software"));
  EXPECT_EQ(GetUILanguageCode(), "jpn");
}

TEST_F(UILanguageTest, CallerBufferIsNeverOverrun) {
  SetUserLocale("fr_FR");
  test::SetRegValue(HKEY_LOCAL_MACHINE, kKey, "Available UI Languages", "fra");
  char buffer[8];
  std::memset(buffer, '#', sizeof(buffer));
  EXPECT_EQ(GetUILanguageExtension(kKey, buffer, 3), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, ".f");
  EXPECT_EQ(buffer[3], '#');
  EXPECT_EQ(GetUILanguageExtension(kKey, buffer, 0), ERROR_FUNCTION_FAILED);
  EXPECT_EQ(GetUILanguageExtension(kKey, nullptr, 8), ERROR_FUNCTION_FAILED);

  // A value as long as the registry buffer allows.
  test::SetRegValue(HKEY_LOCAL_MACHINE, kKey, "Available UI Languages",
                    std::string(259, 'q'));
  std::string code = GetUILanguageCode();
  EXPECT_EQ(code, std::string(258, 'q'));
}

}  // namespace
}  // namespace kova
