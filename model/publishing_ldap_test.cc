// Publishing between a Kova stored in the private slapd and a file-system Kova.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ldap/ldap_test_support.h"
#include "model/kova.h"
#include "model/kova_item.h"
#include "model/publishing.h"
#include "model/test_support.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using Values = std::vector<std::string>;

// "Dir" lives in the test's directory folder, "Local" in a local folder.
class LDAPPublishingTest : public test::LdapStoreTest {
 protected:
  void SetUp() override {
    LdapStoreTest::SetUp();
    if (HasFatalFailure()) return;
    DefineLDAPKova("Dir", folder());
    test::WriteFileBytes(LocalOs("kova/.keep"), "");
    test::DefineKova(HKEY_CURRENT_USER, "Local",
                     {{"Path1", LocalWin("kova")}, {"DefaultKova", DWORD{1}}});
  }

  void DefineLDAPKova(const std::string& name, const std::string& baseDn) {
    test::DefineKova(HKEY_CURRENT_USER, name,
                     {{"Path1", baseDn},
                      {"Type1", DWORD{1}},
                      {"Host1", settings_.host},
                      {"Port1", settings_.port},
                      {"Username1", settings_.userName},
                      {"Password1", settings_.password}});
  }
};

TEST_F(LDAPPublishingTest, AStoredFileIsStagedAndNoStagingFolderIsLeft) {
  AddFolder(Below("CN=Lumaset"), "Lumaset");
  AddFile(Below("CN=x.file,CN=Lumaset"), "x.file", {std::string("stored\0bytes", 12)});
  EXPECT_TRUE(PublishDependentFile("<Dir>\\Lumaset\\x.file", "<Local>\\Sessions\\"));
  EXPECT_EQ(test::ReadFileBytes(LocalOs("kova/Lumaset/x.file")),
            std::string("stored\0bytes", 12));
  // Neither the staging folder nor the loaded file's cache copy is left.
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(LDAPPublishingTest, AFailedFetchFailsTheCopyAndStillRemovesTheStaging) {
  EXPECT_FALSE(PublishDependentFile("<Dir>\\Lumaset\\missing.file", "<Local>\\"));
  EXPECT_FALSE(test::PathExists(LocalOs("kova/Lumaset")));
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(LDAPPublishingTest, ALocalFileIsStoredIntoTheDirectory) {
  test::WriteFileBytes(LocalOs("kova/Lumaset/y.file"), "local");
  EXPECT_TRUE(PublishDependentFile("<Local>\\Lumaset\\y.file", "<Dir>\\Sessions"));
  EXPECT_EQ(StoredContents(Below("CN=y.file,CN=Lumaset")), Values{"local"});
  // Over what is stored, without a question.
  test::WriteFileBytes(LocalOs("kova/Lumaset/y.file"), "newer");
  EXPECT_TRUE(PublishDependentFile("<Local>\\Lumaset\\y.file", "<Dir>\\"));
  EXPECT_EQ(StoredContents(Below("CN=y.file,CN=Lumaset")), Values{"newer"});
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(LDAPPublishingTest, AStoredFileIsCopiedWithinTheDirectory) {
  AddFolder(Below("CN=Other"), "Other");
  DefineLDAPKova("Other", Below("CN=Other"));
  AddFolder(Below("CN=Lumaset"), "Lumaset");
  AddFile(Below("CN=x.file,CN=Lumaset"), "x.file", {"stored"});
  EXPECT_TRUE(PublishDependentFile("<Dir>\\Lumaset\\x.file", "<Other>\\Sessions\\"));
  EXPECT_EQ(StoredContents(Below("CN=x.file,CN=Lumaset,CN=Other")), Values{"stored"});
  EXPECT_EQ(StoredContents(Below("CN=x.file,CN=Lumaset")), Values{"stored"});
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_TRUE(MessageBoxLines().empty());
}

// Into the directory the items are stored one by one, up to the first failure.
TEST_F(LDAPPublishingTest, CopyIntoTheDirectoryStopsAtTheFirstFailure) {
  CKovas kovas(kKovasKeyPath);
  CKova* dir = kovas.FindKova("<Dir>\\", FALSE);
  ASSERT_NE(dir, nullptr);
  ASSERT_TRUE(dir->IsActivePathLDAP());
  test::WriteFileBytes(LocalOs("kova/a.file"), "a");
  CKovaItems items;
  ASSERT_TRUE(items.AddPath("<Local>\\missing.file", &kovas));
  ASSERT_TRUE(items.AddPath("<Local>\\a.file", &kovas));
  CKovaItem destination;
  destination.Set("<Dir>\\a.file", dir);
  EXPECT_FALSE(CopyItems(items, destination, kPublishShellFlags));
  EXPECT_FALSE(EntryExists(Below("CN=a.file")));

  items.Remove(items.GetAt(0));
  EXPECT_TRUE(CopyItems(items, destination, kPublishShellFlags));
  EXPECT_EQ(StoredContents(Below("CN=a.file")), Values{"a"});
}

}  // namespace
}  // namespace kova
