// The replacers whose values come from the registry, the shell and the system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "macros/replacers.h"
#include "macros/test_support.h"
#include "tests/test_util.h"

namespace kova {
namespace {

constexpr char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
constexpr char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr char kSoundEvents[] = "AppEvents\\Schemes\\Apps\\.Default\\";

std::string Key(const char* version, const char* product) {
  return std::string("Software\\Corvanta\\Vintrel\\") + version + "\\" + product;
}

class ReplacerSourcesTest : public test::IsolatedTest {
 protected:
  std::string Expanded(std::string text) {
    replacers_.Expand(text);
    return text;
  }

  test::SlotReplacers replacers_;
};

TEST_F(ReplacerSourcesTest, ProgramFilesIsTheStoredValueOrStays) {
  EXPECT_EQ(Expanded("$PROGRAMFILES$\\a"), "$PROGRAMFILES$\\a");
  test::CreateRegKey(HKEY_LOCAL_MACHINE, kCurrentVersion);
  EXPECT_EQ(Expanded("$PROGRAMFILES$\\a"), "\\a");
  test::SetRegValue(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir",
                    "C:\\Program Files\\");
  EXPECT_EQ(Expanded("$PROGRAMFILES$\\a"), "C:\\Program Files\\\\a");
  // The user hive is never consulted.
  test::SetRegValue(HKEY_CURRENT_USER, kCurrentVersion, "ProgramFilesDir", "U:\\");
  EXPECT_EQ(Expanded("$PROGRAMFILES$"), "C:\\Program Files\\");
}

TEST_F(ReplacerSourcesTest, DeployRunPathPrefersTheUserRegistration) {
  const std::string key = std::string("Software\\Classes\\CLSID\\") +
                          kDeploymentComponentClassId + "\\InprocServer32";
  EXPECT_EQ(Expanded("$DEPLOYRUNPATH$"), "$DEPLOYRUNPATH$");
  // Paths that do not exist have no short form and stay long.
  test::SetRegValue(HKEY_LOCAL_MACHINE, key, nullptr, "\\missing\\machine\\deploy.dll");
  EXPECT_EQ(Expanded("$DEPLOYRUNPATH$"), "\\missing\\machine\\deploy.dll");
  test::SetRegValue(HKEY_CURRENT_USER, key, nullptr, "\\missing\\user\\deploy.dll");
  EXPECT_EQ(Expanded("$DEPLOYRUNPATH$"), "\\missing\\user\\deploy.dll");
}

TEST_F(ReplacerSourcesTest, FatUserDirSearchesVersionsNewestFirstUserHiveFirst) {
  EXPECT_EQ(Expanded("[$FATUSERDIR$]"), "[]");
  test::SetRegValue(HKEY_LOCAL_MACHINE, Key("7.00", "Brevox"), "UserDir", "M700\\");
  EXPECT_EQ(Expanded("$FATUSERDIR$"), "M700");
  test::SetRegValue(HKEY_CURRENT_USER, Key("11.00", "Brevox"), "UserDir", "U1100");
  EXPECT_EQ(Expanded("$FATUSERDIR$"), "U1100");
  test::SetRegValue(HKEY_LOCAL_MACHINE, Key("11.00", "Brevox"), "UserDir", "M1100");
  EXPECT_EQ(Expanded("$FATUSERDIR$"), "U1100");
  // An empty value does not end the search.
  test::SetRegValue(HKEY_CURRENT_USER, Key("12.00", "Brevox"), "UserDir", "");
  EXPECT_EQ(Expanded("$FATUSERDIR$"), "U1100");
  test::SetRegValue(HKEY_LOCAL_MACHINE, Key("12.00", "Brevox"), "UserDir", "M1200");
  EXPECT_EQ(Expanded("$FATUSERDIR$"), "M1200");
  // UserDir is looked for under the product keys only.
  test::SetRegValue(HKEY_CURRENT_USER, Key("12.00", "Security"), "UserDir", "S");
  EXPECT_EQ(Expanded("$FATUSERDIR$"), "M1200");
}

TEST_F(ReplacerSourcesTest, FatHomeDirSearchesAllTwentyKeysInOrder) {
  test::SetRegValue(HKEY_LOCAL_MACHINE, Key("7.00", "Corvanta Neighborhood"), "HomeDir",
                    "N700\\");
  EXPECT_EQ(Expanded("$FATHOMEDIR$"), "N700");
  test::SetRegValue(HKEY_CURRENT_USER, Key("12.00", "Corvanta Neighborhood"), "HomeDir",
                    "N1200");
  EXPECT_EQ(Expanded("$FATHOMEDIR$"), "N1200");
  test::SetRegValue(HKEY_LOCAL_MACHINE, Key("9.00", "Security"), "HomeDir", "S900");
  EXPECT_EQ(Expanded("$FATHOMEDIR$"), "S900");
  test::SetRegValue(HKEY_CURRENT_USER, Key("7.00", "Brevox"), "HomeDir", "B700");
  EXPECT_EQ(Expanded("$FATHOMEDIR$"), "B700");
}

TEST_F(ReplacerSourcesTest, RegistryValueThatDoesNotFitIsNotFound) {
  test::SetRegValue(HKEY_CURRENT_USER, Key("12.00", "Brevox"), "HomeDir",
                    std::string(260, 'h'));
  EXPECT_EQ(Expanded("$FATHOMEDIR$"), "$FATHOMEDIR$");
  test::SetRegValue(HKEY_CURRENT_USER, Key("11.00", "Brevox"), "HomeDir",
                    std::string(259, 'h'));
  EXPECT_EQ(Expanded("$FATHOMEDIR$"), std::string(259, 'h'));
}

TEST_F(ReplacerSourcesTest, SystemFoldersAndDrive) {
  test::ScopedEnv windows("KOVA_WINDOWS_DIR", "C:\\WINDOWS");
  test::ScopedEnv system("KOVA_SYSTEM_DIR", "C:\\WINDOWS\\system32");
  char temp_path[261] = {};
  ASSERT_GT(GetTempPathA(sizeof(temp_path), temp_path), 1u);
  std::string temp_dir = temp_path;
  temp_dir.pop_back();
  EXPECT_EQ(Expanded("$WINDRIVE$\\x"), "C:\\x");
  EXPECT_EQ(Expanded("$SYSDIR$"), "C:\\WINDOWS\\system32");
  EXPECT_EQ(Expanded("$RUNDLL32PATH$"), "C:\\WINDOWS\\system32\\rundll32.exe");
  EXPECT_EQ(Expanded("$TEMPDIR$\\f"), temp_dir + "\\f");
  EXPECT_NE(temp_dir.back(), '\\');
}

TEST_F(ReplacerSourcesTest, WindowsDriveWithoutAColonIsTheWholeDirectory) {
  test::ScopedEnv windows("KOVA_WINDOWS_DIR", "/opt/windows");
  EXPECT_EQ(Expanded("$WINDRIVE$"), "\\opt\\windows");
  // The application-data fallback keeps only a real drive letter.
  EXPECT_EQ(Expanded("[$USERWINAPPDATA$]"), "[]");
}

TEST_F(ReplacerSourcesTest, ShellFoldersAndTheirUserFallbacks) {
  struct Row {
    const char* replacer;
    const char* common;  // all-users value, or null for a per-user folder
    const char* user;
    const char* user_replacer;  // the per-user form of an all-users folder
  };
  const std::vector<Row> rows = {
      {"$DESKTOP$", nullptr, "Desktop", nullptr},
      {"$STARTMENU$", nullptr, "Start Menu", nullptr},
      {"$STARTMENU-PROGRAMS$", nullptr, "Programs", nullptr},
      {"$ALLUSER-DESKTOP$", "Common Desktop", "Desktop", "$DESKTOP$"},
      {"$ALLUSER-STARTMENU$", "Common Start Menu", "Start Menu", "$STARTMENU$"},
      {"$ALLUSER-STARTMENU-PROGRAMS$", "Common Programs", "Programs",
       "$STARTMENU-PROGRAMS$"},
  };
  for (const Row& row : rows) EXPECT_EQ(Expanded(row.replacer), "") << row.replacer;
  for (const Row& row : rows)
    test::SetRegValue(HKEY_CURRENT_USER, kShellFolders, row.user,
                      std::string("U\\") + row.user + "\\");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.replacer);
    // Used as stored, trailing backslash included.
    EXPECT_EQ(Expanded(row.replacer), std::string("U\\") + row.user + "\\");
    if (row.common == nullptr) continue;
    test::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, row.common,
                      std::string("M\\") + row.common);
    EXPECT_EQ(Expanded(row.replacer), std::string("M\\") + row.common);
    // The per-user form never reads the machine hive.
    test::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, row.user, "wrong");
    EXPECT_EQ(Expanded(row.user_replacer), std::string("U\\") + row.user + "\\");
  }
}

