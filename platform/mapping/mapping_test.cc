#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "tests/test_util.h"
#include "windows.h"

namespace {

constexpr DWORD kSize = 3640;

std::string UniqueName(const char* tag) {
  return std::string("Kova mapping test - ") + tag + " - " + std::to_string(getpid());
}

HANDLE Create(const std::string& name, DWORD* last_error) {
  SetLastError(0xdeadbeef);
  HANDLE handle = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     kSize, name.c_str());
  *last_error = GetLastError();
  return handle;
}

bool AllZero(const char* view) {
  for (DWORD i = 0; i < kSize; ++i)
    if (view[i] != 0) return false;
  return true;
}

TEST(FileMappingTest, SecondOpenSeesTheBlockAndLastCloseEndsIt) {
  std::string name = UniqueName("one process");
  DWORD error = 0;
  HANDLE first = Create(name, &error);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(error, ERROR_SUCCESS);
  char* view = static_cast<char*>(MapViewOfFile(first, FILE_MAP_WRITE, 0, 0, kSize));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(AllZero(view));
  std::strcpy(view, "shared");

  HANDLE second = Create(name, &error);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(error, ERROR_ALREADY_EXISTS);
  char* other = static_cast<char*>(MapViewOfFile(second, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(other, nullptr);
  EXPECT_STREQ(other, "shared");

  // A view keeps the block alive after every handle is closed.
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_TRUE(CloseHandle(second));
  HANDLE reopened = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name.c_str());
  ASSERT_NE(reopened, nullptr);
  EXPECT_TRUE(CloseHandle(reopened));
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_TRUE(UnmapViewOfFile(other));

  SetLastError(0xdeadbeef);
  EXPECT_EQ(OpenFileMappingA(FILE_MAP_WRITE, FALSE, name.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  HANDLE fresh = Create(name, &error);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(error, ERROR_SUCCESS);
  char* fresh_view =
      static_cast<char*>(MapViewOfFile(fresh, FILE_MAP_WRITE, 0, 0, kSize));
  ASSERT_NE(fresh_view, nullptr);
  EXPECT_TRUE(AllZero(fresh_view));
  UnmapViewOfFile(fresh_view);
  CloseHandle(fresh);
}

// Runs `body` in a forked child that reports through its exit code.
template <typename Body>
int InChild(Body body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(FileMappingTest, TwoProcessesShareOneBlock) {
  std::string name = UniqueName("two processes");
  DWORD error = 0;
  HANDLE handle = Create(name, &error);
  ASSERT_NE(handle, nullptr);
  char* view = static_cast<char*>(MapViewOfFile(handle, FILE_MAP_WRITE, 0, 0, kSize));
  ASSERT_NE(view, nullptr);
  std::strcpy(view, "from parent");

  int child = InChild([&] {
    DWORD child_error = 0;
    HANDLE h = Create(name, &child_error);
    if (h == nullptr || child_error != ERROR_ALREADY_EXISTS) return 1;
    char* v = static_cast<char*>(MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, kSize));
    if (v == nullptr || std::strcmp(v, "from parent") != 0) return 2;
    std::strcpy(v, "from child");
    UnmapViewOfFile(v);
    CloseHandle(h);
    return 0;
  });
  EXPECT_EQ(child, 0);
  EXPECT_STREQ(view, "from child");
  UnmapViewOfFile(view);
  CloseHandle(handle);

  HANDLE fresh = Create(name, &error);
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(error, ERROR_SUCCESS);
  char* fresh_view = static_cast<char*>(MapViewOfFile(fresh, FILE_MAP_READ, 0, 0, 0));
  EXPECT_TRUE(AllZero(fresh_view));
  UnmapViewOfFile(fresh_view);
  CloseHandle(fresh);
}

TEST(FileMappingTest, BlockOfAKilledHolderIsGone) {
  std::string name = UniqueName("killed holder");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t pid = fork();
  if (pid == 0) {
    DWORD error = 0;
    HANDLE h = Create(name, &error);
    char* v = static_cast<char*>(MapViewOfFile(h, FILE_MAP_WRITE, 0, 0, kSize));
    if (v) std::strcpy(v, "left behind");
    char byte = v ? 1 : 0;
    if (write(ready[1], &byte, 1) != 1) _exit(3);
    pause();
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 1);
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(ready[0]);
  close(ready[1]);

  DWORD error = 0;
  HANDLE handle = Create(name, &error);
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(error, ERROR_SUCCESS);
  char* view = static_cast<char*>(MapViewOfFile(handle, FILE_MAP_READ, 0, 0, kSize));
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(AllZero(view));
  UnmapViewOfFile(view);
  CloseHandle(handle);
}

std::string PrivateFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return std::string(runtime && *runtime ? runtime : "/tmp") + "/kova-shm-" +
         std::to_string(getuid());
}

std::set<std::string> HolderFiles() {
  std::set<std::string> names;
  if (DIR* dir = opendir(PrivateFolder().c_str())) {
    while (const dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name.size() > 8 && name.compare(name.size() - 8, 8, ".holders") == 0)
        names.insert(name);
    }
    closedir(dir);
  }
  return names;
}

// A block whose name no process opens again (as the replacer block's, which
// holds its process id) is removed by the next process that opens any block.
TEST(FileMappingTest, ANewProcessSweepsTheBlocksOfKilledHolders) {
  const std::set<std::string> before = HolderFiles();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t pid = fork();
  if (pid == 0) {
    DWORD error = 0;
    HANDLE h = Create(UniqueName("never opened again"), &error);
    char byte = h != nullptr ? 1 : 0;
    if (write(ready[1], &byte, 1) != 1) _exit(3);
    pause();
    _exit(0);
  }
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  ASSERT_EQ(byte, 1);
  std::set<std::string> left;
  for (const std::string& name : HolderFiles())
    if (before.count(name) == 0) left.insert(name);
  ASSERT_EQ(left.size(), 1u);
  const std::string hashed = left.begin()->substr(0, left.begin()->size() - 8);
  const std::string shm = "/dev/shm/kova-" + std::to_string(getuid()) + "-" + hashed;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  EXPECT_TRUE(kova::test::PathExists(shm)) << "nothing has swept yet";

  EXPECT_EQ(InChild([] {
              DWORD error = 0;
              HANDLE h = Create(UniqueName("sweeper"), &error);
              if (h == nullptr) return 1;
              CloseHandle(h);
              return 0;
            }),
            0);
  EXPECT_FALSE(kova::test::PathExists(shm));
  EXPECT_EQ(HolderFiles().count(*left.begin()), 0u);
}

TEST(FileMappingTest, BlocksArePrivateToTheirUser) {
  std::string name = UniqueName("private");
  DWORD error = 0;
  HANDLE handle = Create(name, &error);
  ASSERT_NE(handle, nullptr);
  std::string prefix = "kova-" + std::to_string(getuid()) + "-";
  int found = 0;
  DIR* dir = opendir("/dev/shm");
  ASSERT_NE(dir, nullptr);
  while (dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) != 0) continue;
    struct stat st;
    std::string path = std::string("/dev/shm/") + entry->d_name;
    if (stat(path.c_str(), &st) != 0) continue;
    ++found;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << path;
    EXPECT_EQ(st.st_uid, getuid());
  }
  closedir(dir);
  EXPECT_GE(found, 1);
  CloseHandle(handle);
}

