// The directory layout: path texts and DNs, listing, existence and folder
// creation, checked against the private slapd with the real ldapsearch.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ldap/ldap_directory.h"
#include "ldap/ldap_items.h"
#include "ldap/ldap_test_support.h"

namespace kova {
namespace {

using test::LdapStoreTest;

TEST(LDAPItemsTest, ItemsCloneCopyAndStayInOrder) {
  CLDAPItem original("CN=a.ini,dc=x", 0);
  std::unique_ptr<CLDAPItem> clone(original.Clone());
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->name, "CN=a.ini,dc=x");
  EXPECT_EQ(clone->folder, 0u);
  CLDAPItem folder("CN=b,dc=x", 1);
  clone->CopyFrom(&folder);
  EXPECT_EQ(clone->name, "CN=b,dc=x");
  EXPECT_EQ(clone->folder, 1u);
  clone->CopyFrom(nullptr);
  EXPECT_EQ(clone->name, "CN=b,dc=x");

  CLDAPItems items;
  ASSERT_TRUE(items.Add(&original, TRUE));  // a clone: `original` stays ours
  ASSERT_TRUE(items.Add(clone.release(), FALSE));
  EXPECT_FALSE(items.Add(nullptr, FALSE));
  ASSERT_EQ(items.GetCount(), 2);
  EXPECT_NE(items.GetAt(0), &original);
  EXPECT_EQ(items.GetAt(0)->name, "CN=a.ini,dc=x");
  EXPECT_EQ(items.GetAt(1)->name, "CN=b,dc=x");
  EXPECT_EQ(items.GetAt(2), nullptr);
  items.RemoveAll();
  EXPECT_EQ(items.GetCount(), 0);
}

// Text conversions need no server; ParseDN splits through the loaded library.
TEST(LDAPLayoutTextTest, PathToDNCollapsesOneParentReference) {
  LDAPSettings settings;
  CLDAPDirectory directory(&settings, "ldapstore-text");
  struct Row {
    const char* path;
    const char* dn;
  } rows[] = {
      {"ou=profiles,o=corp\\Dept\\Site.ini", "CN=Site.ini,CN=Dept,ou=profiles,o=corp"},
      {"base\\a\\..\\b.ini", "CN=b.ini,base"},
      {"base\\a\\..\\b\\..\\c.ini", "CN=c.ini,CN=..,CN=b,base"},
      // Every occurrence of the collapsed pair goes, ignoring case.
      {"base\\a\\..\\x\\A\\..\\y.ini", "CN=y.ini,CN=x,base"},
      // A parent reference before index 2, or without a component before it,
      // stays a component.
      {"a\\..\\b.ini", "CN=b.ini,CN=..,a"},
      {"ab\\..\\c.ini", "CN=c.ini,CN=..,ab"},
      {"base\\Dept\\", "CN=Dept,base"},
      {"base\\Dept", "CN=Dept,base"},
      {"base\\", "base"},
      {"dc=kova,dc=test", "dc=kova,dc=test"},
      {"base\\v1.2\\readme", "CN=readme,CN=v1.2,base"},
      {"base\\a,b.ini", "CN=a,b.ini,base"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(directory.PathToDN(row.path), row.dn);
  }

  settings.folderAttributeName = "ou";
  settings.fileAttributeName = "uid";
  EXPECT_EQ(directory.PathToDN("o=corp\\Dept\\v1.2\\Site.ini"),
            "uid=Site.ini,uid=v1.2,ou=Dept,o=corp");
}

TEST(LDAPLayoutTextTest, ParseDNNamesAndClassifies) {
  LDAPSettings settings;
  CLDAPDirectory directory(&settings, "ldapstore-parse");
  struct Row {
    const char* folderAttribute;
    const char* fileAttribute;
    const char* dn;
    BOOL parsed;
    const char* name;
    DWORD folder;
  } rows[] = {
      {"", "", "CN=Profiles,ou=x", TRUE, "Profiles", 1},
      {"", "", "cn=a.ini,ou=x", TRUE, "a.ini", 0},
      // Same naming attributes: the dot decides, and a foreign type is kept.
      {"", "", "uid=x,ou=y", TRUE, "uid=x", 1},
      {"", "", "CN=readme,ou=y", TRUE, "readme", 1},
      {"", "", "no-equals-sign", FALSE, "", 0},
      {"", "", "", FALSE, "", 0},
      // Different naming attributes: the RDN's type decides, without case.
      {"ou", "cn", "uid=x,dc=y", FALSE, "", 0},
      {"ou", "cn", "ou=Sales,dc=y", TRUE, "Sales", 1},
      {"ou", "cn", "OU=Sales,dc=y", TRUE, "Sales", 1},
      {"ou", "CN", "cn=a.ini,dc=y", TRUE, "a.ini", 0},
      {"ou", "cn", "cn=readme,dc=y", TRUE, "readme", 0},
      // A value that merely contains the other type does not change the kind.
      {"ou", "cn", "ou=a cn=b,dc=y", TRUE, "a cn=b", 1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.folderAttribute) + "/" + row.fileAttribute + " " +
                 row.dn);
    settings.folderAttributeName = row.folderAttribute;
    settings.fileAttributeName = row.fileAttribute;
    std::string name = "sentinel";
    DWORD folder = 0xdead;
    ASSERT_EQ(directory.ParseDN(row.dn, &name, &folder), row.parsed);
    EXPECT_EQ(directory.IsFolderDN(row.dn), row.parsed && row.folder == 1 ? TRUE : FALSE);
    if (!row.parsed) continue;
    EXPECT_EQ(name, row.name);
    EXPECT_EQ(folder, row.folder);
  }
}

TEST(LDAPLayoutTextTest, NamingSettingsFallBackToTheirDefaults) {
  LDAPSettings settings;
  CLDAPDirectory directory(&settings, "ldapstore-naming");
  EXPECT_EQ(directory.FolderAttributeName(), "CN");
  EXPECT_EQ(directory.FolderObjectClass(), "corvantaFolder");
  EXPECT_EQ(directory.FileAttributeName(), "CN");
  EXPECT_EQ(directory.FileObjectClass(), "corvantaFileBinary");
  EXPECT_EQ(directory.FileContentsAttributeName(), "corvantaFileContentsBinary");
  settings.fileObjectClass = "myFile";
  settings.fileContentsAttributeName = "myContents";
  EXPECT_EQ(directory.FileObjectClass(), "myFile");
  EXPECT_EQ(directory.FileContentsAttributeName(), "myContents");
}

using LDAPLayoutTest = LdapStoreTest;

TEST_F(LDAPLayoutTest, ListingKeepsEntriesOfTheTwoClassesAndCountsAll) {
  AddFolder(Below("CN=Sub"), "Sub");
  AddFile(Below("CN=a.ini"), "a.ini", {"x=1"});
  std::string error;
  ASSERT_TRUE(server().Add(
      "dn: " + Below("cn=Role") + "\nobjectClass: organizationalRole\ncn: Role\n",
      &error))
      << error;
  auto directory = NewDirectory();
  ASSERT_TRUE(directory->Connect(nullptr));

  CLDAPItems items;
  ASSERT_TRUE(items.Add(new CLDAPItem("stale", 0), FALSE));
  EXPECT_EQ(directory->ListChildren(folder(), &items, nullptr), 3);
  ASSERT_EQ(items.GetCount(), 2);
  std::vector<std::pair<std::string, DWORD>> listed;
  for (int i = 0; i < items.GetCount(); ++i)
    listed.emplace_back(items.GetAt(i)->name, items.GetAt(i)->folder);
  std::sort(listed.begin(), listed.end());
  // Child DNs are rebuilt from the naming attribute, not taken from the server.
  EXPECT_EQ(listed[0], std::make_pair(Below("CN=Sub"), DWORD(1)));
  EXPECT_EQ(listed[1], std::make_pair(Below("CN=a.ini"), DWORD(0)));

  const std::string prefix = "<Work>\\Dept";
  EXPECT_EQ(directory->ListChildren(folder(), &items, &prefix), 3);
  ASSERT_EQ(items.GetCount(), 2);
  for (int i = 0; i < items.GetCount(); ++i) {
    SCOPED_TRACE(items.GetAt(i)->name);
    EXPECT_TRUE(items.GetAt(i)->name == "<Work>\\Dept\\Sub" ||
                items.GetAt(i)->name == "<Work>\\Dept\\a.ini");
  }
  const std::string rootPrefix = "<Work>\\";
  directory->ListChildren(Below("CN=Sub"), &items, &rootPrefix);
  EXPECT_EQ(items.GetCount(), 0);
  AddFile(Below("CN=b.ini,CN=Sub"), "b.ini", {"y"});
  EXPECT_EQ(directory->ListChildren(Below("CN=Sub"), &items, &rootPrefix), 1);
  ASSERT_EQ(items.GetCount(), 1);
  EXPECT_EQ(items.GetAt(0)->name, "<Work>\\b.ini");

  // A failed search empties the collection and counts nothing.
  EXPECT_EQ(directory->ListChildren(Below("CN=Missing"), &items, nullptr), 0);
  EXPECT_EQ(items.GetCount(), 0);
  directory->Disconnect();
}

TEST_F(LDAPLayoutTest, EntriesWithoutTheirNamingAttributeAreNotListed) {
  AddFile(Below("CN=a.ini"), "a.ini", {"x"});
  AddFolder(Below("CN=Sub"), "Sub");
  settings_.fileAttributeName = "description";  // no file entry carries one
  auto directory = NewDirectory();
  ASSERT_TRUE(directory->Connect(nullptr));
  CLDAPItems items;
  EXPECT_EQ(directory->ListChildren(folder(), &items, nullptr), 2);
  ASSERT_EQ(items.GetCount(), 1);
  EXPECT_EQ(items.GetAt(0)->name, Below("CN=Sub"));
  directory->Disconnect();
}

TEST_F(LDAPLayoutTest, ListChildrenConnectedOpensAndClosesItsSession) {
  AddFolder(Below("CN=Sub"), "Sub");
  AddFile(Below("CN=a.ini"), "a.ini", {"x"});
  auto directory = NewDirectory();
  CLDAPItems items;
  EXPECT_EQ(directory->ListChildrenConnected(folder(), &items, nullptr), 2);
  EXPECT_EQ(items.GetCount(), 2);
  // The session is closed again: a plain listing now has none to search in.
  EXPECT_EQ(directory->ListChildren(folder(), &items, nullptr), 0);

  settings_.port = 1;  // nothing listens there
  auto unreachable = NewDirectory();
  EXPECT_EQ(unreachable->ListChildrenConnected(folder(), &items, nullptr), 0);
  EXPECT_EQ(items.GetCount(), 0);
}

TEST_F(LDAPLayoutTest, ExistsReportsOnlyInvalidNames) {
  AddFile(Below("CN=a.ini"), "a.ini", {"x"});
  auto directory = NewDirectory();
  ASSERT_TRUE(directory->Connect(nullptr));
  std::string error = "sentinel";
  EXPECT_TRUE(directory->Exists(folder(), &error));
  EXPECT_TRUE(directory->Exists(Below("cn=A.INI"), &error));
  EXPECT_FALSE(directory->Exists(Below("CN=b.ini"), &error));
  EXPECT_EQ(error, "sentinel");  // a missing entry is no error
  EXPECT_FALSE(directory->Exists("CN=a.ini,garbage", &error));
  EXPECT_EQ(error.rfind("LDAP: ", 0), 0u) << error;
  directory->Disconnect();
}

TEST_F(LDAPLayoutTest, FoldersAreCreatedWithTheirMissingAncestors) {
  auto directory = NewDirectory();
  std::string error;
  const std::string file = Below("CN=f.ini,CN=c,CN=b");
  ASSERT_TRUE(directory->EnsureAncestors(file, TRUE, &error)) << error;
  EXPECT_TRUE(EntryExists(Below("CN=b")));
  EXPECT_TRUE(EntryExists(Below("CN=c,CN=b")));
  EXPECT_FALSE(EntryExists(file));  // a file DN's own entry is not made
  EXPECT_EQ(StoredValues(Below("CN=c,CN=b"), "objectClass"),
            std::vector<std::string>{"corvantaFolder"});
  EXPECT_EQ(StoredValues(Below("CN=c,CN=b"), "cn"), std::vector<std::string>{"c"});

  // A folder DN is made itself; an existing parent makes nothing new.
  ASSERT_TRUE(directory->EnsureAncestors(Below("CN=d,CN=b"), TRUE, &error)) << error;
  EXPECT_TRUE(EntryExists(Below("CN=d,CN=b")));
  ASSERT_TRUE(directory->EnsureAncestors(Below("CN=g.ini,CN=b"), TRUE, &error));
  EXPECT_EQ(SearchDNs(Below("CN=b"), "one").size(), 2u);

  // Nothing exists up to the root: every level is tried, and the result is 0.
  error.clear();
  EXPECT_FALSE(directory->EnsureAncestors("CN=x.ini,CN=y,dc=nowhere", TRUE, &error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(directory->EnsureAncestors("", TRUE, &error));
  EXPECT_EQ(error.rfind("LDAP: ", 0), 0u) << error;
}

TEST_F(LDAPLayoutTest, CreateFolderUnderNamesTheFolderAfterThePath) {
  auto directory = NewDirectory();
  ASSERT_TRUE(directory->Connect(nullptr));
  std::string parent = folder();
  std::string error;
  ASSERT_TRUE(directory->CreateFolderUnder("\\tmp\\x\\Reports\\", &parent, &error, TRUE))
      << error;
  EXPECT_EQ(parent, Below("CN=Reports"));
  EXPECT_TRUE(EntryExists(parent));
  // An existing folder is kept; without update the parent text stays.
  std::string same = folder();
  EXPECT_TRUE(directory->CreateFolderUnder("Reports", &same, &error, FALSE));
  EXPECT_EQ(same, folder());
  // A refused add is reported.
  std::string outside = "dc=nowhere";
  error.clear();
  EXPECT_FALSE(directory->CreateFolderUnder("x", &outside, &error, FALSE));
  EXPECT_EQ(error.rfind("LDAP: ", 0), 0u) << error;
  directory->Disconnect();

  // Anonymous sessions may read but not write.
  settings_.authentication = kLDAPAuthAnonymous;
  auto anonymous = NewDirectory();
  ASSERT_TRUE(anonymous->Connect(nullptr));
  EXPECT_TRUE(anonymous->Exists(Below("CN=Reports"), nullptr));
  EXPECT_FALSE(anonymous->CreateFolder(Below("CN=Anon"), "Anon", nullptr));
  EXPECT_FALSE(EntryExists(Below("CN=Anon")));
  anonymous->Disconnect();
}

}  // namespace
}  // namespace kova
