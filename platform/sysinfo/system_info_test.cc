#include <unistd.h>

#include <cstring>
#include <string>
#include <thread>

#include "tests/test_util.h"
#include "windows.h"

namespace {

using kova::test::IsolatedTest;
using kova::test::ScopedEnv;

constexpr DWORD kSentinelError = 0xdeadbeef;

TEST(GetUserName, GivesTheLoginNameWithThePlatformSizeRule) {
  kova::test::RunResult id = kova::test::RunProgram("/usr/bin/id", {"-un"});
  ASSERT_EQ(id.exit_code, 0) << id.err;
  std::string expected = id.out.substr(0, id.out.find('\n'));
  ASSERT_FALSE(expected.empty());

  char buffer[UNLEN + 1];
  std::memset(buffer, 'X', sizeof buffer);
  DWORD size = sizeof buffer;
  ASSERT_WIN_OK(GetUserNameA(buffer, &size));
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_EQ(size, expected.size() + 1);

  // Exactly the length is one too few: the NUL is counted.
  std::memset(buffer, 'X', sizeof buffer);
  size = static_cast<DWORD>(expected.size());
  SetLastError(kSentinelError);
  EXPECT_FALSE(GetUserNameA(buffer, &size));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(size, expected.size() + 1);
  EXPECT_EQ(buffer[0], 'X');

  size = 0;
  EXPECT_FALSE(GetUserNameA(nullptr, &size));
  EXPECT_EQ(size, expected.size() + 1);

  SetLastError(kSentinelError);
  EXPECT_FALSE(GetUserNameA(buffer, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(GetVersionEx, ReportsNt10AndChecksTheSizeField) {
  OSVERSIONINFOA info;
  std::memset(&info, 0x55, sizeof info);
  info.dwOSVersionInfoSize = sizeof info;
  ASSERT_WIN_OK(GetVersionExA(&info));
  EXPECT_EQ(info.dwMajorVersion, 10u);
  EXPECT_EQ(info.dwMinorVersion, 0u);
  EXPECT_EQ(info.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
  EXPECT_GT(info.dwBuildNumber, 0u);
  EXPECT_STREQ(info.szCSDVersion, "");
  // The 9x family has bit 0 of the platform id set; this platform must not.
  EXPECT_EQ(info.dwPlatformId & 1, 0u);

  OSVERSIONINFOEXA ex;
  std::memset(&ex, 0x55, sizeof ex);
  ex.dwOSVersionInfoSize = sizeof ex;
  ASSERT_WIN_OK(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&ex)));
  EXPECT_EQ(ex.dwMajorVersion, 10u);
  EXPECT_EQ(ex.wServicePackMajor, 0);
  EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);

  for (DWORD bad : {DWORD{0}, DWORD{sizeof info - 1}, DWORD{sizeof info + 1}}) {
    SCOPED_TRACE(bad);
    std::memset(&info, 0x55, sizeof info);
    info.dwOSVersionInfoSize = bad;
    SetLastError(kSentinelError);
    EXPECT_FALSE(GetVersionExA(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(info.dwMajorVersion, 0x55555555u);
  }
}

TEST(ProcessAndThreadIds, IdentifyTheProcessAndEachThread) {
  EXPECT_EQ(GetCurrentProcessId(), static_cast<DWORD>(getpid()));
  const DWORD main_thread = GetCurrentThreadId();
  EXPECT_EQ(GetCurrentThreadId(), main_thread);
  DWORD other_thread = main_thread, other_process = 0;
  std::thread([&] {
    other_thread = GetCurrentThreadId();
    other_process = GetCurrentProcessId();
  }).join();
  EXPECT_NE(other_thread, main_thread);
  EXPECT_EQ(other_process, GetCurrentProcessId());
}

class SystemFolders : public IsolatedTest {};

TEST_F(SystemFolders, ComeFromTheOverridesWithBackslashesAndTheSizeRule) {
  ScopedEnv windows("KOVA_WINDOWS_DIR", "/srv/kova/windows/");
  ScopedEnv system("KOVA_SYSTEM_DIR", "/srv/kova/system");
  char buffer[MAX_PATH];
  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetWindowsDirectoryA(buffer, sizeof buffer), 17u);
  EXPECT_STREQ(buffer, "\\srv\\kova\\windows");
  EXPECT_EQ(GetSystemDirectoryA(buffer, sizeof buffer), 16u);
  EXPECT_STREQ(buffer, "\\srv\\kova\\system");

  std::memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(GetSystemDirectoryA(buffer, 16), 17u);
  EXPECT_EQ(buffer[0], 'X');
  EXPECT_EQ(GetSystemDirectoryA(buffer, 17), 16u);
}

TEST_F(SystemFolders, SystemFolderDefaultsToThePlatformLibraryFolder) {
  ScopedEnv system("KOVA_SYSTEM_DIR", std::nullopt);
  char buffer[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(buffer, sizeof buffer), 0u);
  std::string expected = kova::test::LibDir();
  for (char& c : expected)
    if (c == '/') c = '\\';
  EXPECT_STREQ(buffer, expected.c_str());
}

}  // namespace
