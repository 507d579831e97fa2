#include "model/kova_path.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "model/kova.h"
#include "model/test_support.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using test::DefineKova;

class KovaPathTest : public test::IsolatedTest {
 protected:
  std::unique_ptr<CKovas> Load() { return std::make_unique<CKovas>(kKovasKeyPath); }

  // A folder below the test's root, created when asked.
  std::string Folder(const std::string& relative, bool create) {
    std::string os = root().OsPath(relative);
    if (create) {
      EXPECT_EQ(CreateDirectoryA(root().WinPath(relative).c_str(), nullptr), TRUE);
    }
    return os;
  }
};

TEST_F(KovaPathTest, SettingsFollowTheirTypeRules) {
  DefineKova(HKEY_CURRENT_USER, "A",
             {{"Path1", "\\fs"},
              {"Type1", DWORD{7}},
              {"Host1", "ignored"},
              {"Port1", DWORD{1}},
              {"Path2", "ou=kovas,dc=example"},
              {"Type2", DWORD{1}},
              {"Host2", "ldap.example"},
              {"Username2", "cn=reader"},
              {"Password2", "secret"},
              {"Port2", std::string("636")},
              {"Authentication2", DWORD{0}},
              {"Version2", DWORD{2}},
              {"ConnectTimeout2", DWORD{30}},
              {"FileAttributeName2", "uid"},
              {"FileObjectClass2", "fileClass"},
              {"FolderAttributeName2", "ou"},
              {"FolderObjectClass2", "folderClass"},
              {"FileContentsAttributeName2", "contents"},
              {"Path3", "\\string-type"},
              {"Type3", std::string("1")},
              {"Path4", "\\negative"},
              {"Type4", DWORD(-1)}});
  auto kovas = Load();
  CKovaPaths* paths = kovas->GetAt(0)->paths();
  ASSERT_EQ(paths->GetCount(), 4);

  CKovaPath* fs = paths->GetAt(0);
  EXPECT_EQ(fs->type(), kKovaPathFileSystem);
  EXPECT_EQ(fs->host(), "");
  EXPECT_EQ(fs->port(), 389u);

  CKovaPath* ldap = paths->GetAt(1);
  EXPECT_EQ(ldap->type(), kKovaPathLDAP);
  EXPECT_EQ(ldap->pathText(), "ou=kovas,dc=example");
  EXPECT_EQ(ldap->host(), "ldap.example");
  EXPECT_EQ(ldap->userName(), "cn=reader");
  EXPECT_EQ(ldap->password(), "secret");
  EXPECT_EQ(ldap->port(), 389u);  // stored as text: ignored
  EXPECT_EQ(ldap->authentication(), 0u);
  EXPECT_EQ(ldap->version(), 2u);
  EXPECT_EQ(ldap->connectTimeout(), 30u);
  EXPECT_EQ(ldap->ldapSettings().fileAttributeName, "uid");
  EXPECT_EQ(ldap->ldapSettings().fileObjectClass, "fileClass");
  EXPECT_EQ(ldap->ldapSettings().folderAttributeName, "ou");
  EXPECT_EQ(ldap->ldapSettings().folderObjectClass, "folderClass");
  EXPECT_EQ(ldap->ldapSettings().fileContentsAttributeName, "contents");

  EXPECT_EQ(paths->GetAt(2)->type(), kKovaPathFileSystem);
  EXPECT_EQ(paths->GetAt(3)->type(), kKovaPathFileSystem);
}

TEST_F(KovaPathTest, LdapDefaultsWhenValuesAreMissing) {
  DefineKova(HKEY_CURRENT_USER, "L", {{"Path1", "dc=x"}, {"Type1", DWORD{1}}});
  auto kovas = Load();
  CKovaPath* path = kovas->GetAt(0)->paths()->GetAt(0);
  EXPECT_EQ(path->port(), 389u);
  EXPECT_EQ(path->authentication(), 1u);
  EXPECT_EQ(path->version(), 3u);
  EXPECT_EQ(path->connectTimeout(), 120u);
  EXPECT_EQ(path->ldapSettings().fileAttributeName, "");
  // No server answers for an empty host on the default port: the path is not
  // available, the Kova falls back to its first path and still gets its back end.
  CKova* kova = kovas->GetAt(0);
  EXPECT_FALSE(path->IsAvailable(nullptr, nullptr));
  EXPECT_TRUE(kova->IsActivePathLDAP());
  EXPECT_EQ(kova->GetActivePath(), "dc=x\\");
  EXPECT_NE(kova->GetLDAPDirectory(), nullptr);
}

