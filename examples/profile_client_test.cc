// The example client against the component of this build, registered with
// kovactl in the test's own registry folder, on a Kova defined with kovareg.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace {

using kova::test::ReadFileBytes;
using kova::test::RunProgram;
using kova::test::WriteFileBytes;

class ProfileClientTest : public kova::test::IsolatedTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(RunKovareg({"add", kKovaKey, "/v", "Path1", "/d", root().OsPath("work")}),
              0);
    ASSERT_EQ(RunKovareg({"add", kKovaKey, "/v", "Type1", "/t", "REG_DWORD", "/d", "0"}),
              0);
    std::filesystem::create_directories(root().OsPath("work/Sessions"));
    WriteFileBytes(root().OsPath("work/Sessions/a.ini"), kProfile);
  }

  void Register() {
    const auto run =
        RunProgram("kovactl", {"register", kova::test::LibDir() + "/libKovaIntr.so"});
    ASSERT_EQ(run.exit_code, 0) << run.out << run.err;
  }

  static int RunKovareg(const std::vector<std::string>& args) {
    const auto run = RunProgram("kovareg", args);
    EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
    return run.exit_code;
  }

  static constexpr char kKovaKey[] = R"(HKLM\Software\Corvanta\Vintrel\Kovas\Work)";
  static constexpr char kProfile[] = "[Display]\r\nColor=blue\r\nSize=12\r\n";
};

TEST_F(ProfileClientTest, ReadsThenWritesAndFlushesAValue) {
  Register();
  const std::string file = root().OsPath("work/Sessions/a.ini");

  auto run =
      RunProgram("profile_client", {R"(<Work>\Sessions\a.ini)", "Display", "color"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("created KovaIntr.KovaIntrApi, class "
                         "{97CA7B07-A9F0-41FE-81E4-7A6A03DCB9BA}\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("KovaGetProfileString [Display] color: S_OK \"blue\"\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("KovaUnInitialize: S_OK\n"), std::string::npos) << run.out;
  EXPECT_EQ(ReadFileBytes(file), kProfile) << "a read changed the file";

  run = RunProgram("profile_client",
                   {R"(<Work>\Sessions\a.ini)", "Display", "Color", "green"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("KovaGetProfileString [Display] Color: S_OK \"blue\"\n"
                         "KovaSetProfileString [Display] Color = \"green\": S_OK\n"
                         "KovaGetProfileString [Display] Color: S_OK \"green\"\n"
                         "KovaFlushFile: S_OK\n"
                         "KovaUnInitialize: S_OK\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(ReadFileBytes(file), "[Display]\r\nColor=green\r\nSize=12\r\n");
}

// A path that no Kova holds is a plain file path; this one names no existing
// folder, so the write (which the interface reports as done) does not take.
TEST_F(ProfileClientTest, NoticesAWriteThatDidNotTakeAndStillEndsTheSession) {
  Register();
  const auto run =
      RunProgram("profile_client", {R"(<Elsewhere>\a.ini)", "Display", "Color", "x"});
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("read back \"\" after writing \"x\"\n"
                         "KovaUnInitialize: S_OK\n"),
            std::string::npos)
      << run.out;
  EXPECT_EQ(run.out.find("KovaFlushFile"), std::string::npos) << run.out;
  EXPECT_EQ(ReadFileBytes(root().OsPath("work/Sessions/a.ini")), kProfile);
}

TEST_F(ProfileClientTest, SaysWhenTheComponentIsNotRegistered) {
  auto run =
      RunProgram("profile_client", {R"(<Work>\Sessions\a.ini)", "Display", "Color"});
  EXPECT_EQ(run.exit_code, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("CLSIDFromProgID KovaIntr.KovaIntrApi: 0x"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("(is the component registered?)"), std::string::npos) << run.out;

  run = RunProgram("profile_client", {"only-a-path"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_NE(run.err.find("usage: profile_client"), std::string::npos) << run.err;
}

}  // namespace
