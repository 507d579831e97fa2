#include <optional>
#include <string>
#include <thread>

#include "tests/test_util.h"
#include "windows.h"

namespace {

using kova::test::ScopedEnv;

struct LocaleRow {
  std::optional<std::string> lc_all, lc_messages, lang;
  LANGID expected;
};

TEST(UserLanguage, FollowsTheLocaleEnvironmentInPosixPrecedence) {
  const std::nullopt_t unset = std::nullopt;
  const LocaleRow rows[] = {
      {unset, unset, "fr_FR.UTF-8", MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH)},
      {unset, unset, "en_US.UTF-8", 0x0409},
      {unset, unset, "en_GB", 0x0809},
      {unset, unset, "de_DE.UTF-8", 0x0407},
      {unset, unset, "es_ES.UTF-8", 0x0c0a},
      {unset, unset, "it_IT", 0x0410},
      {unset, unset, "ja_JP.eucJP", 0x0411},
      {unset, unset, "pt_BR.UTF-8", 0x0416},
      {unset, unset, "pt_PT.UTF-8", 0x0816},
      {unset, unset, "nl_NL.UTF-8@euro", 0x0413},
      {unset, unset, "fr_CA.UTF-8", 0x0c0c},
      {unset, unset, "fr", 0x040c},
      {unset, unset, "fr_SN.UTF-8", 0x040c},
      {unset, unset, "de_AT", 0x0c07},
      {unset, unset, "zh_CN.UTF-8", 0x0804},
      {unset, unset, "C", 0x0409},
      {unset, unset, "POSIX", 0x0409},
      {unset, unset, "C.UTF-8", 0x0409},
      {unset, unset, unset, 0x0409},
      {unset, unset, "", 0x0409},
      {unset, unset, "xx_YY.UTF-8", MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL)},
      // LC_ALL wins over LC_MESSAGES, which wins over LANG; empty counts as unset.
      {"de_DE.UTF-8", "fr_FR.UTF-8", "it_IT.UTF-8", 0x0407},
      {unset, "fr_FR.UTF-8", "it_IT.UTF-8", 0x040c},
      {"", "fr_FR.UTF-8", "it_IT.UTF-8", 0x040c},
      {"", "", "it_IT.UTF-8", 0x0410},
      {"C", "fr_FR.UTF-8", unset, 0x0409},
  };
  for (const LocaleRow& row : rows) {
    SCOPED_TRACE(testing::Message() << row.lc_all.value_or("(unset)") << " / "
                                    << row.lc_messages.value_or("(unset)") << " / "
                                    << row.lang.value_or("(unset)"));
    ScopedEnv lc_all("LC_ALL", row.lc_all);
    ScopedEnv lc_messages("LC_MESSAGES", row.lc_messages);
    ScopedEnv lang("LANG", row.lang);
    EXPECT_EQ(GetUserDefaultUILanguage(), row.expected);
    EXPECT_EQ(GetUserDefaultLangID(), row.expected);
    EXPECT_EQ(GetSystemDefaultLangID(), row.expected);
    EXPECT_EQ(GetUserDefaultLCID(), static_cast<LCID>(row.expected));
    EXPECT_EQ(GetSystemDefaultLCID(), static_cast<LCID>(row.expected));
  }
}

TEST(ThreadLocale, StartsAsUserDefaultAndIsPerThread) {
  ScopedEnv lc_all("LC_ALL", std::nullopt);
  ScopedEnv lc_messages("LC_MESSAGES", std::nullopt);
  ScopedEnv lang("LANG", "fr_FR.UTF-8");
  LCID other_thread_start = 0, other_thread_after = 0;
  std::thread([&] {
    other_thread_start = GetThreadLocale();
    EXPECT_WIN_OK(SetThreadLocale(MAKELCID(0x0407, SORT_DEFAULT)));
    other_thread_after = GetThreadLocale();
  }).join();
  EXPECT_EQ(other_thread_start, 0x040cu);
  EXPECT_EQ(other_thread_after, 0x0407u);

  std::thread([] {
    EXPECT_EQ(GetThreadLocale(), 0x040cu);
    EXPECT_WIN_OK(SetThreadLocale(MAKELCID(0x0411, SORT_DEFAULT)));
    EXPECT_EQ(GetThreadLocale(), 0x0411u);
    EXPECT_WIN_OK(SetThreadLocale(LOCALE_USER_DEFAULT));
    EXPECT_EQ(GetThreadLocale(), 0x040cu);

    for (LCID bad : {LCID{0x0477}, MAKELCID(0x0409, 1)}) {
      SCOPED_TRACE(bad);
      SetLastError(0xdeadbeef);
      EXPECT_FALSE(SetThreadLocale(bad));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
      EXPECT_EQ(GetThreadLocale(), 0x040cu);
    }
  }).join();
}

}  // namespace
