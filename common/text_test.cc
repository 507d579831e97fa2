#include "common/text.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kova {
namespace {

TEST(TextTest, ComparisonsFoldAsciiOnly) {
  EXPECT_TRUE(EqualsIgnoreCase("Work", "wORK"));
  EXPECT_FALSE(EqualsIgnoreCase("Work", "Works"));
  EXPECT_FALSE(EqualsIgnoreCase("\xc3\x89", "\xc3\xa9"));  // no folding beyond ASCII
  EXPECT_TRUE(StartsWithIgnoreCase("<Work>\\a", "<work>\\"));
  EXPECT_FALSE(StartsWithIgnoreCase("<Wo", "<work>\\"));
  EXPECT_TRUE(EndsWithIgnoreCase("a.LMS", ".lms"));
  EXPECT_LT(CompareIgnoreCase("abc", "ABD"), 0);
  EXPECT_GT(CompareIgnoreCase("abcd", "ABC"), 0);
  EXPECT_EQ(CompareIgnoreCase("", ""), 0);
}

TEST(TextTest, FindIgnoreCase) {
  EXPECT_EQ(FindIgnoreCase("a$USERDIR$b", "$userdir$"), 1u);
  EXPECT_EQ(FindIgnoreCase("aXa", "x", 2), std::string_view::npos);
  EXPECT_EQ(FindIgnoreCase("abc", ""), 0u);
  EXPECT_EQ(FindIgnoreCase("abc", "", 3), 3u);
  EXPECT_EQ(FindIgnoreCase("abc", "", 4), std::string_view::npos);
  EXPECT_EQ(FindIgnoreCase("ab", "abc"), std::string_view::npos);
}

TEST(TextTest, CopyTruncatedNeverOverflows) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(CopyTruncated(buffer, 4, "abcdef"), 3u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], 'x');
  EXPECT_EQ(CopyTruncated(buffer, 0, "abc"), 0u);
  EXPECT_EQ(buffer[0], 'a');
  EXPECT_EQ(BoundedText("abc", 2), "ab");
  EXPECT_EQ(BoundedText("a\0c", 3), "a");
}

}  // namespace
}  // namespace kova
