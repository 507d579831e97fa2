#include "files/local_files.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "common/path_text.h"
#include "files/error_message.h"
#include "files/message_box_log_test_util.h"
#include "tests/test_util.h"

namespace kova {
namespace {

namespace fs = std::filesystem;
using test::BoxLine;
using test::IsolatedTest;
using test::PathExists;
using test::ReadFileBytes;
using test::WriteFileBytes;

std::vector<std::string> NamesIn(const std::string& os_folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(os_folder))
    names.push_back(entry.path().filename().string());
  return names;
}

// The path in the OS form, for the test's own checks.
std::string OsForm(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

class TempFilesTest : public IsolatedTest {
 protected:
  std::string TempWin() const {
    return const_cast<TempFilesTest*>(this)->root().WinPath("tmp");
  }
};

TEST_F(TempFilesTest, CreateTempFileNameMakesAnEmptyLdaFile) {
  const std::string first = CreateTempFileName();
  const std::string second = CreateTempFileName();
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(ParentPath(path), TempWin());
    EXPECT_TRUE(FileNameOf(path).starts_with("lda"));
    EXPECT_TRUE(path.ends_with(".tmp"));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), DWORD{FILE_ATTRIBUTE_ARCHIVE});
    EXPECT_EQ(ReadFileBytes(OsForm(path)), "");
  }
}

TEST_F(TempFilesTest, CreateTempDirectoryMakesAnEmptyFolderAndLeavesNoFile) {
  const std::string first = CreateTempDirectory();
  const std::string second = CreateTempDirectory();
  ASSERT_FALSE(first.empty());
  EXPECT_NE(first, second);
  for (const std::string& path : {first, second}) {
    SCOPED_TRACE(path);
    ASSERT_TRUE(path.ends_with("\\"));
    EXPECT_EQ(ParentPath(path.substr(0, path.size() - 1)), TempWin());
    EXPECT_TRUE(FileNameOf(StripTrailingBackslash(path)).starts_with("Dir"));
    EXPECT_EQ(GetFileAttributesA(path.c_str()), DWORD{FILE_ATTRIBUTE_DIRECTORY});
    EXPECT_TRUE(NamesIn(OsForm(path)).empty());
  }
  std::vector<std::string> names = NamesIn(temp_dir());
  std::sort(names.begin(), names.end());
  std::vector<std::string> expected = {FileNameOf(StripTrailingBackslash(first)),
                                       FileNameOf(StripTrailingBackslash(second))};
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);  // no .tmp file left
}

// A folder left from an earlier call is never handed out again. The numbers
// of temporary names follow the clock: the folders that the next names would
// take (from the number just used on) are made beforehand, each with a file in
// it, and no call may return one of them. Unless the machine stalls for seconds
// the next names do fall among them, and the call gives up.
TEST_F(TempFilesTest, CreateTempDirectoryNeverReturnsAnExistingFolder) {
  constexpr unsigned kTaken = 1024;
  const std::string first = CreateTempFileName();
  ASSERT_FALSE(first.empty());
  const unsigned number =
      std::stoul(StripExtension(FileNameOf(first)).substr(3), nullptr, 16);
  std::vector<std::string> taken;
  char name[16];
  for (unsigned i = 0; i < kTaken; ++i) {
    wsprintfA(name, "Dir%X", (number + i) % 0x10000);
    taken.push_back(name);
    ASSERT_TRUE(fs::create_directory(temp_dir() + "/" + name));
    WriteFileBytes(temp_dir() + "/" + name + "/owned", "someone's");
  }
  for (int call = 0; call < 3; ++call) {
    SCOPED_TRACE(call);
    SetLastError(0xBEEF);
    const std::string folder = CreateTempDirectory();
    if (folder.empty()) {
      EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_EXISTS});
      continue;
    }
    EXPECT_EQ(
        std::find(taken.begin(), taken.end(), FileNameOf(StripTrailingBackslash(folder))),
        taken.end());
    EXPECT_TRUE(NamesIn(OsForm(folder)).empty());
  }
  for (const std::string& entry : NamesIn(temp_dir())) {
    SCOPED_TRACE(entry);
    EXPECT_FALSE(entry.starts_with("Dir") && entry.ends_with(".tmp"));
  }
  for (const std::string& folder : taken)
    ASSERT_EQ(ReadFileBytes(temp_dir() + "/" + folder + "/owned"), "someone's") << folder;
}

