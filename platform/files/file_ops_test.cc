#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>

#include "dbghelp.h"
#include "errhandlingapi.h"
#include "fileapi.h"
#include "io.h"
#include "tests/test_util.h"
#include "winerror.h"

namespace {

using kova::test::PathExists;
using kova::test::ReadFileBytes;
using kova::test::WriteFileBytes;

constexpr DWORD kSentinel = 0xdeadbeef;

class FileOpsTest : public kova::test::IsolatedTest {
 protected:
  // Relative names are written with backslashes, as the system writes them.
  std::string Os(std::string relative) {
    std::replace(relative.begin(), relative.end(), '\\', '/');
    return root().OsPath(relative);
  }
  std::string Win(const std::string& relative) { return root().WinPath(relative); }

  void MakeReadOnly(const std::string& relative) { chmod(Os(relative).c_str(), 0444); }

  mode_t ModeOf(const std::string& relative) {
    struct stat st;
    return stat(Os(relative).c_str(), &st) == 0 ? st.st_mode & 0777 : 0;
  }
};

TEST_F(FileOpsTest, DeleteFileRefusesFoldersAndReadOnlyFiles) {
  WriteFileBytes(Os("plain.txt"), "x");
  WriteFileBytes(Os("locked.txt"), "x");
  MakeReadOnly("locked.txt");
  std::filesystem::create_directory(Os("folder"));
  struct Row {
    const char* name;
    BOOL ok;
    DWORD error;
    bool exists_after;
  } rows[] = {
      {"plain.txt", TRUE, kSentinel, false},
      {"missing.txt", FALSE, ERROR_FILE_NOT_FOUND, false},
      {"missing\\x.txt", FALSE, ERROR_PATH_NOT_FOUND, false},
      {"folder", FALSE, ERROR_ACCESS_DENIED, true},
      {"locked.txt", FALSE, ERROR_ACCESS_DENIED, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetLastError(kSentinel);
    EXPECT_EQ(DeleteFileA(Win(row.name).c_str()), row.ok);
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(PathExists(Os(row.name)), row.exists_after);
  }
}

TEST_F(FileOpsTest, CopyFileCopiesBytesAndHonoursFailIfExists) {
  const std::string bytes("a\0b\r\n\xff\0", 7);
  WriteFileBytes(Os("src.bin"), bytes);
  ASSERT_WIN_OK(CopyFileA(Win("src.bin").c_str(), Win("copy.bin").c_str(), TRUE));
  EXPECT_EQ(ReadFileBytes(Os("copy.bin")), bytes) << "zero bytes are copied too";

  WriteFileBytes(Os("other.bin"), "other");
  SetLastError(kSentinel);
  EXPECT_FALSE(CopyFileA(Win("src.bin").c_str(), Win("other.bin").c_str(), TRUE));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_EXISTS});
  EXPECT_EQ(ReadFileBytes(Os("other.bin")), "other");
  ASSERT_WIN_OK(CopyFileA(Win("src.bin").c_str(), Win("other.bin").c_str(), FALSE));
  EXPECT_EQ(ReadFileBytes(Os("other.bin")), bytes);

  struct Row {
    const char* from;
    const char* to;
    DWORD error;
  } failures[] = {
      {"missing.bin", "x.bin", ERROR_FILE_NOT_FOUND},
      {"nofolder\\missing.bin", "x.bin", ERROR_PATH_NOT_FOUND},
      {"src.bin", "nofolder\\x.bin", ERROR_PATH_NOT_FOUND},
      {"src.bin", "src.bin", ERROR_SHARING_VIOLATION},
      {"src.bin", "", ERROR_ACCESS_DENIED},  // the root folder of the test
  };
  for (const Row& row : failures) {
    SCOPED_TRACE(::testing::Message() << row.from << " -> " << row.to);
    SetLastError(kSentinel);
    EXPECT_FALSE(CopyFileA(Win(row.from).c_str(), Win(row.to).c_str(), FALSE));
    EXPECT_EQ(GetLastError(), row.error);
  }
  EXPECT_FALSE(PathExists(Os("x.bin")));
  EXPECT_EQ(ReadFileBytes(Os("src.bin")), bytes) << "a copy onto itself keeps the file";
}

