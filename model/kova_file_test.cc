#include "model/kova_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "model/kova.h"
#include "model/two_kovas_fixture.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using KovaFileTest = test::TwoKovasTest;

TEST_F(KovaFileTest, KovaPathsAndPlainPathsResolve) {
  test::WriteFileBytes(root().OsPath("plain.ini"), "[s]\r\nk=plain\r\n");
  test::WriteFileBytes(root().OsPath("sales/in.ini"), "");
  const std::string plain = root().WinPath("plain.ini");
  const std::string missing = root().WinPath("missing.ini");
  struct Row {
    std::string path;
    CKova* kova;
    std::string opened;
    std::string local;
  } rows[] = {
      {"<Sales>\\a.ini", sales_, "<Sales>\\a.ini", salesDir_ + "a.ini"},
      {"<sales2>\\sub\\b.ini  ", sales2_, "<sales2>\\sub\\b.ini",
       sales2Dir_ + "sub\\b.ini"},
      // An existing absolute file outside every Kova is used as it is, without
      // its trailing white space.
      {plain, nullptr, plain, plain},
      {plain + " \t", nullptr, plain, plain},
      // Missing, it belongs to the default Kova, whose conversions keep it.
      {missing, sales_, missing, missing},
      // Short (under 8 characters) or relative paths are not plain either.
      {"\\tmp", sales_, "\\tmp", "\\tmp"},
      {"plain.ini", sales_, "plain.ini", "plain.ini"},
      // A file in the default Kova's folder becomes its Kova path, never plain.
      {Upper(salesDir_) + "In.ini", sales_, "<Sales>\\In.ini", salesDir_ + "In.ini"},
      {"<Other>\\c.ini", sales_, "<Other>\\c.ini", "<Other>\\c.ini"},
      {"", nullptr, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    CKovaFile file(row.path, kovas_.get());
    EXPECT_EQ(file.kova(), row.kova);
    EXPECT_EQ(file.openedPath(), row.opened);
    EXPECT_EQ(file.localPath(), row.local);
    EXPECT_FALSE(file.modified());
  }
}

TEST_F(KovaFileTest, PlainFolderIsPlainToo) {
  ASSERT_WIN_OK(CreateDirectoryA(root().WinPath("folder").c_str(), nullptr));
  CKovaFile file(root().WinPath("folder"), kovas_.get());
  EXPECT_EQ(file.kova(), nullptr);
  EXPECT_EQ(file.localPath(), root().WinPath("folder"));
}

TEST_F(KovaFileTest, OpenReleasesTheCurrentPathAndKeepsTheCollection) {
  CKovaFile file("<Sales>\\a.ini", kovas_.get());
  file.SetProfileString("s", "k", "v", nullptr);
  EXPECT_TRUE(file.modified());
  file.Open("<Sales2>\\b.ini");
  EXPECT_FALSE(file.modified());
  EXPECT_EQ(file.kova(), sales2_);
  EXPECT_EQ(file.openedPath(), "<Sales2>\\b.ini");
  EXPECT_EQ(file.localPath(), sales2Dir_ + "b.ini");

  file.Open("");
  EXPECT_EQ(file.kova(), nullptr);
  EXPECT_EQ(file.openedPath(), "");
  EXPECT_EQ(file.localPath(), "");
  file.Open("<Sales>\\c.ini");
  EXPECT_EQ(file.kova(), sales_);
  EXPECT_TRUE(file.Release());
  EXPECT_EQ(file.kova(), nullptr);
  EXPECT_EQ(file.localPath(), "");
}

TEST_F(KovaFileTest, WithoutCollectionReadsItsOwn) {
  CKovaFile file("<Sales2>\\a.ini", nullptr);
  ASSERT_NE(file.kova(), nullptr);
  EXPECT_EQ(file.kova()->name(), "Sales2");
  EXPECT_NE(file.kova(), sales2_);
  EXPECT_EQ(file.localPath(), sales2Dir_ + "a.ini");
  // Re-opening keeps resolving on the same own collection.
  CKova* own = file.kova();
  file.Open("<Sales2>\\b.ini");
  EXPECT_EQ(file.kova(), own);
}

TEST_F(KovaFileTest, EveryWriteMarksModifiedEvenWithoutLocalPath) {
  CKovaFile unresolved("", kovas_.get());
  unresolved.SetProfileString("s", "k", "v", nullptr);
  EXPECT_TRUE(unresolved.modified());

  CKovaFile file("<Sales>\\m.ini", kovas_.get());
  file.SetProfileString("s", "k", nullptr, nullptr);
  EXPECT_TRUE(file.modified());
  // Removing from a file that does not exist creates nothing.
  EXPECT_FALSE(test::PathExists(root().OsPath("sales/m.ini")));
}

// Profile values through the loaded file.
class KovaFileProfileTest : public test::TwoKovasTest {
 protected:
  std::string Get(CKovaFile& file, const char* key, DWORD size = 256,
                  const char* defaultValue = "<default>") {
    std::string buffer(size + 8, '\x7f');
    const DWORD copied =
        file.GetProfileString("S", key, defaultValue, buffer.data(), size);
    EXPECT_EQ(copied, std::strlen(buffer.c_str()));
    return buffer.c_str();
  }
  std::string FileText() { return test::ReadFileBytes(root().OsPath("sales/p.ini")); }
};

TEST_F(KovaFileProfileTest, QuotedValuesReadBackAsWritten) {
  CKovaFile file("<Sales>\\p.ini", kovas_.get());
  const char* values[] = {" lead", "trail ", "'abc'", "'open", "\"dq\"", "plain", "a'b"};
  int n = 0;
  for (const char* value : values) {
    SCOPED_TRACE(value);
    const std::string key = "k" + std::to_string(n++);
    file.SetProfileString("S", key.c_str(), value, nullptr);
    EXPECT_EQ(Get(file, key.c_str()), value);
  }
  const std::string text = FileText();
  EXPECT_NE(text.find("k0=' lead'"), std::string::npos) << text;
  EXPECT_NE(text.find("k2=''abc''"), std::string::npos) << text;
  EXPECT_NE(text.find("k3='open\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("k4=\"\"dq\"\""), std::string::npos) << text;
}

TEST_F(KovaFileProfileTest, EmptyValueOrEqualDefaultRemovesTheKey) {
  CKovaFile file("<Sales>\\p.ini", kovas_.get());
  file.SetProfileString("S", "gone", "x", nullptr);
  file.SetProfileString("S", "kept", "x", nullptr);
  file.SetProfileString("S", "same", "x", nullptr);
  file.SetProfileString("S", "other", "x", nullptr);
  ASSERT_EQ(Get(file, "gone"), "x");
  file.SetProfileString("S", "gone", "", nullptr);
  EXPECT_EQ(Get(file, "gone"), "<default>");
  // With a default: a value equal to it ignoring case removes the key, another
  // value is written.
  file.SetProfileString("S", "same", "VALUE", "value");
  file.SetProfileString("S", "other", "new", "value");
  EXPECT_EQ(Get(file, "same"), "<default>");
  EXPECT_EQ(Get(file, "other"), "new");
  EXPECT_EQ(Get(file, "kept"), "x");
  const std::string text = FileText();
  EXPECT_EQ(text.find("gone"), std::string::npos) << text;
  EXPECT_EQ(text.find("same"), std::string::npos) << text;
}

TEST_F(KovaFileProfileTest, ReadsCutDefaultAndMissingFile) {
  CKovaFile missing("<Sales>\\none.ini", kovas_.get());
  EXPECT_EQ(Get(missing, "k"), "<default>");
  EXPECT_EQ(missing.GetProfileInt("S", "n", 17), 17u);
  EXPECT_FALSE(test::PathExists(root().OsPath("sales/none.ini")));

  test::WriteFileBytes(root().OsPath("sales/p.ini"), "[S]\r\nlong=abcdef\r\nn=42\r\n");
  CKovaFile file("<Sales>\\p.ini", kovas_.get());
  EXPECT_EQ(Get(file, "long", 4), "abc");
  EXPECT_EQ(Get(file, "long", 7), "abcdef");
  EXPECT_EQ(Get(file, "absent", 256, "dflt"), "dflt");
  EXPECT_EQ(file.GetProfileInt("S", "n", 17), 42u);
  EXPECT_EQ(file.GetProfileInt("S", "absent", -3), static_cast<UINT>(-3));
}

TEST_F(KovaFileProfileTest, ReadAllTextIsATextCopy) {
  test::WriteFileBytes(root().OsPath("sales/p.ini"), std::string("[S]\r\nk=v\0tail", 13));
  CKovaFile file("<Sales>\\p.ini", kovas_.get());
  EXPECT_EQ(file.ReadAllText(), "[S]\r\nk=v");
  CKovaFile missing("<Sales>\\none.ini", kovas_.get());
  EXPECT_EQ(missing.ReadAllText(), "");
}

}  // namespace
}  // namespace kova