TEST_F(TempFilesTest, DeleteContainingDirectoryRemovesTheTree) {
  const std::string folder = CreateTempDirectory();
  ASSERT_FALSE(folder.empty());
  WriteFileBytes(OsForm(folder) + "file.txt", "x");
  fs::create_directories(OsForm(folder) + "sub/deeper");
  WriteFileBytes(OsForm(folder) + "sub/deeper/inner.txt", "y");
  EXPECT_WIN_OK(DeleteContainingDirectory(folder + "file.txt"));
  EXPECT_FALSE(PathExists(OsForm(folder)));
  EXPECT_TRUE(PathExists(temp_dir()));

  // Again: the folder is gone now.
  EXPECT_FALSE(DeleteContainingDirectory(folder + "file.txt"));
}

TEST_F(TempFilesTest, DeleteContainingDirectoryRefusesWhatNamesNoFolderOrDoesNotFit) {
  struct Row {
    std::string path;
    DWORD error;
  };
  const Row rows[] = {
      {"file.txt", ERROR_INVALID_PARAMETER},
      {"\\file.txt", ERROR_INVALID_PARAMETER},
      {"", ERROR_INVALID_PARAMETER},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    SetLastError(0xBEEF);
    EXPECT_FALSE(DeleteContainingDirectory(row.path));
    EXPECT_EQ(GetLastError(), row.error);
  }

  // A folder of 260 characters fits the list; one of 261 does not and stays.
  const std::string base = root().win_path() + "\\";
  const std::string fits = base + std::string(260 - base.size(), 'f');
  const std::string too_long = base + std::string(261 - base.size(), 'g');
  for (const std::string& folder : {fits, too_long}) {
    ASSERT_TRUE(fs::create_directory(OsForm(folder)));
    WriteFileBytes(OsForm(folder) + "/a.txt", "a");
  }
  SetLastError(0xBEEF);
  EXPECT_FALSE(DeleteContainingDirectory(too_long + "\\a.txt"));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILENAME_EXCED_RANGE});
  EXPECT_EQ(ReadFileBytes(OsForm(too_long) + "/a.txt"), "a");
  EXPECT_WIN_OK(DeleteContainingDirectory(fits + "\\a.txt"));
  EXPECT_FALSE(PathExists(OsForm(fits)));
}

class ReadAllTextTest : public IsolatedTest {};

