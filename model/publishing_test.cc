#include "model/publishing.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/error_message.h"
#include "files/message_box_log_test_util.h"
#include "model/kova.h"
#include "model/kova_item.h"
#include "model/two_kovas_fixture.h"
#include "tests/test_util.h"

namespace kova {
namespace {

namespace fs = std::filesystem;
using test::PathExists;
using test::ReadFileBytes;
using test::WriteFileBytes;

std::string OsForm(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// Sales is Kova A (the default), Sales2 is Kova B.
class PublishingTest : public test::TwoKovasTest {
 protected:
  // The box that says `path` is invalid.
  static std::string InvalidPathBox(const std::string& path) {
    std::string text;
    ComposeErrorMessage(ERROR_BAD_PATHNAME, path.c_str(), nullptr, &text);
    return test::BoxLine("Corvanta", text, MB_ICONERROR);
  }
  // Entries of the temporary folder (staging folders would be left there).
  std::vector<std::string> TempEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(temp_dir()))
      names.push_back(entry.path().filename().string());
    return names;
  }
};

TEST_F(PublishingTest, AFileLandsAtItsOwnPlaceInTheDestinationKova) {
  WriteFileBytes(root().OsPath("sales/Lumaset/x.file"), std::string("bin\0ary\r\n", 9));
  // Whatever folder of B is named, with or without its backslash, and missing
  // folders on the way are made.
  for (const char* folder : {"<Sales2>\\Sessions\\Deep", "<sales2>\\", "<Sales2>"}) {
    SCOPED_TRACE(folder);
    fs::remove_all(root().OsPath("sales2/Lumaset"));
    EXPECT_TRUE(PublishDependentFile("<Sales>\\Lumaset\\x.file", folder));
    EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/Lumaset/x.file")),
              std::string("bin\0ary\r\n", 9));
  }
  EXPECT_FALSE(PathExists(root().OsPath("sales2/Sessions")));
  // A file-system path inside A is taken as its Kova path.
  fs::remove_all(root().OsPath("sales2/Lumaset"));
  EXPECT_TRUE(PublishDependentFile(salesDir_ + "Lumaset\\x.file", "<Sales2>\\Sessions"));
  EXPECT_TRUE(PathExists(root().OsPath("sales2/Lumaset/x.file")));
  EXPECT_TRUE(MessageBoxLines().empty());
  EXPECT_TRUE(TempEntries().empty());
}

TEST_F(PublishingTest, AnExistingFileIsReplacedWithoutAQuestion) {
  WriteFileBytes(root().OsPath("sales/Lumaset/x.file"), "new");
  WriteFileBytes(root().OsPath("sales2/Lumaset/x.file"), "old and longer");
  EXPECT_TRUE(PublishDependentFile("<Sales>\\Lumaset\\x.file", "<Sales2>\\Sessions\\"));
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/Lumaset/x.file")), "new");
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales/Lumaset/x.file")), "new");
  EXPECT_TRUE(MessageBoxLines().empty());
}

