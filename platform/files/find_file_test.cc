#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "errhandlingapi.h"
#include "fileapi.h"
#include "tests/test_util.h"
#include "winerror.h"

namespace {

using kova::test::WriteFileBytes;

constexpr DWORD kSentinel = 0xdeadbeef;

class FindFileTest : public kova::test::IsolatedTest {
 protected:
  FindFileTest() {
    std::filesystem::create_directories(root().OsPath("list/Sub"));
    for (const char* name : {"a.txt", "B.TXT", "abc", "readme", "x.tar.gz", ".hidden"})
      WriteFileBytes(root().OsPath(std::string("list/") + name), "12345");
  }

  // The names FindFirstFileA/FindNextFileA list for `pattern` inside list\, or
  // the last error when the search fails.
  std::vector<std::string> List(const std::string& pattern, DWORD* error) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data;
    SetLastError(kSentinel);
    HANDLE find = FindFirstFileA(root().WinPath("list\\" + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) {
      *error = GetLastError();
      return names;
    }
    do {
      names.push_back(data.cFileName);
    } while (FindNextFileA(find, &data));
    *error = GetLastError();
    EXPECT_WIN_OK(FindClose(find));
    return names;
  }
};

using Names = std::vector<std::string>;

TEST_F(FindFileTest, PatternsMatchAsOnThePlatform) {
  const Names all = {".",     "..",     ".hidden", "a.txt",   "abc",
                     "B.TXT", "readme", "Sub",     "x.tar.gz"};
  struct Row {
    const char* pattern;
    Names expected;
  } rows[] = {
      {"*", all},
      {"*.*", all},  // also the names without a dot
      {"*.txt", {"a.txt", "B.TXT"}},
      {"*.TXT", {"a.txt", "B.TXT"}},
      {"?.txt", {"a.txt", "B.TXT"}},
      {"*.", {".", "..", "abc", "readme", "Sub"}},  // names without an extension
      {"a*", {"a.txt", "abc"}},
      {"ABC", {"abc"}},
      {"abc?", {"abc"}},  // a '?' at the end may match nothing
      {"ab?", {"abc"}},
      {"a?.txt", {"a.txt"}},  // ... and so may one before a dot
      {"readme.*", {"readme"}},
      {"*.gz", {"x.tar.gz"}},
      {"x.*", {"x.tar.gz"}},
      {"*tar*", {"x.tar.gz"}},
      {"sub", {"Sub"}},
      {"?????", {"abc", "Sub"}},  // up to five characters, none of them a dot
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.pattern);
    DWORD error = 0;
    EXPECT_EQ(List(row.pattern, &error), row.expected);
    EXPECT_EQ(error, DWORD{ERROR_NO_MORE_FILES});
  }
}

TEST_F(FindFileTest, FailuresTellAMissingFolderFromNoMatch) {
  struct Row {
    std::string path;
    DWORD error;
  } rows[] = {
      {root().WinPath("list\\nothing*"), ERROR_FILE_NOT_FOUND},
      {root().WinPath("list\\"), ERROR_FILE_NOT_FOUND},
      {root().WinPath("missing\\*"), ERROR_PATH_NOT_FOUND},
      {root().WinPath("list\\a.txt\\*"), ERROR_PATH_NOT_FOUND},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    WIN32_FIND_DATAA data;
    SetLastError(kSentinel);
    EXPECT_EQ(FindFirstFileA(row.path.c_str(), &data), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), row.error);
  }
  SetLastError(kSentinel);
  EXPECT_FALSE(FindClose(INVALID_HANDLE_VALUE));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});
}

TEST_F(FindFileTest, FillsAttributesSizeAndTimes) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0x5A, sizeof data);
  HANDLE find = FindFirstFileA(root().WinPath("list\\readme").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(data.cFileName, "readme");
  EXPECT_STREQ(data.cAlternateFileName, "");
  EXPECT_EQ(data.dwFileAttributes, DWORD{FILE_ATTRIBUTE_ARCHIVE});
  EXPECT_EQ(data.nFileSizeLow, 5u);
  EXPECT_EQ(data.nFileSizeHigh, 0u);
  struct stat st;
  ASSERT_EQ(stat(root().OsPath("list/readme").c_str(), &st), 0);
  const unsigned long long expected =
      (static_cast<unsigned long long>(st.st_mtim.tv_sec) + 11644473600ULL) *
          10000000ULL +
      static_cast<unsigned long long>(st.st_mtim.tv_nsec) / 100;
  const unsigned long long written =
      (static_cast<unsigned long long>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime;
  EXPECT_EQ(written, expected) << "100 ns units since 1601";
  SetLastError(kSentinel);
  EXPECT_FALSE(FindNextFileA(find, &data));
  EXPECT_EQ(GetLastError(), DWORD{ERROR_NO_MORE_FILES});
  EXPECT_WIN_OK(FindClose(find));
  SetLastError(kSentinel);
  EXPECT_FALSE(FindClose(find)) << "closed once";
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_HANDLE});

  find = FindFirstFileA(root().WinPath("list\\Sub").c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_EQ(data.dwFileAttributes, DWORD{FILE_ATTRIBUTE_DIRECTORY});
  EXPECT_EQ(data.nFileSizeLow, 0u);
  EXPECT_FALSE(CloseHandle(find)) << "a find handle is closed with FindClose";
  EXPECT_WIN_OK(FindClose(find));
}

}  // namespace
