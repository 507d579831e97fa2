// Where an LDAP Kova's password can end up: the shared blocks and cache copies
// are the user's alone, and no message box, error text or temporary file shows
// it, also when the bind is refused.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "api/api_test_support.h"
#include "tests/faults/fault_support.h"
#include "tests/faults/ldap_kova_test.h"
#include "tests/test_util.h"

namespace {

using kova::test::Bstr;
using kova::test::FileMode;
using kova::test::ReadFileBytes;
using kova::test::RunProgram;

constexpr char kWrongPassword[] = "Wrong-Secret-7f3a";

// The shared-memory objects of this user ("kova-<uid>-..." in /dev/shm).
std::vector<std::string> UserBlocks() {
  std::vector<std::string> paths;
  const std::string prefix = "kova-" + std::to_string(getuid()) + "-";
  DIR* dir = opendir("/dev/shm");
  if (dir == nullptr) return paths;
  while (dirent* entry = readdir(dir)) {
    if (std::strncmp(entry->d_name, prefix.c_str(), prefix.size()) == 0)
      paths.push_back(std::string("/dev/shm/") + entry->d_name);
  }
  closedir(dir);
  return paths;
}

class LdapSecretsTest : public kova::test::LdapKovaTest {
 protected:
  void SetUp() override {
    LdapKovaTest::SetUp();
    if (HasFatalFailure()) return;
    AddFile(Below("CN=a.lms"), "a.lms", {"[S]\r\nK=stored\r\n"});
  }

  // Every file below the temporary folder that holds `secret`.
  std::vector<std::string> TempFilesHolding(const std::string& secret) const {
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(TempDir())) {
      if (entry.is_regular_file() &&
          ReadFileBytes(entry.path().string()).find(secret) != std::string::npos)
        found.push_back(entry.path().string());
    }
    return found;
  }
};

TEST_F(LdapSecretsTest, SharedBlocksAndCacheCopiesAreTheUsersAlone) {
  DefineKova();
  KOVA_LONG_PTR h = 0;
  Bstr path(KovaPath("a.lms"));
  ASSERT_EQ(api_.KovaLoadFile(&h, path.in()), S_OK);

  // The replacer block and the Kova's LDAP block, which holds the password.
  const std::vector<std::string> blocks = UserBlocks();
  EXPECT_GE(blocks.size(), 2u);
  for (const std::string& block : blocks) {
    struct stat st;
    ASSERT_EQ(stat(block.c_str(), &st), 0) << block;
    EXPECT_EQ(st.st_mode & 07777, 0600u) << block;
    EXPECT_EQ(st.st_uid, getuid()) << block;
  }
  // The cache copy of the loaded file.
  const auto copies = TempFiles();
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(FileMode(TempDir() + "/" + copies[0]), 0600);
  EXPECT_EQ(ReadFileBytes(TempDir() + "/" + copies[0]), "[S]\r\nK=stored\r\n");
  EXPECT_TRUE(TempFilesHolding(settings_.password).empty());
  EXPECT_EQ(api_.KovaUnInitialize(h), S_OK);
}

TEST_F(LdapSecretsTest, ARefusedBindShowsNoPasswordAnywhere) {
  DefineKova(0, 120, kWrongPassword);
  // In this process: the load, a flush and a writability test all meet the
  // refusal.
  KOVA_LONG_PTR h = 0;
  Bstr path(KovaPath("a.lms"));
  ASSERT_EQ(api_.KovaLoadFile(&h, path.in()), S_OK);
  Bstr s("S"), k("K"), v("changed");
  EXPECT_EQ(api_.KovaSetProfileString(h, s.in(), k.in(), v.in()), S_OK);
  EXPECT_EQ(api_.KovaFlushFile(h), S_FALSE);
  EXPECT_EQ(api_.KovaIsPathWriteAble(h, path.in()), S_FALSE);
  EXPECT_EQ(api_.KovaUnInitialize(h), S_OK);
  // And in a process of its own, whose standard error is seen too.
  auto run = RunProgram("fault_client", {"get", KovaPath("a.lms"), "S", "K"});
  EXPECT_EQ(run.out, "<none>\n");

  const auto boxes = MessageBoxLines();
  ASSERT_FALSE(boxes.empty()) << "the refusal is shown";
  for (const std::string& box : boxes)
    EXPECT_EQ(box.find(kWrongPassword), std::string::npos) << box;
  EXPECT_EQ(run.err.find(kWrongPassword), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find(kWrongPassword), std::string::npos) << run.out;
  EXPECT_TRUE(TempFilesHolding(kWrongPassword).empty());
  for (const std::string& name : TempFiles())
    EXPECT_EQ(FileMode(TempDir() + "/" + name), 0600) << name;
}

}  // namespace