// A file published into its own Kova would be copied onto itself; it keeps its
// contents.
TEST_F(PublishingTest, AFilePublishedOntoItselfKeepsItsContents) {
  WriteFileBytes(root().OsPath("sales/Lumaset/x.file"), "kept");
  EXPECT_FALSE(PublishDependentFile("<Sales>\\Lumaset\\x.file", "<Sales>\\Sessions\\"));
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales/Lumaset/x.file")), "kept");
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(PublishingTest, ADestinationInNoKovaShowsTheInvalidPathMessage) {
  WriteFileBytes(root().OsPath("sales/Lumaset/x.file"), "x");
  WriteFileBytes(root().OsPath("elsewhere/.keep"), "");
  const std::string outside = root().WinPath("elsewhere");
  struct Row {
    const char* label;
    std::string folder;
  };
  const Row rows[] = {
      {"empty", ""},
      {"a file-system folder", outside},
      {"an undefined Kova", "<Nowhere>\\Lumaset\\"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    EXPECT_FALSE(PublishDependentFile("<Sales>\\Lumaset\\x.file", row.folder));
  }
  const std::vector<std::string> boxes = MessageBoxLines();
  ASSERT_EQ(boxes.size(), 3u);
  for (const std::string& box : boxes)
    EXPECT_EQ(box, InvalidPathBox("<Sales>\\Lumaset\\x.file"));
  EXPECT_TRUE(fs::is_empty(root().OsPath("sales2")));
  EXPECT_FALSE(PathExists(root().OsPath("elsewhere/Lumaset")));
}

// A source that lies in no Kova is attributed to the default Kova, which does
// not contain it: the box names it and nothing is copied.
TEST_F(PublishingTest, ASourceOutsideItsKovaShowsTheInvalidPathMessage) {
  WriteFileBytes(root().OsPath("outside/y.file"), "y");
  const std::string plain = root().WinPath("outside\\y.file");
  EXPECT_FALSE(PublishDependentFile(plain, "<Sales2>\\"));
  EXPECT_FALSE(PublishDependentFile("relative\\y.file", "<Sales2>\\"));
  const std::vector<std::string> boxes = MessageBoxLines();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], InvalidPathBox(plain));
  EXPECT_EQ(boxes[1], InvalidPathBox("relative\\y.file"));
  EXPECT_TRUE(fs::is_empty(root().OsPath("sales2")));
}

TEST_F(PublishingTest, EveryOccurrenceOfTheSourceRootIsReplaced) {
  CKovaItem item;
  item.Set("<Sales>\\Lumaset\\<SALES>\\x.file", sales_);
  // The resolved source has both roots replaced by A's folder; the folder
  // separator doubled in between is one on the file system.
  WriteFileBytes(OsForm(sales_->ToResolvedPath(item.GetPath(FALSE))), "twice");
  ASSERT_TRUE(CopyItemToKova(item, sales2_));
  EXPECT_EQ(ReadFileBytes(
                OsForm(sales2_->ToResolvedPath("<Sales2>\\Lumaset\\<Sales2>\\x.file"))),
            "twice");
  EXPECT_FALSE(
      PathExists(OsForm(sales2_->ToResolvedPath("<Sales2>\\Lumaset\\<SALES>\\x.file"))));
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(PublishingTest, CopyItemToKovaRefusesItemsOutsideTheirKova) {
  CKovaItem none;
  none.Set("<Sales>\\a.file", nullptr);
  CKovaItem foreign;
  foreign.Set("<Sales2>\\a.file", sales_);
  WriteFileBytes(root().OsPath("sales/a.file"), "a");
  WriteFileBytes(root().OsPath("sales2/a.file"), "a2");
  EXPECT_FALSE(CopyItemToKova(none, sales2_));
  EXPECT_FALSE(CopyItemToKova(foreign, sales2_));
  const std::vector<std::string> boxes = MessageBoxLines();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], InvalidPathBox("<Sales>\\a.file"));
  EXPECT_EQ(boxes[1], InvalidPathBox("<Sales2>\\a.file"));
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/a.file")), "a2");

  CKovaItem item;
  item.Set("<Sales>\\a.file", sales_);
  EXPECT_FALSE(CopyItemToKova(item, nullptr));
  EXPECT_EQ(MessageBoxLines().size(), 2u);
}

