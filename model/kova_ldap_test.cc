// A Kova whose first path is a folder of the private slapd: availability,
// conversions to DNs, loaded files fetched and written back, enumeration and
// file operations through the LDAP back end.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ldap/ldap_test_support.h"
#include "model/kova.h"
#include "model/kova_file.h"
#include "model/kova_item.h"
#include "model/test_support.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using Values = std::vector<std::string>;

std::string OsForm(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

class LDAPKovaTest : public test::LdapStoreTest {
 protected:
  void SetUp() override {
    LdapStoreTest::SetUp();
    if (HasFatalFailure()) return;
    DefineLDAPKova("Dir", folder());
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

  std::unique_ptr<CKovas> LoadKovas() { return std::make_unique<CKovas>(kKovasKeyPath); }
};

TEST_F(LDAPKovaTest, TheDirectoryFolderIsAvailableAndPathsBecomeDNs) {
  auto kovas = LoadKovas();
  CKova* dir = kovas->FindKova("<Dir>\\", FALSE);
  ASSERT_NE(dir, nullptr);
  ASSERT_TRUE(dir->IsActivePathLDAP());
  EXPECT_EQ(dir->GetActivePath(), folder() + "\\");
  ASSERT_NE(dir->paths()->GetAt(0), nullptr);
  EXPECT_TRUE(dir->paths()->GetAt(0)->IsAvailable(nullptr, nullptr));
  ASSERT_NE(dir->GetLDAPDirectory(), nullptr);
  EXPECT_TRUE(dir->paths()->GetAt(0)->IsAvailable(dir->GetLDAPDirectory(), nullptr));

  EXPECT_EQ(dir->ToResolvedPath("<Dir>\\Sessions\\a.lms"),
            "CN=a.lms,CN=Sessions," + folder());
  EXPECT_EQ(dir->GetDisplayPath("Sessions\\a.lms", TRUE),
            "CN=a.lms,CN=Sessions," + folder());
  // There is no way back from a DN.
  const std::string dn = dir->ToResolvedPath("<Dir>\\a.lms");
  EXPECT_EQ(dir->ToKovaPath(dn), dn);
}

TEST_F(LDAPKovaTest, AnUnavailableDirectoryFolderPassesToTheNextPath) {
  test::TempDir local;
  test::DefineKova(HKEY_CURRENT_USER, "Fallback",
                   {{"Path1", Below("CN=Missing")},
                    {"Type1", DWORD{1}},
                    {"Host1", settings_.host},
                    {"Port1", settings_.port},
                    {"Username1", settings_.userName},
                    {"Password1", settings_.password},
                    {"Path2", local.win_path()}});
  auto kovas = LoadKovas();
  CKova* fallback = kovas->FindKova("<Fallback>\\", FALSE);
  ASSERT_NE(fallback, nullptr);
  EXPECT_FALSE(fallback->IsActivePathLDAP());
  EXPECT_EQ(fallback->GetActivePath(), local.win_path() + "\\");
  EXPECT_EQ(fallback->GetLDAPDirectory(), nullptr);
}

TEST_F(LDAPKovaTest, ALoadedFileIsFetchedAndWrittenBack) {
  const std::string dn = Below("CN=a.lms,CN=Sessions");
  AddFolder(Below("CN=Sessions"), "Sessions");
  AddFile(dn, "a.lms", {"[S]\r\nk=stored\r\n"});
  auto kovas = LoadKovas();
  {
    CKovaFile file("<Dir>\\Sessions\\a.lms", kovas.get());
    ASSERT_NE(file.kova(), nullptr);
    ASSERT_FALSE(file.localPath().empty());
    char buffer[64];
    EXPECT_EQ(file.GetProfileString("S", "k", "", buffer, sizeof buffer), 6u);
    EXPECT_STREQ(buffer, "stored");
    file.SetProfileString("S", "n", "2", nullptr);
    const std::string cache = file.localPath();
    ASSERT_TRUE(file.Release());
    EXPECT_FALSE(test::PathExists(OsForm(cache)));
  }
  const Values stored = StoredContents(dn);
  ASSERT_EQ(stored.size(), 1u);
  EXPECT_NE(stored[0].find("k=stored"), std::string::npos) << stored[0];
  EXPECT_NE(stored[0].find("n=2"), std::string::npos) << stored[0];

  // A new file starts empty and is stored, with its folder, when released.
  {
    CKovaFile file("<Dir>\\New\\b.lms", kovas.get());
    ASSERT_FALSE(file.localPath().empty());
    EXPECT_EQ(test::ReadFileBytes(OsForm(file.localPath())), "");
    file.SetProfileString("T", "x", "1", nullptr);
  }
  EXPECT_TRUE(EntryExists(Below("CN=New")));
  ASSERT_EQ(StoredContents(Below("CN=b.lms,CN=New")).size(), 1u);
  EXPECT_NE(StoredContents(Below("CN=b.lms,CN=New"))[0].find("x=1"), std::string::npos);
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(LDAPKovaTest, EnumerationListsTheDirectoryFolder) {
  AddFolder(Below("CN=Sessions"), "Sessions");
  AddFile(Below("CN=a.lms,CN=Sessions"), "a.lms", {"a"});
  AddFile(Below("CN=b.pn,CN=Sessions"), "b.pn", {"b"});
  AddFolder(Below("CN=Old,CN=Sessions"), "Old");
  auto kovas = LoadKovas();
  CKova* dir = kovas->FindKova("<Dir>\\", FALSE);
  ASSERT_NE(dir, nullptr);
  CKovaItem folderItem;
  folderItem.Set("<Dir>\\Sessions", dir);
  CKovaItems items;
  EXPECT_EQ(items.Enumerate(&folderItem, ".lms"), 2);
  Values paths;
  for (int i = 0; i < items.GetCount(); ++i)
    paths.push_back(items.GetAt(i)->GetPath(FALSE));
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (Values{"<Dir>\\Sessions\\Old", "<Dir>\\Sessions\\a.lms"}));

  // The root folder of the Kova.
  CKovaItem rootItem;
  rootItem.Set("<Dir>\\*.*", dir);
  CKovaItems rootItems;
  EXPECT_EQ(rootItems.Enumerate(&rootItem, ""), 1);
  ASSERT_EQ(rootItems.GetCount(), 1);
  EXPECT_EQ(rootItems.GetAt(0)->GetPath(FALSE), "<Dir>\\Sessions");
  EXPECT_EQ(rootItems.GetAt(0)->kind(), kKovaItemFolder);
}

TEST_F(LDAPKovaTest, FileOperationsGoToTheDirectory) {
  AddFile(Below("CN=a.lms"), "a.lms", {"a"});
  auto kovas = LoadKovas();
  CKova* dir = kovas->FindKova("<Dir>\\", FALSE);
  ASSERT_NE(dir, nullptr);
  EXPECT_TRUE(dir->FileExists("<Dir>\\a.lms", nullptr));
  EXPECT_FALSE(dir->FileExists("<Dir>\\b.lms", nullptr));
  EXPECT_TRUE(dir->IsPathWritable("<Dir>\\Sub\\new.lms"));
  EXPECT_FALSE(EntryExists(Below("CN=Sub")));
  EXPECT_TRUE(dir->RenameFile("<Dir>\\a.lms", "<Dir>\\b.lms"));
  EXPECT_EQ(StoredContents(Below("CN=b.lms")), Values{"a"});
  EXPECT_TRUE(dir->CopyFile("<Dir>\\b.lms", LocalWin("b.lms"), nullptr, FALSE));
  EXPECT_EQ(test::ReadFileBytes(LocalOs("b.lms")), "a");
  EXPECT_TRUE(dir->DeleteFile("<Dir>\\b.lms"));
  EXPECT_FALSE(EntryExists(Below("CN=b.lms")));
  EXPECT_FALSE(dir->DeleteFile("<Dir>\\b.lms"));
}

}  // namespace
}  // namespace kova