TEST_F(ReplacerSourcesTest, UserAppDataFallsBackToTheWindowsDrive) {
  test::ScopedEnv windows("KOVA_WINDOWS_DIR", "C:\\WINDOWS");
  EXPECT_EQ(Expanded("$USERWINAPPDATA$"), "C:");
  test::SetRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData", "");
  EXPECT_EQ(Expanded("[$USERWINAPPDATA$]"), "[]");
  test::SetRegValue(HKEY_CURRENT_USER, kShellFolders, "AppData", "U\\AppData\\");
  EXPECT_EQ(Expanded("$USERWINAPPDATA$"), "U\\AppData\\");
}

TEST_F(ReplacerSourcesTest, AllUsersAppDataDerivesAndCreatesTheFolder) {
  test::ScopedEnv windows("KOVA_WINDOWS_DIR", "C:\\WINDOWS");
  EXPECT_EQ(Expanded("$ALLUSERWINAPPDATA$"), "C:");

  const std::string start_menu = root().WinPath("all/Start Menu");
  const std::string derived = root().WinPath("all/Application Data");
  test::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Start Menu", start_menu);
  ASSERT_FALSE(test::PathExists(root().OsPath("all")));
  // The parent folder is missing, so the folder cannot be created.
  EXPECT_EQ(Expanded("$ALLUSERWINAPPDATA$"), "C:");
  ASSERT_TRUE(CreateDirectoryA(root().WinPath("all").c_str(), nullptr));
  EXPECT_EQ(Expanded("$ALLUSERWINAPPDATA$"), derived);
  EXPECT_TRUE(test::PathExists(root().OsPath("all/Application Data")));
  // Created once: afterwards a missing "Common AppData" gives the drive again ...
  EXPECT_EQ(Expanded("$ALLUSERWINAPPDATA$"), "C:");
  // ... while an empty one gives the derived folder.
  test::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData", "");
  EXPECT_EQ(Expanded("$ALLUSERWINAPPDATA$"), derived);
  test::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData", "M\\Data");
  EXPECT_EQ(Expanded("$ALLUSERWINAPPDATA$"), "M\\Data");
}

