#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fileapi.h"
#include "shellapi.h"
#include "tests/test_util.h"
#include "winerror.h"

namespace {

using kova::test::PathExists;
using kova::test::ReadFileBytes;
using kova::test::WriteFileBytes;

class ShellFileOperationTest : public kova::test::IsolatedTest {
 protected:
  ShellFileOperationTest() {
    // src\one.txt, src\two.txt, src\three.dat, src\tree\leaf.txt,
    // src\tree\deep\bottom.txt
    for (const char* name :
         {"one.txt", "two.txt", "three.dat", "tree/leaf.txt", "tree/deep/bottom.txt"}) {
      std::filesystem::create_directories(
          std::filesystem::path(Os("src/" + std::string(name))).parent_path());
      WriteFileBytes(Os("src/" + std::string(name)),
                     std::string("bytes of ") + name + '\0');
    }
  }

  std::string Os(std::string relative) {
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return root().OsPath(relative);
  }
  std::string Win(const std::string& relative) { return root().WinPath(relative); }
  std::string Bytes(const std::string& name) {
    return std::string("bytes of ") + name + '\0';
  }

  // Runs the operation on lists of names below the test folder (an empty `to`
  // passes no destination) and returns its result; aborted_ gets the flag.
  int Run(UINT func, const std::vector<std::string>& from,
          const std::vector<std::string>& to,
          FILEOP_FLAGS flags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_SILENT) {
    std::string from_list, to_list;
    for (const std::string& name : from) from_list += Win(name) + '\0';
    for (const std::string& name : to) to_list += Win(name) + '\0';
    from_list += '\0';
    to_list += '\0';
    SHFILEOPSTRUCTA op;
    std::memset(&op, 0, sizeof op);
    op.wFunc = func;
    op.pFrom = from_list.c_str();
    op.pTo = to.empty() ? nullptr : to_list.c_str();
    op.fFlags = flags;
    op.fAnyOperationsAborted = 0x5A5A;
    const int result = SHFileOperationA(&op);
    aborted_ = op.fAnyOperationsAborted;
    return result;
  }

