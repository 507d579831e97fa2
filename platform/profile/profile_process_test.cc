// Profile writes across real processes: two writers at once, a writer killed at
// random moments, a writer that runs out of room.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "errhandlingapi.h"
#include "profile/profile_test_writer.h"
#include "tests/test_util.h"
#include "winbase.h"
#include "winerror.h"

extern char** environ;

namespace {

using kova::test::GenerationKey;
using kova::test::GenerationValue;
using kova::test::PathExists;
using kova::test::ReadFileBytes;
using kova::test::RunProgram;
using kova::test::WriteFileBytes;

std::vector<std::string> SplitCrlfLines(const std::string& bytes) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    std::size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back(bytes.substr(pos) + "<no line end>");
      break;
    }
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

class ProfileProcessTest : public kova::test::IsolatedTest {};

TEST_F(ProfileProcessTest, TwoProcessesSettingDifferentKeysLoseNothing) {
  const std::string file = root().WinPath("shared.ini");
  const int kCount = 300;
  kova::test::RunResult runs[2];
  std::thread first([&] {
    runs[0] = RunProgram("profile_test_writer",
                         {"keys", file, "s", "a", std::to_string(kCount)});
  });
  std::thread second([&] {
    runs[1] = RunProgram("profile_test_writer",
                         {"keys", file, "s", "b", std::to_string(kCount)});
  });
  first.join();
  second.join();
  ASSERT_EQ(runs[0].exit_code, 0) << runs[0].err;
  ASSERT_EQ(runs[1].exit_code, 0) << runs[1].err;

  for (const char* prefix : {"a", "b"}) {
    for (int i = 0; i < kCount; ++i) {
      std::string key = prefix + std::to_string(i);
      char value[16];
      GetPrivateProfileStringA("s", key.c_str(), "<lost>", value, sizeof value,
                               file.c_str());
      ASSERT_EQ(std::string(value), "v" + std::to_string(i)) << key;
    }
  }
  // Well-formed: the header, then one "name=value" line per key, nothing else.
  std::vector<std::string> lines =
      SplitCrlfLines(ReadFileBytes(root().OsPath("shared.ini")));
  ASSERT_EQ(lines.size(), 1u + 2 * kCount);
  EXPECT_EQ(lines[0], "[s]");
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    std::size_t eq = line.find('=');
    ASSERT_NE(eq, std::string::npos) << line;
    ASSERT_EQ(line.substr(eq + 1), "v" + line.substr(1, eq - 1)) << line;
  }
  EXPECT_FALSE(PathExists(root().OsPath("shared.ini.lock")));
  EXPECT_FALSE(PathExists(root().OsPath("shared.ini.partial")));
}

// The file as the "generations" writer leaves it: keys 0..split-1 at generation
// high, the others at high - 1.
std::string GenerationFile(long high, int split, int count) {
  std::string bytes = "[g]\r\n";
  for (int k = 0; k < count; ++k) {
    bytes +=
        GenerationKey(k) + "=" + GenerationValue(k < split ? high : high - 1, k) + "\r\n";
  }
  return bytes;
}

// Finds the (generation, split) the bytes stand for; false when they stand for none.
bool MatchGenerationFile(const std::string& bytes, int count, long* high, int* split) {
  const std::string prefix = "[g]\r\n" + GenerationKey(0) + "=";
  if (bytes.compare(0, prefix.size(), prefix) != 0) return false;
  long first = std::atol(bytes.c_str() + prefix.size());
  *high = first;
  *split = 0;
  for (int k = 0; k < count; ++k) {
    if (bytes.find(GenerationKey(k) + "=" + GenerationValue(first, k) + "\r\n") ==
        std::string::npos)
      break;
    *split = k + 1;
  }
  if (*split == count) {
    // All keys at one generation: the state before generation first + 1.
    *high = first + 1;
    *split = 0;
  }
  return bytes == GenerationFile(*high, *split, count);
}

pid_t Spawn(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  std::vector<std::string> text = args;
  for (std::string& arg : text) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  return pid;
}

TEST_F(ProfileProcessTest, KilledWriterLeavesOldOrNewFile) {
  const int kCount = 1000;
  const std::string os_path = root().OsPath("gen.ini");
  const std::string file = root().WinPath("gen.ini");
  WriteFileBytes(os_path, GenerationFile(1, 0, kCount));
  const std::string program = kova::test::BinDir() + "/profile_test_writer";

  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> pause_us(2000, 60000);
  long writes = 0;
  long last_state = 1L * kCount;
  for (int round = 0; round < 25; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string before = ReadFileBytes(os_path);
    pid_t pid = Spawn({program, "generations", file, "g", std::to_string(kCount)});
    ASSERT_GT(pid, 0);
    // The pause counts from the writer's first finished write, so that how long a
    // process takes to start (much longer under the sanitizers) cannot leave
    // every kill before the first write.
    for (int waited_ms = 0; ReadFileBytes(os_path) == before && waited_ms < 30000;
         ++waited_ms) {
      usleep(1000);
    }
    usleep(pause_us(random));
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself, status " << status;

    long high = 0;
    int split = 0;
    ASSERT_TRUE(MatchGenerationFile(ReadFileBytes(os_path), kCount, &high, &split))
        << "the file holds no complete version";
    long state = high * kCount + split;
    ASSERT_GE(state, last_state) << "a write was lost";
    writes += state - last_state;
    last_state = state;
    // What the file says through the functions agrees with its bytes.
    char value[128];
    GetPrivateProfileStringA("g", GenerationKey(kCount - 1).c_str(), "", value,
                             sizeof value, file.c_str());
    ASSERT_EQ(std::string(value), GenerationValue(high - 1, kCount - 1));
  }
  EXPECT_GT(writes, 0) << "the writer never got a write done";

  // What a killed writer leaves (its lock file, its partial file) is cleared by the next.
  ASSERT_WIN_OK(WritePrivateProfileStringA("g", "extra", "1", file.c_str()));
  EXPECT_FALSE(PathExists(os_path + ".partial"));
  EXPECT_FALSE(PathExists(os_path + ".lock"));
}

TEST_F(ProfileProcessTest, FullDiskLeavesOldFileAndFails) {
  const std::string os_path = root().OsPath("full.ini");
  const std::string file = root().WinPath("full.ini");
  std::string before = "[big]\r\n";
  for (int i = 0; i < 200; ++i)
    before += "key" + std::to_string(i) + "=" + std::string(40, 'x') + "\r\n";
  WriteFileBytes(os_path, before);

  auto run =
      RunProgram("profile_test_writer", {"limited", file, "4096", "big", "new", "1"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "0 " + std::to_string(ERROR_DISK_FULL) + "\n");
  EXPECT_EQ(ReadFileBytes(os_path), before);
  EXPECT_FALSE(PathExists(os_path + ".partial"));

  // The same limit is no obstacle to a file that fits.
  const std::string small = root().WinPath("small.ini");
  run = RunProgram("profile_test_writer", {"limited", small, "4096", "s", "k", "v"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "1 0\n");
  EXPECT_EQ(ReadFileBytes(root().OsPath("small.ini")), "[s]\r\nk=v\r\n");
}

}  // namespace