TEST_F(ReadAllTextTest, CutsEachPieceAtItsFirstZeroByte) {
  std::string bytes(1000, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<char>('a' + i % 26);
  struct Row {
    const char* name;
    std::string content;
    std::string expected;
  };
  std::string zero_at_10_and_600 = bytes;
  zero_at_10_and_600[10] = '\0';
  zero_at_10_and_600[600] = '\0';
  std::string zero_at_piece_start = bytes;
  zero_at_piece_start[519] = '\0';
  std::string zero_at_piece_end = bytes;
  zero_at_piece_end[518] = '\0';
  const std::string two_pieces = bytes.substr(0, 2 * 519);
  const Row rows[] = {
      {"zeros at 10 and 600", zero_at_10_and_600,
       bytes.substr(0, 10) + bytes.substr(519, 600 - 519)},
      {"zero starts the second piece", zero_at_piece_start,
       bytes.substr(0, 519) /* the second piece reads empty */},
      {"zero ends the first piece", zero_at_piece_end,
       bytes.substr(0, 518) + bytes.substr(519)},
      {"no zero", bytes, bytes},
      {"two whole pieces", two_pieces, two_pieces},
      {"one byte", "z", "z"},
      {"empty", "", ""},
      {"text with line ends", "[s]\r\nk=v\r\n", "[s]\r\nk=v\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    WriteFileBytes(root().OsPath("f.bin"), row.content);
    EXPECT_EQ(ReadAllText(root().WinPath("f.bin")), row.expected);
  }
}

TEST_F(ReadAllTextTest, UnopenableFileGivesEmptyTextAndNoHandleIsKept) {
  EXPECT_EQ(ReadAllText(root().WinPath("missing.txt")), "");
  EXPECT_EQ(ReadAllText(root().WinPath("missing\\folder.txt")), "");
  EXPECT_EQ(ReadAllText(root().win_path()), "");  // a folder

  const std::string path = root().WinPath("held.txt");
  WriteFileBytes(root().OsPath("held.txt"), "held");
  HANDLE held = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAllText(path), "");  // the reader shares nothing either
  CloseHandle(held);

  EXPECT_EQ(ReadAllText(path), "held");
  // Its handle is closed again: an open that shares nothing succeeds.
  HANDLE again = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(again, INVALID_HANDLE_VALUE) << GetLastError();
  if (again != INVALID_HANDLE_VALUE) CloseHandle(again);
}

class TestLocalPathWritableTest : public IsolatedTest {
 protected:
  std::string ProbeOs() { return root().OsPath("folder/") + kWritableProbeFileName; }
  void SetUp() override { ASSERT_TRUE(fs::create_directory(root().OsPath("folder"))); }
};

TEST_F(TestLocalPathWritableTest, FolderIsProbedAndLeftClean) {
  for (const std::string& folder :
       {root().WinPath("folder"), root().WinPath("folder") + "\\"}) {
    SCOPED_TRACE(folder);
    EXPECT_TRUE(TestLocalPathWritable(folder));
    EXPECT_TRUE(NamesIn(root().OsPath("folder")).empty());
  }
  // A probe file that was there before is opened and kept as it is.
  WriteFileBytes(ProbeOs(), "mine");
  EXPECT_TRUE(TestLocalPathWritable(root().WinPath("folder")));
  EXPECT_EQ(ReadFileBytes(ProbeOs()), "mine");
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(TestLocalPathWritableTest, FilesAreOpenedUnchangedAndNewOnesRemoved) {
  EXPECT_TRUE(TestLocalPathWritable(root().WinPath("folder\\new.txt")));
  EXPECT_FALSE(PathExists(root().OsPath("folder/new.txt")));

  WriteFileBytes(root().OsPath("folder/old.txt"), "old contents");
  EXPECT_TRUE(TestLocalPathWritable(root().WinPath("folder\\old.txt")));
  EXPECT_EQ(ReadFileBytes(root().OsPath("folder/old.txt")), "old contents");
  EXPECT_TRUE(MessageBoxLines().empty());
}

// The box names the path as given and the reason, whoever runs the test: the
// read-only attribute refuses writing to every user.
TEST_F(TestLocalPathWritableTest, FailuresAreShownWithThePathAndTheReason) {
  WriteFileBytes(root().OsPath("folder/locked.txt"), "locked");
  ASSERT_WIN_OK(SetFileAttributesA(root().WinPath("folder\\locked.txt").c_str(),
                                   FILE_ATTRIBUTE_READONLY));
  const std::string locked = root().WinPath("folder\\locked.txt");
  const std::string missing = root().WinPath("nowhere\\file.txt");
  EXPECT_FALSE(TestLocalPathWritable(locked));
  EXPECT_FALSE(TestLocalPathWritable(missing));
  EXPECT_EQ(ReadFileBytes(root().OsPath("folder/locked.txt")), "locked");

  // A read-only probe file makes its folder unwritable; the box names the folder.
  fs::create_directory(root().OsPath("other"));
  const std::string probe = root().OsPath("other/") + kWritableProbeFileName;
  WriteFileBytes(probe, "probe");
  ASSERT_WIN_OK(
      SetFileAttributesA((root().WinPath("other\\") + kWritableProbeFileName).c_str(),
                         FILE_ATTRIBUTE_READONLY));
  const std::string other = root().WinPath("other");
  EXPECT_FALSE(TestLocalPathWritable(other));
  EXPECT_EQ(ReadFileBytes(probe), "probe");

  std::string expected_locked, expected_missing, expected_other;
  ComposeErrorMessage(ERROR_ACCESS_DENIED, locked.c_str(), nullptr, &expected_locked);
  ComposeErrorMessage(ERROR_PATH_NOT_FOUND, missing.c_str(), nullptr, &expected_missing);
  ComposeErrorMessage(ERROR_ACCESS_DENIED, other.c_str(), nullptr, &expected_other);
  // Each names the path and, below it, a reason.
  for (const std::string* message :
       {&expected_locked, &expected_missing, &expected_other}) {
    const std::size_t line_break = message->find('\n');
    ASSERT_NE(line_break, std::string::npos) << *message;
    ASSERT_LT(line_break + 1, message->size()) << *message;
  }
  const std::vector<std::string> lines = MessageBoxLines();
  ASSERT_EQ(lines.size(), 3u);
  auto line = [](const std::string& text) {
    return BoxLine("Corvanta", text, MB_ICONERROR);
  };
  EXPECT_EQ(lines[0], line(expected_locked));
  EXPECT_EQ(lines[1], line(expected_missing));
  EXPECT_EQ(lines[2], line(expected_other));
}

class ShellRenameFileTest : public IsolatedTest {};

TEST_F(ShellRenameFileTest, RenamesWithinAFolderAndMovesIntoAnother) {
  fs::create_directory(root().OsPath("a"));
  fs::create_directory(root().OsPath("b"));
  WriteFileBytes(root().OsPath("a/one.txt"), "1");
  EXPECT_WIN_OK(
      ShellRenameFile(root().WinPath("a\\one.txt"), root().WinPath("a\\two.txt")));
  EXPECT_FALSE(PathExists(root().OsPath("a/one.txt")));
  EXPECT_EQ(ReadFileBytes(root().OsPath("a/two.txt")), "1");

  EXPECT_WIN_OK(
      ShellRenameFile(root().WinPath("a\\two.txt"), root().WinPath("b\\three.txt")));
  EXPECT_FALSE(PathExists(root().OsPath("a/two.txt")));
  EXPECT_EQ(ReadFileBytes(root().OsPath("b/three.txt")), "1");
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(ShellRenameFileTest, FailsSilentlyAndChangesNothing) {
  WriteFileBytes(root().OsPath("x.txt"), "x");
  WriteFileBytes(root().OsPath("y.txt"), "y");
  EXPECT_FALSE(ShellRenameFile(root().WinPath("missing.txt"), root().WinPath("z.txt")));
  EXPECT_FALSE(PathExists(root().OsPath("z.txt")));
  // The shell does not replace an existing name.
  EXPECT_FALSE(ShellRenameFile(root().WinPath("x.txt"), root().WinPath("y.txt")));
  EXPECT_EQ(ReadFileBytes(root().OsPath("x.txt")), "x");
  EXPECT_EQ(ReadFileBytes(root().OsPath("y.txt")), "y");
  EXPECT_FALSE(ShellRenameFile("", root().WinPath("z.txt")));

  // Names of 518 characters fit the 520-byte lists; 519 do not.
  const std::string base = root().WinPath("x.txt");
  const std::string folders =
      root().WinPath(std::string(200, 'd') + "\\" + std::string(200, 'e'));
  ASSERT_TRUE(fs::create_directories(OsForm(folders)));
  const std::string fits = folders + "\\" + std::string(518 - folders.size() - 1, 'n');
  const std::string too_long = fits + "n";
  ASSERT_EQ(fits.size(), 518u);
  SetLastError(0xBEEF);
  EXPECT_FALSE(ShellRenameFile(base, too_long));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILENAME_EXCED_RANGE});
  SetLastError(0xBEEF);
  EXPECT_FALSE(ShellRenameFile(too_long, base));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILENAME_EXCED_RANGE});
  // The one that fits reaches the shell, which finds no such file.
  SetLastError(0xBEEF);
  EXPECT_FALSE(ShellRenameFile(fits, root().WinPath("z.txt")));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
  EXPECT_EQ(ReadFileBytes(root().OsPath("x.txt")), "x");
  EXPECT_TRUE(MessageBoxLines().empty());
}

