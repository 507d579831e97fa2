#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>

#include "errhandlingapi.h"
#include "fileapi.h"
#include "tests/test_util.h"
#include "winerror.h"

namespace {

using kova::test::PathExists;
using kova::test::ReadFileBytes;
using kova::test::WriteFileBytes;

constexpr DWORD kSentinel = 0xdeadbeef;

std::string ToOs(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

class TempPathsTest : public kova::test::IsolatedTest {};

TEST_F(TempPathsTest, TempPathEndsWithABackslash) {
  char buffer[MAX_PATH];
  std::string expected = root().WinPath("tmp") + "\\";
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), expected.size());
  EXPECT_EQ(std::string(buffer), expected);

  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetTempPathA(DWORD(expected.size()), buffer), expected.size() + 1)
      << "too small: the size needed, with the NUL";
  EXPECT_EQ(buffer[0], '#');

  kova::test::ScopedEnv unset("TMPDIR", std::nullopt);
  EXPECT_EQ(GetTempPathA(sizeof buffer, buffer), 5u);
  EXPECT_STREQ(buffer, "\\tmp\\");
}

TEST_F(TempPathsTest, TempFileNameCreatesAPrivateEmptyFile) {
  const std::string folder = root().WinPath("tmp");
  char name[MAX_PATH];
  UINT unique = GetTempFileNameA(folder.c_str(), "ldapx", 0, name);
  ASSERT_NE(unique, 0u) << GetLastError();
  char hex[8];
  std::snprintf(hex, sizeof hex, "%X", unique);
  EXPECT_EQ(std::string(name), folder + "\\lda" + hex + ".tmp");
  EXPECT_TRUE(std::regex_match(name, std::regex(".*\\\\lda[0-9A-F]{1,4}\\.tmp")));
  struct stat st;
  ASSERT_EQ(stat(ToOs(name).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_size, 0);

  // The next names exist already: the count goes past them and leaves them alone.
  for (UINT n = unique + 1; n <= unique + 20; ++n) {
    std::snprintf(hex, sizeof hex, "%X", n & 0xFFFF);
    WriteFileBytes(ToOs(folder + "\\lda" + hex + ".tmp"), "keep");
  }
  char next[MAX_PATH];
  UINT second = GetTempFileNameA(folder.c_str(), "lda", 0, next);
  ASSERT_NE(second, 0u);
  EXPECT_STRNE(next, name);
  EXPECT_EQ(ReadFileBytes(ToOs(next)), "") << "a new file, not one of the existing";
  for (UINT n = unique + 1; n <= unique + 20; ++n) {
    std::snprintf(hex, sizeof hex, "%X", n & 0xFFFF);
    EXPECT_EQ(ReadFileBytes(ToOs(folder + "\\lda" + hex + ".tmp")), "keep");
  }

  char plain[MAX_PATH];
  ASSERT_NE(GetTempFileNameA((folder + "\\").c_str(), nullptr, 0, plain), 0u);
  EXPECT_TRUE(std::regex_match(plain, std::regex(".*\\\\tmp\\\\[0-9A-F]{1,4}\\.tmp")))
      << plain;
}

TEST_F(TempPathsTest, TempFileNameWithAUniqueNumberOnlyBuildsTheName) {
  const std::string folder = root().WinPath("tmp");
  char name[MAX_PATH];
  EXPECT_EQ(GetTempFileNameA(folder.c_str(), "Dir", 0x1ABCD, name), 0xABCDu);
  EXPECT_EQ(std::string(name), folder + "\\DirABCD.tmp");
  EXPECT_FALSE(PathExists(ToOs(name)));
  EXPECT_EQ(GetTempFileNameA(folder.c_str(), "x", 0x1F, name), 0x1Fu);
  EXPECT_EQ(std::string(name), folder + "\\x1F.tmp") << "no zero padding";
}

TEST_F(TempPathsTest, TempFileNameFailures) {
  char name[MAX_PATH];
  WriteFileBytes(root().OsPath("file"), "x");
  for (std::string folder : {root().WinPath("missing"), root().WinPath("file")}) {
    SCOPED_TRACE(folder);
    SetLastError(kSentinel);
    EXPECT_EQ(GetTempFileNameA(folder.c_str(), "lda", 0, name), 0u);
    EXPECT_EQ(GetLastError(), DWORD{ERROR_DIRECTORY});
  }
  std::string deep = root().win_path();
  while (deep.size() < MAX_PATH - 8) deep += "\\abcdefghijklmnopqrstuvwxyz";
  std::filesystem::create_directories(ToOs(deep));
  SetLastError(kSentinel);
  EXPECT_EQ(GetTempFileNameA(deep.c_str(), "lda", 0, name), 0u);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_BUFFER_OVERFLOW});
}

TEST_F(TempPathsTest, ShortPathIsTheLongPathWhenItExists) {
  WriteFileBytes(root().OsPath("Long Name.dll"), "x");
  const std::string path = root().WinPath("Long Name.dll");
  char buffer[MAX_PATH];
  std::strcpy(buffer, path.c_str());
  EXPECT_EQ(GetShortPathNameA(buffer, buffer, sizeof buffer), path.size()) << "in place";
  EXPECT_EQ(std::string(buffer), path);
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(GetShortPathNameA(path.c_str(), buffer, 4), path.size() + 1);
  EXPECT_EQ(buffer[0], '#');

  for (auto [name, error] : {std::pair{"missing.dll", ERROR_FILE_NOT_FOUND},
                             std::pair{"missing\\x.dll", ERROR_PATH_NOT_FOUND}}) {
    SCOPED_TRACE(name);
    SetLastError(kSentinel);
    EXPECT_EQ(GetShortPathNameA(root().WinPath(name).c_str(), buffer, sizeof buffer), 0u);
    EXPECT_EQ(GetLastError(), DWORD(error));
  }
}

TEST_F(TempPathsTest, FullPathResolvesRelativeNamesAsText) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(root().OsPath("tmp").c_str()), 0);
  const std::string base = root().WinPath("tmp");
  struct Row {
    std::string in;
    std::string out;
    const char* file_part;  // null: none
  } rows[] = {
      {"a\\..\\b\\.\\c.txt", base + "\\b\\c.txt", "c.txt"},
      {"c.txt", base + "\\c.txt", "c.txt"},
      {"sub\\", base + "\\sub\\", nullptr},
      {"\\x\\\\y\\..\\z", "\\x\\z", "z"},
      {"/x/y", "\\x\\y", "y"},
      {"\\..\\..", "\\", nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.in);
    char buffer[MAX_PATH];
    LPSTR file_part = reinterpret_cast<LPSTR>(1);
    EXPECT_EQ(GetFullPathNameA(row.in.c_str(), sizeof buffer, buffer, &file_part),
              row.out.size());
    EXPECT_EQ(std::string(buffer), row.out);
    if (row.file_part == nullptr) {
      EXPECT_EQ(file_part, nullptr);
    } else {
      EXPECT_STREQ(file_part, row.file_part);
    }
  }
  char small[4];
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(GetFullPathNameA("c.txt", sizeof small, small, nullptr), base.size() + 7);
  EXPECT_EQ(small[0], '#');
  SetLastError(kSentinel);
  EXPECT_EQ(GetFullPathNameA("", sizeof small, small, nullptr), 0u);
  EXPECT_EQ(GetLastError(), DWORD{ERROR_INVALID_NAME});
  ASSERT_EQ(chdir(cwd), 0);
}

}  // namespace