TEST_F(PublishingTest, CopyToGoesThroughTheItemsKova) {
  WriteFileBytes(root().OsPath("sales/a.file"), "a");
  CKovaItem source;
  source.Set("<Sales>\\a.file", sales_);
  CKovaItem inB;
  inB.Set("<Sales2>\\b.file", sales2_);
  EXPECT_TRUE(source.CopyTo(inB, TRUE));
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/b.file")), "a");
  WriteFileBytes(root().OsPath("sales/a.file"), "changed");
  EXPECT_FALSE(source.CopyTo(inB, TRUE));
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/b.file")), "a");
  EXPECT_TRUE(source.CopyTo(inB, FALSE));
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/b.file")), "changed");

  // Without a Kova of its own the destination is a file-system path.
  CKovaItem local;
  local.Set(root().WinPath("local.file"), nullptr);
  EXPECT_TRUE(source.CopyTo(local, FALSE));
  EXPECT_EQ(ReadFileBytes(root().OsPath("local.file")), "changed");

  // Without a Kova the source cannot be resolved.
  CKovaItem unbound;
  unbound.Set(root().WinPath("local.file"), nullptr);
  EXPECT_FALSE(unbound.CopyTo(inB, FALSE));
}

TEST_F(PublishingTest, CopyItemsTakesSeveralItemsIntoAFolderInOneCopy) {
  CKovaItems items;
  for (const char* name : {"a.file", "b.file"}) {
    WriteFileBytes(root().OsPath(std::string("sales/") + name), name);
    ASSERT_TRUE(items.AddPath(std::string("<Sales>\\") + name, kovas_.get()));
  }
  CKovaItem folder;
  folder.Set("<Sales2>\\In", sales2_);
  EXPECT_TRUE(CopyItems(items, folder, kPublishShellFlags));
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/In/a.file")), "a.file");
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/In/b.file")), "b.file");

  // The first missing source stops the copy.
  fs::remove_all(root().OsPath("sales2/In"));
  ASSERT_TRUE(items.AddPath("<Sales>\\missing.file", kovas_.get()));
  CKovaItems reordered;
  reordered.Add(items.GetAt(2), TRUE);
  reordered.AppendClones(items);
  EXPECT_FALSE(CopyItems(reordered, folder, kPublishShellFlags));
  EXPECT_FALSE(PathExists(root().OsPath("sales2/In/a.file")));
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(PublishingTest, ShellOperationOnItemsUsesResolvedPaths) {
  CKovaItems none;
  EXPECT_TRUE(ShellOperationOnItems(none, nullptr, FO_DELETE, kStagingCleanUpShellFlags));

  WriteFileBytes(root().OsPath("sales/a.file"), "a");
  CKovaItems items;
  ASSERT_TRUE(items.AddPath("<Sales>\\a.file", kovas_.get()));
  CKovaItem target;
  target.Set("<Sales2>\\copied.file", sales2_);
  EXPECT_TRUE(ShellOperationOnItems(items, &target, FO_COPY, kPublishShellFlags));
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/copied.file")), "a");
  EXPECT_TRUE(
      ShellOperationOnItems(items, nullptr, FO_DELETE, kStagingCleanUpShellFlags));
  EXPECT_FALSE(PathExists(root().OsPath("sales/a.file")));

  // A resolved path longer than 260 characters is refused whole.
  WriteFileBytes(root().OsPath("sales/b.file"), "b");
  const std::string longName(261 - salesDir_.size(), 'n');
  WriteFileBytes(root().OsPath("sales/" + longName), "long");
  CKovaItems tooLong;
  ASSERT_TRUE(tooLong.AddPath("<Sales>\\b.file", kovas_.get()));
  ASSERT_TRUE(tooLong.AddPath("<Sales>\\" + longName, kovas_.get()));
  ASSERT_EQ(tooLong.GetAt(1)->GetPath(TRUE).size(), 261u);
  SetLastError(0xBEEF);
  EXPECT_FALSE(
      ShellOperationOnItems(tooLong, nullptr, FO_DELETE, kStagingCleanUpShellFlags));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILENAME_EXCED_RANGE});
  EXPECT_TRUE(PathExists(root().OsPath("sales/b.file")));
  EXPECT_TRUE(PathExists(root().OsPath("sales/" + longName)));
}

}  // namespace
}  // namespace kova