class ShellOperationOnPathsTest : public IsolatedTest {
 protected:
  // A path of exactly `length` characters below the test's root, with its
  // folders made: folder names of 200 characters, then the file name.
  std::string PathOfLength(std::size_t length, char fill) {
    std::string path = root().win_path();
    while (length - path.size() > 201) {
      path += "\\" + std::string(200, fill);
      EXPECT_TRUE(fs::create_directory(OsForm(path)) || fs::is_directory(OsForm(path)));
    }
    path += "\\" + std::string(length - path.size() - 1, fill);
    EXPECT_EQ(path.size(), length);
    return path;
  }
};

// All names of a longer list reach the shell: were they put one per 261-byte
// slot rather than packed, the shell would see the list end after the first.
TEST_F(ShellOperationOnPathsTest, CopiesAndDeletesEveryNameOfTheList) {
  const std::vector<std::string> names = {"one.txt", "two.txt", "three.txt", "four.txt"};
  std::vector<std::string> sources;
  for (const std::string& name : names) {
    WriteFileBytes(root().OsPath("src/" + name), name);
    sources.push_back(root().WinPath("src\\" + name));
  }
  const std::string into = root().WinPath("out\\deeper");
  EXPECT_WIN_OK(ShellOperationOnPaths(sources, &into, FO_COPY,
                                      FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR));
  for (const std::string& name : names)
    EXPECT_EQ(ReadFileBytes(root().OsPath("out/deeper/" + name)), name) << name;

  EXPECT_WIN_OK(ShellOperationOnPaths(sources, nullptr, FO_DELETE, FOF_NOCONFIRMATION));
  EXPECT_TRUE(NamesIn(root().OsPath("src")).empty());
  EXPECT_EQ(NamesIn(root().OsPath("out/deeper")).size(), names.size());
}