TEST_F(KovaPathTest, FirstAvailableFolderBecomesActiveAndStays) {
  const std::string missing = Folder("missing", false);
  const std::string second = Folder("second", true);
  const std::string third = Folder("third", true);
  DefineKova(HKEY_CURRENT_USER, "A",
             {{"Path1", missing}, {"Path2", second}, {"Path3", third}});
  DefineKova(HKEY_CURRENT_USER, "B",
             {{"Path1", Folder("gone1", false)}, {"Path2", Folder("gone2", false)}});
  auto kovas = Load();
  CKova* a = kovas->GetAt(0);
  // The path came with '/' separators and is given back in the system's form.
  EXPECT_EQ(a->GetActivePath(), root().WinPath("second") + "\\");
  EXPECT_EQ(a->paths()->GetActivePathObject(), a->paths()->GetAt(1));
  EXPECT_FALSE(a->IsActivePathLDAP());

  ASSERT_TRUE(RemoveDirectoryA(root().WinPath("second").c_str()));
  EXPECT_EQ(a->GetActivePath(), root().WinPath("second") + "\\");
  EXPECT_EQ(a->paths()->GetActivePathObject(), a->paths()->GetAt(1));

  CKova* b = kovas->GetAt(1);
  EXPECT_EQ(b->GetActivePath(), root().WinPath("gone1") + "\\");
  // A new collection chooses afresh.
  EXPECT_EQ(Load()->GetAt(0)->GetActivePath(), root().WinPath("third") + "\\");
}

TEST_F(KovaPathTest, ActivePathTextEndsInOneBackslash) {
  Folder("with", true);
  DefineKova(HKEY_CURRENT_USER, "A", {{"Path1", root().WinPath("with") + "\\"}});
  DefineKova(HKEY_CURRENT_USER, "B", {{"Path1", root().WinPath("with")}});
  auto kovas = Load();
  EXPECT_EQ(kovas->GetAt(0)->GetActivePath(), root().WinPath("with") + "\\");
  EXPECT_EQ(kovas->GetAt(1)->GetActivePath(), root().WinPath("with") + "\\");
}

TEST_F(KovaPathTest, ExpansionUsesTheCollectionsReplacersOnce) {
  DefineKova(HKEY_CURRENT_USER, "A", {{"Path1", "$USERDIR$\\kovas"}});
  auto kovas = Load();
  kovas->GetReplacers()->SetUserDir((root().WinPath("user") + "\\").c_str());
  CKovaPath* path = kovas->GetAt(0)->paths()->GetAt(0);
  const std::string expanded = path->GetExpandedPath();
  EXPECT_EQ(expanded, root().WinPath("user") + "\\kovas");
  // Cached: a later change of the block does not reach it.
  kovas->GetReplacers()->SetUserDir("\\elsewhere\\");
  EXPECT_EQ(path->GetExpandedPath(), expanded);

  // A path without an owner collection keeps its text.
  CKovaPath loose(nullptr);
  loose.SetPathText("$USERDIR$x/y");
  EXPECT_EQ(loose.GetExpandedPath(), "$USERDIR$x\\y");
}

TEST_F(KovaPathTest, CopiesKeepSettingsAndEmptyActivePathIsRetried) {
  DefineKova(
      HKEY_CURRENT_USER, "L",
      {{"Path1", "dc=x"}, {"Type1", DWORD{1}}, {"Host1", "h"}, {"Port1", DWORD{10}}});
  auto kovas = Load();
  CKovaPath* original = kovas->GetAt(0)->paths()->GetAt(0);
  std::unique_ptr<CKovaPath> copy(original->Clone());
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->type(), kKovaPathLDAP);
  EXPECT_EQ(copy->host(), "h");
  EXPECT_EQ(copy->port(), 10u);
  EXPECT_EQ(copy->owner(), original->owner());
  copy->Init(nullptr);
  EXPECT_EQ(copy->pathText(), "dc=x");  // Init keeps the text
  EXPECT_EQ(copy->port(), 389u);
  EXPECT_EQ(copy->host(), "");

  CKovaPaths paths(nullptr);
  EXPECT_EQ(paths.GetActivePath(), "");
  auto* empty = new CKovaPath(&paths);
  ASSERT_TRUE(paths.Add(empty, FALSE));
  EXPECT_EQ(paths.GetActivePath(), "");
  empty->SetPathText(root().WinPath("later"));
  EXPECT_EQ(paths.GetActivePath(), root().WinPath("later") + "\\");
  EXPECT_TRUE(paths.Remove(empty));
  EXPECT_EQ(paths.GetActivePathObject(), nullptr);
}

}  // namespace
}  // namespace kova