TEST_F(ReplacerSourcesTest, AllUsersAppDataEmptyWithoutAUsableStartMenu) {
  test::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common AppData", "");
  EXPECT_EQ(Expanded("[$ALLUSERWINAPPDATA$]"), "[]");
  test::SetRegValue(HKEY_LOCAL_MACHINE, kShellFolders, "Common Start Menu",
                    "NoBackslash");
  EXPECT_EQ(Expanded("[$ALLUSERWINAPPDATA$]"), "[]");
}

TEST_F(ReplacerSourcesTest, MyDocumentsIsTheShellDocumentsFolder) {
  test::ScopedEnv documents("KOVA_DOCUMENTS_DIR", root().OsPath("docs"));
  EXPECT_EQ(Expanded("$MYDOCUMENTS$\\a"), root().WinPath("docs") + "\\a");
}

TEST_F(ReplacerSourcesTest, WindowsMediaDirIsTheFolderOfTheDefaultSound) {
  const std::string exclamation =
      std::string(kSoundEvents) + "SystemExclamation\\.Default";
  const std::string start = std::string(kSoundEvents) + "SystemStart\\.Default";
  EXPECT_EQ(Expanded("[$WINDOWSMEDIADIR$]"), "[]");
  test::SetRegValue(HKEY_CURRENT_USER, start, nullptr, "C:\\Media\\start.wav");
  EXPECT_EQ(Expanded("$WINDOWSMEDIADIR$"), "C:\\Media");
  // An exclamation event without a sound falls through to the start-up sound.
  test::CreateRegKey(HKEY_CURRENT_USER, exclamation);
  EXPECT_EQ(Expanded("$WINDOWSMEDIADIR$"), "C:\\Media");
  test::SetRegValue(HKEY_CURRENT_USER, exclamation, nullptr, "D:\\Sounds\\ding.wav");
  EXPECT_EQ(Expanded("$WINDOWSMEDIADIR$"), "D:\\Sounds");
  test::SetRegValue(HKEY_CURRENT_USER, exclamation, nullptr, "%MEDIA%ding.wav");
  EXPECT_EQ(Expanded("$WINDOWSMEDIADIR$"), "%MEDIA%ding.wav");
}

TEST_F(ReplacerSourcesTest, UserName) {
  char user[261] = {};
  DWORD size = sizeof(user);
  ASSERT_WIN_OK(GetUserNameA(user, &size));
  EXPECT_EQ(Expanded("$USERNAME$"), user);
}

TEST_F(ReplacerSourcesTest, AppDirShortNameKeepsAPathWithoutShortForm) {
  replacers_.SetSlot(ReplacerSlot::kAppDir, "\\missing\\app\\");
  EXPECT_EQ(Expanded("$APPDIR_SHORTNAME$\\x"), "\\missing\\app\\x");

  const std::string existing = root().WinPath("app");
  ASSERT_TRUE(CreateDirectoryA(existing.c_str(), nullptr));
  char short_form[260] = {};
  const DWORD length =
      GetShortPathNameA(existing.c_str(), short_form, sizeof(short_form));
  ASSERT_GT(length, 0u);
  replacers_.SetSlot(ReplacerSlot::kAppDir, (existing + "\\").c_str());
  EXPECT_EQ(Expanded("$APPDIR_SHORTNAME$"), std::string(short_form, length));
  EXPECT_EQ(Expanded("[$APPDIR_SHORTNAME$]"), std::string("[") + short_form + "]");
}

}  // namespace
}  // namespace kova