  BOOL aborted_ = FALSE;
};

TEST_F(ShellFileOperationTest, CopiesSeveralSourcesIntoAFolderItCreates) {
  ASSERT_EQ(Run(FO_COPY, {"src\\one.txt", "src\\tree"}, {"out\\new"}), 0);
  EXPECT_FALSE(aborted_);
  EXPECT_EQ(ReadFileBytes(Os("out/new/one.txt")), Bytes("one.txt"));
  EXPECT_EQ(ReadFileBytes(Os("out/new/tree/deep/bottom.txt")),
            Bytes("tree/deep/bottom.txt"));
  EXPECT_TRUE(PathExists(Os("src/one.txt"))) << "a copy keeps the source";
}

TEST_F(ShellFileOperationTest, OneSourceTakesTheDestinationAsItsNewName) {
  // The publishing case: a file to a path whose folders do not exist yet.
  ASSERT_EQ(Run(FO_COPY, {"src\\one.txt"}, {"kova\\Lumaset\\x.file"}), 0);
  EXPECT_EQ(ReadFileBytes(Os("kova/Lumaset/x.file")), Bytes("one.txt"));

  // Overwriting asks nothing, also for a read-only file.
  chmod(Os("kova/Lumaset/x.file").c_str(), 0444);
  ASSERT_EQ(Run(FO_COPY, {"src\\two.txt"}, {"kova\\Lumaset\\x.file"}), 0);
  EXPECT_EQ(ReadFileBytes(Os("kova/Lumaset/x.file")), Bytes("two.txt"));

  ASSERT_EQ(Run(FO_COPY, {"src\\tree"}, {"copied"}), 0);
  EXPECT_EQ(ReadFileBytes(Os("copied/leaf.txt")), Bytes("tree/leaf.txt"));
  ASSERT_EQ(Run(FO_COPY, {"src\\tree"}, {"copied"}), 0)
      << "an existing folder takes it in";
  EXPECT_EQ(ReadFileBytes(Os("copied/tree/deep/bottom.txt")),
            Bytes("tree/deep/bottom.txt"));
}

TEST_F(ShellFileOperationTest, WildcardsSelectInTheLastElement) {
  ASSERT_EQ(Run(FO_COPY, {"src\\*.TXT"}, {"texts"}), 0);
  EXPECT_TRUE(PathExists(Os("texts/one.txt")));
  EXPECT_TRUE(PathExists(Os("texts/two.txt")));
  EXPECT_FALSE(PathExists(Os("texts/three.dat")));
  EXPECT_FALSE(PathExists(Os("texts/tree")));

  ASSERT_EQ(Run(FO_COPY, {"src\\*.*"}, {"files"}, FOF_FILESONLY | FOF_NOCONFIRMATION), 0);
  EXPECT_TRUE(PathExists(Os("files/three.dat")));
  EXPECT_FALSE(PathExists(Os("files/tree"))) << "FOF_FILESONLY leaves folders out";

  ASSERT_EQ(Run(FO_MOVE, {"src\\t*"}, {"moved"}), 0);
  EXPECT_EQ(ReadFileBytes(Os("moved/tree/leaf.txt")), Bytes("tree/leaf.txt"));
  EXPECT_TRUE(PathExists(Os("moved/three.dat")));
  EXPECT_FALSE(PathExists(Os("src/tree")));
  EXPECT_TRUE(PathExists(Os("src/one.txt")));
  EXPECT_EQ(Run(FO_DELETE, {"src\\*.none"}, {}), 0) << "a wildcard may match nothing";
}

TEST_F(ShellFileOperationTest, MoveMergesIntoAnExistingFolder) {
  std::filesystem::create_directories(Os("dest/tree"));
  WriteFileBytes(Os("dest/tree/leaf.txt"), "old leaf");
  WriteFileBytes(Os("dest/tree/other.txt"), "other");
  ASSERT_EQ(Run(FO_MOVE, {"src\\tree"}, {"dest"}), 0);
  EXPECT_EQ(ReadFileBytes(Os("dest/tree/leaf.txt")), Bytes("tree/leaf.txt"));
  EXPECT_EQ(ReadFileBytes(Os("dest/tree/other.txt")), "other");
  EXPECT_EQ(ReadFileBytes(Os("dest/tree/deep/bottom.txt")),
            Bytes("tree/deep/bottom.txt"));
  EXPECT_FALSE(PathExists(Os("src/tree")));
}

TEST_F(ShellFileOperationTest, RenameRefusesAnExistingName) {
  ASSERT_EQ(Run(FO_RENAME, {"src\\one.txt"}, {"src\\uno.txt"}, FOF_SILENT), 0);
  EXPECT_FALSE(aborted_);
  EXPECT_EQ(ReadFileBytes(Os("src/uno.txt")), Bytes("one.txt"));
  ASSERT_EQ(Run(FO_RENAME, {"src\\tree"}, {"renamed"}, FOF_SILENT), 0);
  EXPECT_TRUE(PathExists(Os("renamed/deep/bottom.txt")));

  struct Row {
    std::vector<std::string> from, to;
    int result;
  } rows[] = {
      {{"src\\uno.txt"}, {"src\\two.txt"}, ERROR_ALREADY_EXISTS},
      {{"src\\missing.txt"}, {"src\\x.txt"}, ERROR_FILE_NOT_FOUND},
      {{"src\\uno.txt", "src\\two.txt"}, {"src\\x.txt"}, ERROR_INVALID_PARAMETER},
      {{"src\\*.txt"}, {"src\\x.txt"}, ERROR_INVALID_PARAMETER},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.from[0]);
    EXPECT_EQ(Run(FO_RENAME, row.from, row.to, FOF_SILENT), row.result);
    EXPECT_TRUE(aborted_);
  }
  EXPECT_EQ(ReadFileBytes(Os("src/two.txt")), Bytes("two.txt"));
  EXPECT_EQ(ReadFileBytes(Os("src/uno.txt")), Bytes("one.txt"));
}

