#include "model/path_form.h"

#include <gtest/gtest.h>

#include "model/ptr_array.h"

namespace kova {
namespace {

TEST(ReplaceAllTest, ReplacesEveryOccurrenceIgnoringCase) {
  struct Row {
    const char* source;
    const char* find;
    const char* replacement;
    const char* want;
  } rows[] = {
      {"<Work>\\a\\<WORK>\\b", "<work>\\", "\\srv\\", "\\srv\\a\\\\srv\\b"},
      {"<Work>\\Keep", "<work>\\", "<WORK>\\", "<Work>\\Keep"},
      {"abc", "", "x", "abc"},
      {"", "a", "x", ""},
      {"aaa", "a", "", ""},
      {"aAa", "a", "aa", "aaaaaa"},
      {"<Work>\\", "<Work>\\", "", ""},
      {"MixedCase<k>\\Tail", "<K>\\", "/r/", "MixedCase/r/Tail"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.source);
    EXPECT_EQ(ReplaceAll(row.source, row.find, row.replacement), row.want);
  }
}

TEST(SeparatorsTest, BothDirections) {
  EXPECT_EQ(ToSystemSeparators("/srv/kovas/a.ini"), "\\srv\\kovas\\a.ini");
  EXPECT_EQ(ToOsSeparators("\\srv\\kovas\\"), "/srv/kovas/");
}

TEST(PtrArrayTest, GrowsByDoublingUpToItsBound) {
  int items[5] = {};
  PtrArray<int> array(4);
  EXPECT_EQ(array.capacity(), 0u);
  const std::size_t want_capacity[] = {1, 2, 4, 4};
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(array.Append(&items[i]));
    EXPECT_EQ(array.capacity(), want_capacity[i]);
  }
  // Doubling would pass the bound: the append fails and nothing changes.
  EXPECT_FALSE(array.Append(&items[4]));
  EXPECT_EQ(array.count(), 4);
  EXPECT_EQ(array.at(3), &items[3]);
  EXPECT_EQ(array.at(4), nullptr);
  EXPECT_EQ(array.at(-1), nullptr);

  EXPECT_EQ(array.RemoveAt(1), &items[1]);
  EXPECT_EQ(array.count(), 3);
  EXPECT_EQ(array.at(1), &items[2]);
  EXPECT_EQ(array.at(2), &items[3]);
  EXPECT_EQ(array.RemoveAt(3), nullptr);
  EXPECT_EQ(array.IndexOf(&items[3]), 2);
  EXPECT_EQ(array.IndexOf(&items[1]), -1);
  array.Clear(false);
  EXPECT_EQ(array.count(), 0);
  EXPECT_EQ(array.capacity(), 0u);
}

}  // namespace
}  // namespace kova
