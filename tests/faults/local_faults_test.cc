// A file-system Kova when the machine misbehaves: a profile write that runs out
// of room, a registry hive that is read-only or damaged, the component's
// registration into a hive it may not change.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "api/api_test_support.h"
#include "model/test_support.h"
#include "tests/faults/fault_support.h"
#include "tests/test_util.h"
#include "windows.h"

namespace {

using kova::test::Bstr;
using kova::test::OutBstr;
using kova::test::PathExists;
using kova::test::ReadFileBytes;
using kova::test::RunProgram;
using kova::test::ScopedEnv;
using kova::test::TestApi;
using kova::test::WriteFileBytes;

class LocalFaultTest : public kova::test::IsolatedTest {
 protected:
  LocalFaultTest() : user_dir_("KOVA_USERDIR", std::string("/srv/user")) {}

  void SetUp() override {
    kova::test::DefineKova(HKEY_CURRENT_USER, "Work",
                           {{"Path1", root().WinPath("work")}, {"Type1", DWORD{0}}});
    kova::test::DefineKova(HKEY_LOCAL_MACHINE, "Shared",
                           {{"Path1", root().WinPath("shared")}, {"Type1", DWORD{0}}});
    WriteFileBytes(root().OsPath("work/a.ini"), "[S]\r\nK=work\r\n");
    WriteFileBytes(root().OsPath("shared/a.ini"), "[S]\r\nK=shared\r\n");
  }

  std::string UserHive() const { return registry_dir() + "/user.reg"; }
  std::string MachineHive() const { return registry_dir() + "/system.reg"; }

  // The value of S/K in `kova_path`, read through the interface in this process.
  std::string Get(const std::string& kova_path) {
    KOVA_LONG_PTR h = 0;
    Bstr path(kova_path), s("S"), k("K"), d("<none>");
    EXPECT_EQ(api_.KovaLoadFile(&h, path.in()), S_OK);
    OutBstr value;
    EXPECT_EQ(api_.KovaGetProfileString(h, s.in(), k.in(), d.in(), value.out(), 260),
              S_OK);
    EXPECT_EQ(api_.KovaUnInitialize(h), S_OK);
    return value.text();
  }

  TestApi api_;
  ScopedEnv user_dir_;
};

TEST_F(LocalFaultTest, AProfileWriteThatRunsOutOfRoomLeavesTheOldFileWhole) {
  std::string before = "[S]\r\n";
  for (int i = 0; before.size() < 3000; ++i)
    before += "key" + std::to_string(i) + "=" + std::string(40, 'x') + "\r\n";
  WriteFileBytes(root().OsPath("work/big.ini"), before);

  // The new file would be larger than the process may write.
  auto run = RunProgram("fault_client", {"limited", "4096", "<Work>\\big.ini", "S", "new",
                                         std::string(2000, 'y')});
  EXPECT_EQ(run.exit_code, 0) << "the client went on: " << run.out << run.err;
  EXPECT_EQ(ReadFileBytes(root().OsPath("work/big.ini")), before);
  for (const char* leftover : {"work/big.ini.partial", "work/big.ini.lock"})
    EXPECT_FALSE(PathExists(root().OsPath(leftover))) << leftover;

  // A write that fits under the same limit goes through.
  run =
      RunProgram("fault_client", {"limited", "4096", "<Work>\\big.ini", "S", "new", "1"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(ReadFileBytes(root().OsPath("work/big.ini")), before + "new=1\r\n");
}

TEST_F(LocalFaultTest, ADamagedUserHiveLeavesTheMachineKovasWorking) {
  const std::string damaged = ReadFileBytes(UserHive()) + "this is no registry line\r\n";
  WriteFileBytes(UserHive(), damaged);

  // Another process says which file and line, and works on with the other hive.
  auto run = RunProgram("fault_client", {"get", "<Shared>\\a.ini", "S", "K"});
  EXPECT_EQ(run.exit_code, 0) << run.out << run.err;
  EXPECT_EQ(run.out, "shared\n");
  EXPECT_NE(run.err.find(UserHive() + ": line "), std::string::npos) << run.err;
  run = RunProgram("fault_client", {"get", "<Work>\\a.ini", "S", "K"});
  EXPECT_EQ(run.out, "<none>\n") << "the damaged hive's Kova is not known";

  // Through every operation that reads definitions: answers, no crash.
  EXPECT_EQ(Get("<Shared>\\a.ini"), "shared");
  KOVA_LONG_PTR h = 0;
  ASSERT_EQ(api_.KovaInitialize(&h), S_OK);
  OutBstr default_path;
  EXPECT_EQ(api_.KovaGetDefaultKovaPath(h, default_path.out()), S_OK);
  EXPECT_EQ(default_path.text(), "<Shared>\\");
  Bstr work(std::string("<Work>\\a.ini"));
  EXPECT_EQ(api_.KovaFileExists(h, work.in()), S_FALSE);
  EXPECT_EQ(api_.KovaUnInitialize(h), S_OK);
  EXPECT_EQ(ReadFileBytes(UserHive()), damaged) << "a damaged hive is never rewritten";
}

TEST_F(LocalFaultTest, ReadOnlyHivesAreStillReadAndRefuseTheRegistration) {
  const std::string before = ReadFileBytes(UserHive());
  const std::string machine_before = ReadFileBytes(MachineHive());
  for (const std::string& hive : {UserHive(), MachineHive()})
    ASSERT_EQ(chmod(hive.c_str(), 0444), 0);
  EXPECT_EQ(Get("<Work>\\a.ini"), "work");
  EXPECT_EQ(Get("<Shared>\\a.ini"), "shared");

  // The component cannot register into it: a failure, not a crash, and the
  // hive is as it was.
  HMODULE module = LoadLibraryA((kova::test::LibDir() + "/libKovaIntr.so").c_str());
  ASSERT_NE(module, nullptr);
  using Entry = HRESULT(STDAPICALLTYPE*)();
  auto registerServer = reinterpret_cast<Entry>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "DllRegisterServer")));
  ASSERT_NE(registerServer, nullptr);
  EXPECT_TRUE(FAILED(registerServer()));
  EXPECT_EQ(ReadFileBytes(UserHive()), before);
  EXPECT_EQ(ReadFileBytes(MachineHive()), machine_before);

  for (const std::string& hive : {UserHive(), MachineHive()})
    ASSERT_EQ(chmod(hive.c_str(), 0644), 0);
  EXPECT_EQ(registerServer(), S_OK);
  FreeLibrary(module);
}

}  // namespace
