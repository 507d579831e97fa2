#include "common/path_text.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

struct Row {
  const char* input;
  const char* expected;
};

TEST(PathTextTest, StripTrailingBackslashRemovesExactlyOne) {
  for (const Row& row : {Row{"a\\b\\", "a\\b"}, Row{"a\\b\\\\", "a\\b\\"}, Row{"a", "a"},
                         Row{"", ""}, Row{"\\", ""}}) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(StripTrailingBackslash(row.input), row.expected);
  }
}

TEST(PathTextTest, ParentPathDropsLastElementAndItsBackslash) {
  for (const Row& row : {Row{"c:\\a\\b", "c:\\a"}, Row{"c:\\a\\b\\", "c:\\a"},
                         Row{"name", "name"}, Row{"name\\", "name"}, Row{"\\srv", ""},
                         Row{"a\\b\\\\", "a\\b"}, Row{"", ""}}) {
    SCOPED_TRACE(row.input);
    EXPECT_EQ(ParentPath(row.input), row.expected);
  }
}

TEST(PathTextTest, JoinPathRules) {
  struct JoinRow {
    const char* base;
    const char* relative;
    const char* expected;
  };
  for (const JoinRow& row : {
           JoinRow{"c:\\base", "a.ini", "c:\\base\\a.ini"},
           JoinRow{"c:\\base\\", "a.ini", "c:\\base\\a.ini"},
           JoinRow{"c:\\base  ", "a.ini", "c:\\base\\a.ini"},
           JoinRow{"c:\\base", "\\sub\\", "c:\\base\\sub"},
           JoinRow{"c:\\base", "\\\\sub", "\\\\sub"},
           JoinRow{"c:\\base", "\\\\srv\\share  ", "\\\\srv\\share"},
           JoinRow{"c:\\base", "d:\\x", "d:\\x"},
           JoinRow{"c:\\base", "x:y", "x:y"},
           JoinRow{"c:\\base", "   ", ""},
           JoinRow{"c:\\base", "", ""},
           JoinRow{"", "a.ini", "a.ini"},
           JoinRow{"", "\\a.ini", "a.ini"},
           JoinRow{"c:\\base", "sub\\\\", "c:\\base\\sub\\"},
       }) {
    SCOPED_TRACE(std::string(row.base) + " + " + row.relative);
    EXPECT_EQ(JoinPath(row.base, row.relative), row.expected);
  }
}

TEST(PathTextTest, JoinPathOrBaseKeepsBaseForEmptyRelative) {
  EXPECT_EQ(JoinPathOrBase("c:\\base\\  ", ""), "c:\\base\\  ");
  EXPECT_EQ(JoinPathOrBase("c:\\base", " \t"), "c:\\base");
  EXPECT_EQ(JoinPathOrBase("c:\\base", "x"), "c:\\base\\x");
}

TEST(PathTextTest, NameAndExtensionParts) {
  EXPECT_EQ(FileNameOf("a\\b\\c.lms"), "c.lms");
  EXPECT_EQ(FileNameOf("c.lms"), "c.lms");
  EXPECT_EQ(FileNameOf("a\\"), "");
  EXPECT_EQ(StripExtension("a\\b.c\\d.lms"), "a\\b.c\\d");
  EXPECT_EQ(StripExtension("noext"), "noext");
  // The last dot counts even inside a folder name.
  EXPECT_EQ(StripExtension("a.b\\noext"), "a");
  EXPECT_EQ(ExtensionOf("a\\b.tar.gz"), ".gz");
  EXPECT_EQ(ExtensionOf("noext"), "");
  EXPECT_EQ(ExtensionOf("a."), ".");
  EXPECT_EQ(CutAtLastBackslash("a\\b\\c"), "a\\b");
  EXPECT_EQ(CutAtLastBackslash("abc"), "abc");
  EXPECT_EQ(CutAtLastBackslash("\\abc"), "");
}

}  // namespace
}  // namespace kova
