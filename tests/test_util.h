// Helpers shared by the tests: private folders and environments, file bytes,
// assertions that print the system error.
#ifndef KOVA_TESTS_TEST_UTIL_H_
#define KOVA_TESTS_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace kova::test {

// A fresh folder under $TMPDIR (or /tmp), removed with its contents on destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // "/tmp/kova-XXXXXX" (OS form) and "\tmp\kova-XXXXXX" (the system's form).
  const std::string& os_path() const { return os_path_; }
  std::string win_path() const;
  // Both forms of a path below the folder; `relative` uses '/'.
  std::string OsPath(const std::string& relative) const;
  std::string WinPath(const std::string& relative) const;

 private:
  std::string os_path_;
};

// Sets (or with nullopt unsets) an environment variable for the life of the object.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::optional<std::string>& value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// A test whose process sees only its own registry, temporary folder, home and
// Windows folder, all below one TempDir: KOVA_REGISTRY_DIR, TMPDIR, HOME,
// XDG_CONFIG_HOME, KOVA_WINDOWS_DIR and KOVA_MESSAGEBOX_LOG point there.
class IsolatedTest : public ::testing::Test {
 protected:
  IsolatedTest();
  ~IsolatedTest() override;

  TempDir& root() { return root_; }
  std::string registry_dir() const { return root_.OsPath("registry"); }
  std::string temp_dir() const { return root_.OsPath("tmp"); }
  std::string windows_dir() const { return root_.OsPath("windows"); }
  // The message boxes shown so far (one JSON line each).
  std::vector<std::string> MessageBoxLines() const;

 private:
  TempDir root_;
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

std::string ReadFileBytes(const std::string& os_path);
// Creates the missing parent folders; a file that cannot be written fails the test.
void WriteFileBytes(const std::string& os_path, const std::string& bytes);
bool PathExists(const std::string& os_path);
// The base64 form of `bytes`, as LDIF carries binary values.
std::string Base64(const std::string& bytes);

// The build's output folders (bin/ and lib/ below the build folder).
std::string BuildDir();
std::string BinDir();
std::string LibDir();

// Runs a program of bin/ with arguments and extra environment; returns its exit
// status (or -1 when it did not exit normally) and what it printed.
struct RunResult {
  int exit_code = -1;
  std::string out;
  std::string err;
};
RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& extra_env = {},
                     const std::string& stdin_text = "");

}  // namespace kova::test

// Asserts a BOOL-returning platform call and prints GetLastError when it fails.
#define ASSERT_WIN_OK(expr)                                                         \
  do {                                                                              \
    auto kova_result_ = (expr);                                                     \
    ASSERT_TRUE(kova_result_) << #expr << " failed, last error " << GetLastError(); \
  } while (0)
#define EXPECT_WIN_OK(expr) \
  EXPECT_TRUE(expr) << #expr << " failed, last error " << GetLastError()

// Asserts an LSTATUS/DWORD status equal to ERROR_SUCCESS.
#define ASSERT_STATUS_OK(expr) ASSERT_EQ((expr), 0L) << #expr
#define EXPECT_STATUS_OK(expr) EXPECT_EQ((expr), 0L) << #expr

#endif  // KOVA_TESTS_TEST_UTIL_H_
