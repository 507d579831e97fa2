#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "errhandlingapi.h"
#include "fileapi.h"
#include "tests/test_util.h"
#include "winerror.h"

namespace {

using kova::test::ReadFileBytes;
using kova::test::WriteFileBytes;

constexpr DWORD kSentinel = 0xdeadbeef;

class FileHandleTest : public kova::test::IsolatedTest {
 protected:
  std::string os_path_ = root().OsPath("file.bin");
  std::string win_path_ = root().WinPath("file.bin");

  HANDLE Open(DWORD access, DWORD share, DWORD disposition = OPEN_EXISTING) {
    return CreateFileA(win_path_.c_str(), access, share, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
  }
};

TEST_F(FileHandleTest, DispositionsCreateTruncateAndReportExisting) {
  struct Row {
    DWORD disposition;
    bool exists;
    bool opens;
    DWORD error;
    const char* content_after;  // null: no file afterwards
  } rows[] = {
      {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "old"},
      {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
      {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
      {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {OPEN_EXISTING, true, true, ERROR_SUCCESS, "old"},
      {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
      {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "old"},
      {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
      {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
      {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << "disposition " << row.disposition << " exists " << row.exists);
    unlink(os_path_.c_str());
    if (row.exists) WriteFileBytes(os_path_, "old");
    SetLastError(kSentinel);
    HANDLE file = Open(GENERIC_READ | GENERIC_WRITE, 0, row.disposition);
    EXPECT_EQ(file != INVALID_HANDLE_VALUE, row.opens);
    EXPECT_EQ(GetLastError(), row.error);
    if (file != INVALID_HANDLE_VALUE) {
      EXPECT_WIN_OK(CloseHandle(file));
    }
    EXPECT_EQ(kova::test::PathExists(os_path_), row.content_after != nullptr);
    if (row.content_after != nullptr) {
      EXPECT_EQ(ReadFileBytes(os_path_), row.content_after);
    }
  }
}

TEST_F(FileHandleTest, RefusesFoldersMissingFoldersAndReadOnlyWrites) {
  const std::string missing = root().WinPath("no-such-folder\\f.txt");
  for (DWORD disposition : {OPEN_EXISTING, CREATE_NEW, CREATE_ALWAYS}) {
    SCOPED_TRACE(disposition);
    SetLastError(kSentinel);
    EXPECT_EQ(
        CreateFileA(missing.c_str(), GENERIC_WRITE, 0, nullptr, disposition, 0, nullptr),
        INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_PATH_NOT_FOUND});
  }

  SetLastError(kSentinel);
  EXPECT_EQ(CreateFileA(root().win_path().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, 0, nullptr),
            INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});

  // Read-only is refused to every writer, the superuser included.
  WriteFileBytes(os_path_, "keep");
  chmod(os_path_.c_str(), 0444);
  for (DWORD disposition : {OPEN_EXISTING, CREATE_ALWAYS, TRUNCATE_EXISTING}) {
    SCOPED_TRACE(disposition);
    SetLastError(kSentinel);
    EXPECT_EQ(Open(GENERIC_WRITE, 0, disposition), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
  }
  EXPECT_EQ(ReadFileBytes(os_path_), "keep");
  HANDLE reader = Open(GENERIC_READ, FILE_SHARE_READ);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  EXPECT_WIN_OK(CloseHandle(reader));
}

TEST_F(FileHandleTest, ShareModesBetweenHandles) {
  constexpr DWORD R = GENERIC_READ, W = GENERIC_WRITE, SR = FILE_SHARE_READ,
                  SW = FILE_SHARE_WRITE;
  struct Row {
    DWORD first_access, first_share, second_access, second_share;
    bool second_opens;
  } rows[] = {
      {R, SR, R, SR, true},
      {R, SR, W, SR | SW, false},  // the first denies writing
      {R, SR | SW, W, SR, true},   // the second denies writing, but nobody writes yet
      {W, SR, R, SR, false},       // the second would deny the first its writing
      {W, 0, R, SR | SW, false},
      {R, SR | SW, R, 0, false},  // the second would deny the first its reading
      {R | W, SR | SW, R | W, SR | SW, true},
      {0, 0, R | W, 0, true},  // a handle without access conflicts with nothing
  };
  WriteFileBytes(os_path_, "x");
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message()
                 << std::hex << row.first_access << "/" << row.first_share << " then "
                 << row.second_access << "/" << row.second_share);
    HANDLE first = Open(row.first_access, row.first_share);
    ASSERT_NE(first, INVALID_HANDLE_VALUE);
    SetLastError(kSentinel);
    HANDLE second = Open(row.second_access, row.second_share);
    EXPECT_EQ(second != INVALID_HANDLE_VALUE, row.second_opens);
    if (second != INVALID_HANDLE_VALUE) {
      EXPECT_WIN_OK(CloseHandle(second));
    } else {
      EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
    }
    EXPECT_WIN_OK(CloseHandle(first));
    HANDLE after = Open(row.second_access, row.second_share);
    EXPECT_NE(after, INVALID_HANDLE_VALUE) << "closing releases the share mode";
    if (after != INVALID_HANDLE_VALUE) CloseHandle(after);
  }
}

TEST_F(FileHandleTest, DeleteAndMoveNeedShareDelete) {
  WriteFileBytes(os_path_, "x");
  const std::string moved = root().WinPath("moved.bin");
  HANDLE open_file = Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(open_file, INVALID_HANDLE_VALUE);
  SetLastError(kSentinel);
  EXPECT_FALSE(DeleteFileA(win_path_.c_str()));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
  SetLastError(kSentinel);
  EXPECT_FALSE(MoveFileA(win_path_.c_str(), moved.c_str()));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
  EXPECT_WIN_OK(CloseHandle(open_file));

  open_file = Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE);
  ASSERT_NE(open_file, INVALID_HANDLE_VALUE);
  EXPECT_WIN_OK(DeleteFileA(win_path_.c_str()));
  EXPECT_FALSE(kova::test::PathExists(os_path_));
  EXPECT_WIN_OK(CloseHandle(open_file));
}

TEST_F(FileHandleTest, ShareModeHoldsAgainstAnotherProcess) {
  WriteFileBytes(os_path_, "x");
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    HANDLE held = Open(GENERIC_READ, 0);
    char byte = held != INVALID_HANDLE_VALUE ? 'y' : 'n';
    (void)!write(ready[1], &byte, 1);
    (void)!read(release[0], &byte, 1);
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 'y');
  SetLastError(kSentinel);
  HANDLE denied = Open(GENERIC_READ, FILE_SHARE_READ);
  EXPECT_EQ(denied, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_SHARING_VIOLATION});
  ASSERT_EQ(write(release[1], "x", 1), 1);
  int status = 0;
  waitpid(child, &status, 0);
  for (int fd : {ready[0], ready[1], release[0], release[1]}) close(fd);

  HANDLE allowed = Open(GENERIC_READ, FILE_SHARE_READ);
  EXPECT_NE(allowed, INVALID_HANDLE_VALUE) << "the holder is gone";
  if (allowed != INVALID_HANDLE_VALUE) CloseHandle(allowed);
}

TEST_F(FileHandleTest, ReadWriteKeepsZeroBytesAndChecksAccess) {
  HANDLE file = Open(GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const std::string bytes("hello\0world", 11);
  DWORD done = kSentinel;
  ASSERT_WIN_OK(WriteFile(file, bytes.data(), DWORD(bytes.size()), &done, nullptr));
  EXPECT_EQ(done, bytes.size());
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_BEGIN), 0u);
  char buffer[32];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  ASSERT_WIN_OK(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(std::string(buffer, done), bytes);
  EXPECT_EQ(buffer[done], '#') << "nothing written past what was read";
  ASSERT_WIN_OK(ReadFile(file, buffer, sizeof buffer, &done, nullptr));
  EXPECT_EQ(done, 0u) << "reading at the end succeeds with nothing";
  EXPECT_WIN_OK(CloseHandle(file));

  HANDLE reader = Open(GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
  HANDLE writer = Open(GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  ASSERT_NE(writer, INVALID_HANDLE_VALUE);
  SetLastError(kSentinel);
  EXPECT_FALSE(WriteFile(reader, "x", 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
  SetLastError(kSentinel);
  EXPECT_FALSE(ReadFile(writer, buffer, 1, &done, nullptr));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_ACCESS_DENIED});
  EXPECT_WIN_OK(CloseHandle(reader));
  EXPECT_WIN_OK(CloseHandle(writer));
  EXPECT_EQ(ReadFileBytes(os_path_), bytes);
}

TEST_F(FileHandleTest, FilePointerAndSizeBeyondFourGigabytes) {
  HANDLE file = Open(GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);

  SetLastError(kSentinel);
  EXPECT_EQ(SetFilePointer(file, -1, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NEGATIVE_SEEK});

  // 4 GiB + 3 through the high part; the file stays sparse.
  LONG high = 1;
  EXPECT_EQ(SetFilePointer(file, 3, &high, FILE_BEGIN), 3u);
  EXPECT_EQ(high, 1);
  ASSERT_WIN_OK(WriteFile(file, "z", 1, nullptr, nullptr));
  DWORD size_high = kSentinel;
  EXPECT_EQ(GetFileSize(file, &size_high), 4u);
  EXPECT_EQ(size_high, 1u);

  high = -1;  // 64-bit -2 from the end
  EXPECT_EQ(SetFilePointer(file, -2, &high, FILE_END), 2u);
  EXPECT_EQ(high, 1);
  high = 0;
  EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_CURRENT), 2u);
  EXPECT_EQ(high, 1) << "FILE_CURRENT reports the position";

  SetLastError(kSentinel);
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, FILE_END), INVALID_SET_FILE_POINTER)
      << "a position past 32 bits needs the high part";
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_PARAMETER});

  high = 0;
  SetLastError(kSentinel);
  EXPECT_EQ(SetFilePointer(file, LONG(0xFFFFFFFF), &high, FILE_BEGIN),
            INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_SUCCESS})
      << "a real position that looks like failure";
  EXPECT_EQ(high, 0);
  EXPECT_WIN_OK(CloseHandle(file));
}

TEST_F(FileHandleTest, UnknownAndClosedHandles) {
  HANDLE file = Open(GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  EXPECT_WIN_OK(CloseHandle(file));
  for (HANDLE handle : {file, INVALID_HANDLE_VALUE, HANDLE(nullptr)}) {
    char byte;
    DWORD done = kSentinel;
    SetLastError(kSentinel);
    EXPECT_FALSE(ReadFile(handle, &byte, 1, &done, nullptr));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    EXPECT_EQ(done, 0u);
    SetLastError(kSentinel);
    EXPECT_EQ(GetFileSize(handle, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
    SetLastError(kSentinel);
    EXPECT_FALSE(CloseHandle(handle));
    EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
  }
}

}  // namespace