TEST_F(ShellFileOperationTest, DeleteRemovesTreesAndReportsWhatItCouldNotDo) {
  chmod(Os("src/tree/leaf.txt").c_str(), 0444);
  ASSERT_EQ(Run(FO_DELETE, {"src\\*.txt", "src\\tree"}, {}, FOF_NOCONFIRMATION), 0);
  EXPECT_FALSE(PathExists(Os("src/tree")));
  EXPECT_FALSE(PathExists(Os("src/one.txt")));
  EXPECT_TRUE(PathExists(Os("src/three.dat")));

  // As the temporary-folder cleanup calls it: one folder in a zero-filled buffer.
  char buffer[262] = {};
  const std::string folder = Win("src");
  std::memcpy(buffer, folder.c_str(), folder.size());
  SHFILEOPSTRUCTA op = {};
  op.wFunc = FO_DELETE;
  op.pFrom = buffer;
  op.fFlags = FOF_NOCONFIRMATION;
  EXPECT_EQ(SHFileOperationA(&op), 0);
  EXPECT_FALSE(op.fAnyOperationsAborted);
  EXPECT_FALSE(PathExists(Os("src")));
  EXPECT_TRUE(PathExists(root().os_path()));

  EXPECT_EQ(Run(FO_DELETE, {"src"}, {}), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(aborted_);
  EXPECT_EQ(Run(FO_DELETE, {"gone\\*"}, {}), ERROR_PATH_NOT_FOUND);
  EXPECT_TRUE(aborted_);
}

TEST_F(ShellFileOperationTest, StopsAtTheFirstFailureAndSetsAborted) {
  EXPECT_EQ(Run(FO_COPY, {"src\\one.txt", "src\\missing.txt", "src\\two.txt"}, {"out"}),
            ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(aborted_);
  EXPECT_TRUE(PathExists(Os("out/one.txt")));
  EXPECT_FALSE(PathExists(Os("out/two.txt")));

  EXPECT_EQ(Run(FO_COPY, {"src\\tree"}, {"src\\tree\\deep\\inside"}),
            ERROR_INVALID_PARAMETER)
      << "a folder into itself";
  EXPECT_FALSE(PathExists(Os("src/tree/deep/inside")));
  EXPECT_EQ(Run(FO_MOVE, {"src\\tree"}, {"src\\tree\\deep"}), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(PathExists(Os("src/tree/leaf.txt")));

  EXPECT_EQ(Run(FO_COPY, {"src\\one.txt", "src\\two.txt"}, {"src\\three.dat"}),
            ERROR_DIRECTORY)
      << "several items cannot go into a file";
  EXPECT_EQ(ReadFileBytes(Os("src/three.dat")), Bytes("three.dat"));
  EXPECT_EQ(Run(FO_COPY, {"src\\one.txt"}, {}), ERROR_INVALID_PARAMETER)
      << "no destination";
  EXPECT_EQ(Run(0x77, {"src\\one.txt"}, {"x"}), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SHFileOperationA(nullptr), ERROR_INVALID_PARAMETER);
}

TEST_F(ShellFileOperationTest, MultipleDestinationsPairWithTheirSources) {
  ASSERT_EQ(
      Run(FO_COPY, {"src\\one.txt", "src\\two.txt"}, {"a\\first.txt", "b\\second.txt"},
          FOF_MULTIDESTFILES | FOF_NOCONFIRMATION),
      0);
  EXPECT_EQ(ReadFileBytes(Os("a/first.txt")), Bytes("one.txt"));
  EXPECT_EQ(ReadFileBytes(Os("b/second.txt")), Bytes("two.txt"));
  EXPECT_EQ(Run(FO_COPY, {"src\\one.txt", "src\\two.txt", "src\\three.dat"},
                {"a\\x", "b\\y"}, FOF_MULTIDESTFILES),
            ERROR_INVALID_PARAMETER);
}

}  // namespace