TEST_F(FileOpsTest, CopyFileKeepsReadOnlyAndRefusesToOverwriteIt) {
  WriteFileBytes(Os("src.txt"), "new");
  MakeReadOnly("src.txt");
  ASSERT_WIN_OK(CopyFileA(Win("src.txt").c_str(), Win("copy.txt").c_str(), FALSE));
  EXPECT_TRUE(GetFileAttributesA(Win("copy.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

  WriteFileBytes(Os("src2.txt"), "newer");
  SetLastError(kSentinel);
  EXPECT_FALSE(CopyFileA(Win("src2.txt").c_str(), Win("copy.txt").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
  EXPECT_EQ(ReadFileBytes(Os("copy.txt")), "new");
}

TEST_F(FileOpsTest, MoveFileRenamesFilesAndFolders) {
  WriteFileBytes(Os("a.txt"), "a");
  std::filesystem::create_directories(Os("tree\\sub"));
  WriteFileBytes(Os("tree\\sub\\leaf.txt"), "leaf");
  ASSERT_WIN_OK(MoveFileA(Win("a.txt").c_str(), Win("b.txt").c_str()));
  EXPECT_FALSE(PathExists(Os("a.txt")));
  EXPECT_EQ(ReadFileBytes(Os("b.txt")), "a");
  ASSERT_WIN_OK(MoveFileA(Win("tree").c_str(), Win("moved").c_str()));
  EXPECT_EQ(ReadFileBytes(Os("moved\\sub\\leaf.txt")), "leaf");

  WriteFileBytes(Os("c.txt"), "c");
  struct Row {
    const char* from;
    const char* to;
    DWORD error;
  } failures[] = {
      {"c.txt", "b.txt", ERROR_ALREADY_EXISTS},
      {"moved", "b.txt", ERROR_ALREADY_EXISTS},
      {"missing.txt", "d.txt", ERROR_FILE_NOT_FOUND},
      {"c.txt", "nofolder\\d.txt", ERROR_PATH_NOT_FOUND},
  };
  for (const Row& row : failures) {
    SCOPED_TRACE(::testing::Message() << row.from << " -> " << row.to);
    SetLastError(kSentinel);
    EXPECT_FALSE(MoveFileA(Win(row.from).c_str(), Win(row.to).c_str()));
    EXPECT_EQ(GetLastError(), row.error);
  }
  EXPECT_EQ(ReadFileBytes(Os("b.txt")), "a");
  EXPECT_EQ(ReadFileBytes(Os("c.txt")), "c");
}

TEST_F(FileOpsTest, MoveFileAcrossFileSystemsCopiesFilesOnly) {
  struct stat here, there;
  if (stat("/dev/shm", &there) != 0 || stat(Os("").c_str(), &here) != 0 ||
      here.st_dev == there.st_dev)
    GTEST_SKIP() << "needs /dev/shm on another file system than the test folder";
  kova::test::ScopedEnv tmpdir("TMPDIR", "/dev/shm");
  kova::test::TempDir other;
  const std::string target = other.WinPath("moved.bin");
  const std::string bytes("cross\0device", 12);
  WriteFileBytes(Os("local.bin"), bytes);
  chmod(Os("local.bin").c_str(), 0640);
  ASSERT_WIN_OK(MoveFileA(Win("local.bin").c_str(), target.c_str()));
  EXPECT_FALSE(PathExists(Os("local.bin")));
  EXPECT_EQ(ReadFileBytes(other.OsPath("moved.bin")), bytes);
  struct stat moved;
  ASSERT_EQ(stat(other.OsPath("moved.bin").c_str(), &moved), 0);
  EXPECT_EQ(moved.st_mode & 0777, 0640u);

  std::filesystem::create_directory(Os("folder"));
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileA(Win("folder").c_str(), other.WinPath("folder").c_str()));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NOT_SAME_DEVICE});
  EXPECT_TRUE(PathExists(Os("folder")));
}

TEST_F(FileOpsTest, AttributesReportFoldersFilesAndReadOnly) {
  WriteFileBytes(Os("f.txt"), "x");
  std::filesystem::create_directory(Os("d"));
  EXPECT_EQ(GetFileAttributesA(Win("d").c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  EXPECT_EQ(GetFileAttributesA(Win("f.txt").c_str()), DWORD{FILE_ATTRIBUTE_ARCHIVE});

  ASSERT_WIN_OK(SetFileAttributesA(Win("f.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesA(Win("f.txt").c_str()),
            DWORD{FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_READONLY});
  EXPECT_EQ(ModeOf("f.txt") & 0222, 0u) << "every write bit goes";
  ASSERT_WIN_OK(SetFileAttributesA(Win("f.txt").c_str(), FILE_ATTRIBUTE_NORMAL));
  EXPECT_TRUE(ModeOf("f.txt") & S_IWUSR);
  EXPECT_WIN_OK(DeleteFileA(Win("f.txt").c_str()));

  for (auto [name, error] : {std::pair{"missing", ERROR_FILE_NOT_FOUND},
                             std::pair{"missing\\deeper", ERROR_PATH_NOT_FOUND}}) {
    SCOPED_TRACE(name);
    SetLastError(kSentinel);
    EXPECT_EQ(GetFileAttributesA(Win(name).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), DWORD(error));
    SetLastError(kSentinel);
    EXPECT_FALSE(SetFileAttributesA(Win(name).c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetLastError(), DWORD(error));
  }
}

TEST_F(FileOpsTest, CreateAndRemoveDirectory) {
  ASSERT_WIN_OK(CreateDirectoryA(Win("new").c_str(), nullptr));
  EXPECT_EQ(GetFileAttributesA(Win("new").c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  WriteFileBytes(Os("new\\f.txt"), "x");
  WriteFileBytes(Os("file.txt"), "x");
  struct Row {
    BOOL (*call)(LPCSTR);
    const char* name;
    DWORD error;
  } failures[] = {
      {[](LPCSTR p) { return CreateDirectoryA(p, nullptr); }, "new",
       ERROR_ALREADY_EXISTS},
      {[](LPCSTR p) { return CreateDirectoryA(p, nullptr); }, "file.txt",
       ERROR_ALREADY_EXISTS},
      {[](LPCSTR p) { return CreateDirectoryA(p, nullptr); }, "no\\such",
       ERROR_PATH_NOT_FOUND},
      {RemoveDirectoryA, "new", ERROR_DIR_NOT_EMPTY},
      {RemoveDirectoryA, "file.txt", ERROR_DIRECTORY},
      {RemoveDirectoryA, "missing", ERROR_FILE_NOT_FOUND},
      {RemoveDirectoryA, "no\\such", ERROR_PATH_NOT_FOUND},
  };
  for (const Row& row : failures) {
    SCOPED_TRACE(row.name);
    SetLastError(kSentinel);
    EXPECT_FALSE(row.call(Win(row.name).c_str()));
    EXPECT_EQ(GetLastError(), row.error);
  }
  ASSERT_WIN_OK(DeleteFileA(Win("new\\f.txt").c_str()));
  EXPECT_WIN_OK(RemoveDirectoryA(Win("new").c_str()));
  EXPECT_FALSE(PathExists(Os("new")));
}

TEST_F(FileOpsTest, AccessModes) {
  WriteFileBytes(Os("rw.txt"), "x");
  WriteFileBytes(Os("ro.txt"), "x");
  MakeReadOnly("ro.txt");
  std::filesystem::create_directory(Os("d"));
  struct Row {
    const char* name;
    int mode;
    int result;
    int error;
  } rows[] = {
      {"rw.txt", 0, 0, 0},
      {"rw.txt", 2, 0, 0},
      {"rw.txt", 4, 0, 0},
      {"rw.txt", 6, 0, 0},
      {"ro.txt", 0, 0, 0},
      {"ro.txt", 4, 0, 0},
      {"ro.txt", 2, -1, EACCES},
      {"ro.txt", 6, -1, EACCES},
      {"d", 0, 0, 0},
      {"d", 6, 0, 0},
      {"missing", 0, -1, ENOENT},
      {"no\\such", 0, -1, ENOENT},
      {"rw.txt", 1, -1, EINVAL},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << row.name << " mode " << row.mode);
    errno = 0;
    EXPECT_EQ(_access(Win(row.name).c_str(), row.mode), row.result);
    const int error = errno;
    if (row.result != 0) {
      EXPECT_EQ(error, row.error);
    }
  }
}

TEST_F(FileOpsTest, MakeSureDirectoryPathExistsStopsAtTheLastBackslash) {
  ASSERT_WIN_OK(MakeSureDirectoryPathExists(Win("a\\b\\c\\file.txt").c_str()));
  EXPECT_EQ(GetFileAttributesA(Win("a\\b\\c").c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  EXPECT_FALSE(PathExists(Os("a\\b\\c\\file.txt")));
  ASSERT_WIN_OK(MakeSureDirectoryPathExists(Win("x\\y\\").c_str()));
  EXPECT_EQ(GetFileAttributesA(Win("x\\y").c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY});
  EXPECT_WIN_OK(MakeSureDirectoryPathExists(Win("a\\b\\").c_str()));  // existing is fine

  WriteFileBytes(Os("blocker"), "x");
  SetLastError(kSentinel);
  EXPECT_FALSE(MakeSureDirectoryPathExists(Win("blocker\\sub\\").c_str()));
  EXPECT_NE(GetLastError(), kSentinel);
  EXPECT_EQ(ReadFileBytes(Os("blocker")), "x");
}

}  // namespace