TEST(FileMappingTest, RefusesWhatItCannotDo) {
  struct Row {
    const char* what;
    HANDLE file;
    DWORD protect;
    DWORD size;
    DWORD error;
  } rows[] = {
      {"a file handle", reinterpret_cast<HANDLE>(8), PAGE_READWRITE, 16,
       ERROR_INVALID_HANDLE},
      {"size zero", INVALID_HANDLE_VALUE, PAGE_READWRITE, 0, ERROR_INVALID_PARAMETER},
      {"bad protection", INVALID_HANDLE_VALUE, 0x40, 16, ERROR_INVALID_PARAMETER},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileMappingA(row.file, nullptr, row.protect, 0, row.size, "x"),
              nullptr);
    EXPECT_EQ(GetLastError(), row.error);
  }
  HANDLE unnamed =
      CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, nullptr);
  ASSERT_NE(unnamed, nullptr);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(MapViewOfFile(unnamed, FILE_MAP_WRITE, 0, 0, 8192), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(MapViewOfFile(reinterpret_cast<HANDLE>(12345), FILE_MAP_WRITE, 0, 0, 0),
            nullptr);
  EXPECT_FALSE(UnmapViewOfFile(&unnamed));
  EXPECT_TRUE(CloseHandle(unnamed));
  EXPECT_FALSE(CloseHandle(unnamed));
}

}  // namespace
