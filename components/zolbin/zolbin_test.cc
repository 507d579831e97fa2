#include "zolbin.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

#include "tests/test_util.h"

namespace {

using kova::test::ScopedEnv;

constexpr char kSentinel = '#';

// Calls the look-up into a sentinel-filled buffer of `size` characters inside a
// larger one, so that writes past `size` show.
std::string LookUp(int which, int kind, int size, bool* overflowed) {
  std::string area(static_cast<std::size_t>(size) + 16, kSentinel);
  kova_ordinal_34(which, kind, area.data(), size);
  *overflowed = area.find_first_not_of(kSentinel, static_cast<std::size_t>(size)) !=
                std::string::npos;
  return std::string(area.c_str(), strnlen(area.c_str(), static_cast<std::size_t>(size)));
}

TEST(ZolbinTest, DirectoriesFromTheEnvironmentInBackslashForm) {
  struct Row {
    const char* name;
    std::optional<std::string> userdir, userfiledir, xdg, home;
    std::string wantUser, wantUserFile;
  };
  const Row rows[] = {
      {"set", "/srv/u", "/srv/f/", "/x", "/h", "\\srv\\u", "\\srv\\f\\"},
      {"set but empty", "", "", "/x", "/h", "", ""},
      {"xdg", std::nullopt, std::nullopt, "/data/", "/h", "\\data\\corvanta\\user",
       "\\data\\corvanta\\userfiles"},
      {"home", std::nullopt, std::nullopt, std::nullopt, "/home/a",
       "\\home\\a\\.local\\share\\corvanta\\user",
       "\\home\\a\\.local\\share\\corvanta\\userfiles"},
      {"relative xdg ignored", std::nullopt, std::nullopt, "rel", "/home/b",
       "\\home\\b\\.local\\share\\corvanta\\user",
       "\\home\\b\\.local\\share\\corvanta\\userfiles"},
      {"no home", std::nullopt, std::nullopt, std::nullopt, std::nullopt, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedEnv userdir("KOVA_USERDIR", row.userdir);
    ScopedEnv userfiledir("KOVA_USERFILEDIR", row.userfiledir);
    ScopedEnv xdg("XDG_DATA_HOME", row.xdg);
    ScopedEnv home("HOME", row.home);
    bool overflowed = false;
    EXPECT_EQ(LookUp(18, 0, 260, &overflowed), row.wantUser);
    EXPECT_FALSE(overflowed);
    EXPECT_EQ(LookUp(1, 3, 260, &overflowed), row.wantUserFile);
    EXPECT_FALSE(overflowed);
  }
}

TEST(ZolbinTest, OtherPairsAndSmallBuffersGiveNothing) {
  ScopedEnv userdir("KOVA_USERDIR", std::string("/srv/user"));
  bool overflowed = false;
  EXPECT_EQ(LookUp(18, 1, 260, &overflowed), "");
  EXPECT_EQ(LookUp(1, 0, 260, &overflowed), "");
  // "\srv\user" is 9 characters: 10 fit with the NUL, 9 do not.
  EXPECT_EQ(LookUp(18, 0, 10, &overflowed), "\\srv\\user");
  EXPECT_FALSE(overflowed);
  EXPECT_EQ(LookUp(18, 0, 9, &overflowed), "");
  EXPECT_FALSE(overflowed);
  EXPECT_EQ(kova_ordinal_34(18, 0, nullptr, 260), 0u);
  char one = kSentinel;
  EXPECT_EQ(kova_ordinal_34(18, 0, &one, 0), 0u);
  EXPECT_EQ(one, kSentinel);
}

}  // namespace