TEST_F(ShellOperationOnPathsTest, NoNamesIsSuccessWithoutAShellCall) {
  SetLastError(0xBEEF);
  // A target the shell would refuse: success shows that it was never asked.
  const std::string nowhere;
  EXPECT_WIN_OK(ShellOperationOnPaths({}, &nowhere, FO_COPY, 0));
  EXPECT_EQ(GetLastError(), DWORD{0xBEEF});
}

// Names of 260 characters fill their slots; longer ones are refused before the
// shell is called, and so are empty ones, which would cut the list short.
TEST_F(ShellOperationOnPathsTest, RefusesNamesThatDoNotFitOrWouldEndTheList) {
  const std::string fits = PathOfLength(260, 'f');
  const std::string too_long = PathOfLength(261, 'g');
  for (const std::string& path : {fits, too_long}) WriteFileBytes(OsForm(path), "long");
  WriteFileBytes(root().OsPath("a.txt"), "a");
  const std::string a = root().WinPath("a.txt");
  const std::string out = root().WinPath("out");
  const std::string long_target = PathOfLength(260, 't');
  const std::string too_long_target = PathOfLength(261, 'u');

  struct Row {
    const char* label;
    std::vector<std::string> sources;
    const std::string* target;
    DWORD error;
  };
  const Row rows[] = {
      {"a source of 261", {a, too_long}, &out, ERROR_FILENAME_EXCED_RANGE},
      {"an empty source", {a, "", fits}, &out, ERROR_INVALID_PARAMETER},
      {"a source cut to nothing at its NUL",
       {std::string(1, '\0') + "x", a},
       &out,
       ERROR_INVALID_PARAMETER},
      {"a target of 261", {a}, &too_long_target, ERROR_FILENAME_EXCED_RANGE},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.label);
    SetLastError(0xBEEF);
    EXPECT_FALSE(ShellOperationOnPaths(row.sources, row.target, FO_COPY,
                                       FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR));
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_FALSE(PathExists(root().OsPath("out")));
    EXPECT_FALSE(PathExists(OsForm(too_long_target)));
  }

  EXPECT_WIN_OK(ShellOperationOnPaths({fits, a}, &out, FO_COPY,
                                      FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR));
  EXPECT_EQ(ReadFileBytes(root().OsPath("out/" + FileNameOf(fits))), "long");
  EXPECT_EQ(ReadFileBytes(root().OsPath("out/a.txt")), "a");
  EXPECT_WIN_OK(ShellOperationOnPaths({a}, &long_target, FO_COPY, FOF_NOCONFIRMATION));
  EXPECT_EQ(ReadFileBytes(OsForm(long_target)), "a");
  SetLastError(0xBEEF);
  EXPECT_FALSE(ShellOperationOnPaths({too_long}, nullptr, FO_DELETE, FOF_NOCONFIRMATION));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILENAME_EXCED_RANGE});
  EXPECT_EQ(ReadFileBytes(OsForm(too_long)), "long");
  EXPECT_TRUE(MessageBoxLines().empty());
}

// A failing shell operation is reported, silently.
TEST_F(ShellOperationOnPathsTest, AShellFailureIsFalseWithoutAMessage) {
  WriteFileBytes(root().OsPath("a.txt"), "a");
  const std::string out = root().WinPath("out");
  SetLastError(0xBEEF);
  EXPECT_FALSE(
      ShellOperationOnPaths({root().WinPath("missing.txt"), root().WinPath("a.txt")},
                            &out, FO_COPY, FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_FILE_NOT_FOUND});
  EXPECT_FALSE(PathExists(root().OsPath("out/a.txt")));
  EXPECT_TRUE(MessageBoxLines().empty());
}

}  // namespace
}  // namespace kova
