// File transfer between directory entries and local files, against the private
// slapd; what was stored is read back byte for byte with the real ldapsearch.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ldap/ldap_directory.h"
#include "ldap/ldap_test_support.h"
#include "tests/ldap/slapd_fixture.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using test::LdapStoreTest;
using test::ReadFileBytes;
using test::SlapdServer;
using test::WriteFileBytes;

using Values = std::vector<std::string>;

// The OS form of a path the system handed back.
std::string OsForm(std::string path) {
  for (char& c : path)
    if (c == '\\') c = '/';
  return path;
}

class LDAPTransferTest : public LdapStoreTest {};

TEST_F(LDAPTransferTest, AMissingFileStartsEmptyAndIsStoredWithItsFolders) {
  auto directory = NewDirectory();
  const std::string dn = Below("CN=a.ini,CN=Sessions,CN=Dept");
  const std::string cache = directory->FetchToTempFile(dn);
  ASSERT_FALSE(cache.empty());
  EXPECT_EQ(std::filesystem::path(OsForm(cache)).filename().string().rfind("lda", 0), 0u);
  EXPECT_EQ(ReadFileBytes(OsForm(cache)), "");

  WriteFileBytes(OsForm(cache), std::string("[S]\r\nk=v\r\n\0end", 15));
  std::string error;
  ASSERT_TRUE(directory->ReleaseCacheFile(dn, cache, TRUE, &error)) << error;
  EXPECT_FALSE(test::PathExists(OsForm(cache)));
  EXPECT_TRUE(EntryExists(Below("CN=Dept")));
  EXPECT_TRUE(EntryExists(Below("CN=Sessions,CN=Dept")));
  EXPECT_EQ(StoredContents(dn), Values{std::string("[S]\r\nk=v\r\n\0end", 15)});
  EXPECT_EQ(StoredValues(dn, "objectClass"), Values{"corvantaFileBinary"});

  // Fetched again, the copy holds the stored bytes; a second write-back replaces.
  const std::string again = directory->FetchToTempFile(dn);
  ASSERT_FALSE(again.empty());
  EXPECT_EQ(ReadFileBytes(OsForm(again)), std::string("[S]\r\nk=v\r\n\0end", 15));
  WriteFileBytes(OsForm(again), "");
  ASSERT_TRUE(directory->ReleaseCacheFile(dn, again, TRUE, &error)) << error;
  EXPECT_EQ(StoredContents(dn), Values{" "});  // an empty file is stored as 0x20
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(LDAPTransferTest, TheLastOfSeveralContentsValuesIsRead) {
  const std::string dn = Below("CN=two.ini");
  AddFile(dn, "two.ini", {"first", "second"});
  auto directory = NewDirectory();
  const std::string cache = directory->FetchToTempFile(dn);
  ASSERT_FALSE(cache.empty());
  EXPECT_EQ(ReadFileBytes(OsForm(cache)), "second");
  EXPECT_TRUE(directory->ReleaseCacheFile(dn, cache, FALSE, nullptr));
  EXPECT_FALSE(test::PathExists(OsForm(cache)));
  EXPECT_EQ(StoredContents(dn), (Values{"first", "second"}));  // not written back
}

// The server hands DNs back in its own spelling (types in schema case, spaces
// dropped, special characters escaped); a fetch that compared them with the DN
// asked for found nothing and gave an empty copy, which a write-back then stored
// over the contents.
TEST_F(LDAPTransferTest, AFetchFindsTheEntryHoweverTheServerSpellsItsDN) {
  AddFile(Below("cn=a\\3Db.ini"), "a=b.ini", {"equals"});
  AddFile(Below("cn=c.ini"), "c.ini", {"spaced"});
  auto directory = NewDirectory();
  struct Row {
    std::string dn;
    const char* contents;
  } rows[] = {
      {Below("CN=a=b.ini"), "equals"},
      {"CN=c.ini, " + folder(), "spaced"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.dn);
    const std::string cache = directory->FetchToTempFile(row.dn);
    ASSERT_FALSE(cache.empty());
    EXPECT_EQ(ReadFileBytes(OsForm(cache)), row.contents);
    EXPECT_TRUE(directory->ReleaseCacheFile(row.dn, cache, FALSE, nullptr));
  }
}

TEST_F(LDAPTransferTest, ReleaseWithoutACachePath) {
  auto directory = NewDirectory();
  EXPECT_FALSE(directory->ReleaseCacheFile(Below("CN=a.ini"), "", FALSE, nullptr));
  EXPECT_TRUE(MessageBoxLines().empty());
  std::string error;
  EXPECT_FALSE(directory->ReleaseCacheFile(Below("CN=a.ini"), "", TRUE, &error));
  EXPECT_EQ(error.rfind("LDAP: ", 0), 0u) << error;
  ASSERT_EQ(MessageBoxLines().size(), 1u);
  EXPECT_NE(MessageBoxLines()[0].find("Corvanta"), std::string::npos);
  EXPECT_FALSE(EntryExists(Below("CN=a.ini")));
}

TEST_F(LDAPTransferTest, AFailedFetchLeavesNoCacheFileBehind) {
  AddFile(Below("CN=a.ini"), "a.ini", {"kept"});
  // A read that fails for another reason than a missing entry is no empty file.
  auto directory = NewDirectory();
  EXPECT_EQ(directory->FetchToTempFile("CN=a.ini,garbage"), "");
  EXPECT_TRUE(TempFiles().empty());

  settings_.port = 1;  // nothing listens there
  auto unreachable = NewDirectory();
  EXPECT_EQ(unreachable->FetchToTempFile(Below("CN=a.ini")), "");
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(LDAPTransferTest, ACacheFileWhoseWriteBackFailedIsKept) {
  SlapdServer own;
  std::string error;
  ASSERT_TRUE(own.Start(&error)) << error;
  settings_.port = static_cast<DWORD>(own.port());
  auto directory = NewDirectory();
  const std::string dn = std::string("CN=kept.ini,") + SlapdServer::base_dn();
  const std::string cache = directory->FetchToTempFile(dn);
  ASSERT_FALSE(cache.empty());
  WriteFileBytes(OsForm(cache), "[S]\r\nunsaved=1\r\n");
  own.Stop();

  EXPECT_FALSE(directory->ReleaseCacheFile(dn, cache, TRUE, &error));
  EXPECT_EQ(ReadFileBytes(OsForm(cache)), "[S]\r\nunsaved=1\r\n");
}

TEST_F(LDAPTransferTest, WritabilityLeavesNothingBehind) {
  AddFile(Below("CN=a.ini"), "a.ini", {"x"});
  auto directory = NewDirectory();
  EXPECT_TRUE(directory->IsWritable(Below("CN=a.ini"), nullptr));
  EXPECT_EQ(StoredContents(Below("CN=a.ini")), Values{"x"});
  EXPECT_TRUE(directory->IsWritable(Below("CN=new.ini,CN=Deep,CN=Deeper"), nullptr));
  EXPECT_EQ(SearchDNs(folder(), "one"), Values{ToLowerAscii(Below("cn=a.ini"))});
  EXPECT_TRUE(directory->FileExists(Below("CN=a.ini"), nullptr));
  EXPECT_FALSE(directory->FileExists(Below("CN=Deeper"), nullptr));

  settings_.authentication = kLDAPAuthAnonymous;
  auto anonymous = NewDirectory();
  std::string error;
  EXPECT_FALSE(anonymous->IsWritable(Below("CN=new.ini"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(SearchDNs(folder(), "one").size(), 1u);
}

TEST_F(LDAPTransferTest, DeletingAFolderRemovesItsWholeTree) {
  AddFolder(Below("CN=Tree"), "Tree");
  AddFile(Below("CN=a.ini,CN=Tree"), "a.ini", {"a"});
  AddFolder(Below("CN=Sub,CN=Tree"), "Sub");
  AddFile(Below("CN=b.ini,CN=Sub,CN=Tree"), "b.ini", {"b"});
  AddFolder(Below("CN=Empty,CN=Sub,CN=Tree"), "Empty");
  AddFile(Below("CN=keep.ini"), "keep.ini", {"k"});
  auto directory = NewDirectory();
  EXPECT_TRUE(directory->RemoveEntry(Below("CN=Tree")));
  EXPECT_EQ(SearchDNs(folder(), "sub"),
            (Values{ToLowerAscii(folder()), ToLowerAscii(Below("cn=keep.ini"))}));
  EXPECT_TRUE(directory->RemoveEntry(Below("CN=keep.ini")));
  EXPECT_FALSE(EntryExists(Below("CN=keep.ini")));
  EXPECT_FALSE(directory->RemoveEntry(Below("CN=keep.ini")));
}

TEST_F(LDAPTransferTest, RenamesOfFilesAndFolders) {
  AddFile(Below("CN=a.ini"), "a.ini", {"a"});
  AddFolder(Below("CN=Empty"), "Empty");
  AddFolder(Below("CN=Full"), "Full");
  AddFile(Below("CN=f.ini,CN=Full"), "f.ini", {"f"});
  AddFolder(Below("CN=Sub,CN=Full"), "Sub");
  AddFile(Below("CN=g.ini,CN=Sub,CN=Full"), "g.ini", {std::string("g\0g", 3)});
  auto directory = NewDirectory();
  std::string error;

  ASSERT_TRUE(directory->RenameEntry(Below("CN=a.ini"), Below("CN=b.ini"), &error))
      << error;
  EXPECT_FALSE(EntryExists(Below("CN=a.ini")));
  EXPECT_EQ(StoredContents(Below("CN=b.ini")), Values{"a"});
  EXPECT_EQ(StoredValues(Below("CN=b.ini"), "cn"), Values{"b.ini"});  // old RDN dropped

  ASSERT_TRUE(directory->RenameEntry(Below("CN=Empty"), Below("CN=Moved"), &error))
      << error;
  EXPECT_TRUE(EntryExists(Below("CN=Moved")));
  EXPECT_FALSE(EntryExists(Below("CN=Empty")));

  // A folder with contents moves, into a folder that does not exist yet.
  ASSERT_TRUE(directory->RenameEntry(Below("CN=Full"), Below("CN=New,CN=Parent"), &error))
      << error;
  EXPECT_FALSE(EntryExists(Below("CN=Full")));
  EXPECT_EQ(StoredContents(Below("CN=f.ini,CN=New,CN=Parent")), Values{"f"});
  EXPECT_EQ(StoredContents(Below("CN=g.ini,CN=Sub,CN=New,CN=Parent")),
            Values{std::string("g\0g", 3)});
  EXPECT_EQ(SearchDNs(Below("CN=New,CN=Parent"), "sub").size(), 4u);
  EXPECT_TRUE(TempFiles().empty());  // the local copy went again
}

TEST_F(LDAPTransferTest, RenameIntoItsOwnTreeIsRefusedAndLosesNothing) {
  AddFolder(Below("CN=Full"), "Full");
  AddFile(Below("CN=f.ini,CN=Full"), "f.ini", {"f"});
  auto directory = NewDirectory();
  EXPECT_FALSE(directory->RenameEntry(Below("CN=Full"), Below("CN=In,CN=Full"), nullptr));
  EXPECT_EQ(StoredContents(Below("CN=f.ini,CN=Full")), Values{"f"});
  EXPECT_FALSE(EntryExists(Below("CN=In,CN=Full")));

  // The same folder in another spelling is renamed by the server in place.
  EXPECT_TRUE(directory->RenameEntry(Below("CN=Full"), Below("cn=FULL"), nullptr));
  EXPECT_EQ(StoredContents(Below("CN=f.ini,CN=Full")), Values{"f"});
}

TEST_F(LDAPTransferTest, AFolderWhoseCopyFailsIsNotDeleted) {
  AddFolder(Below("CN=Full"), "Full");
  AddFile(Below("CN=f.ini,CN=Full"), "f.ini", {"f"});
  // A name that cannot become a local file makes the local copy fail.
  AddFile(Below("CN=x/y.ini,CN=Full"), "x/y.ini", {"y"});
  auto directory = NewDirectory();
  EXPECT_FALSE(directory->RenameEntry(Below("CN=Full"), Below("CN=Other"), nullptr));
  EXPECT_EQ(StoredContents(Below("CN=f.ini,CN=Full")), Values{"f"});
  EXPECT_EQ(StoredContents(Below("CN=x/y.ini,CN=Full")), Values{"y"});
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(LDAPTransferTest, CopiesToTheLocalFileSystem) {
  AddFile(Below("CN=a.ini"), "a.ini", {std::string("a\0b", 3)});
  AddFolder(Below("CN=Tree"), "Tree");
  AddFile(Below("CN=t.ini,CN=Tree"), "t.ini", {"t"});
  AddFolder(Below("CN=Sub,CN=Tree"), "Sub");
  AddFile(Below("CN=s.ini,CN=Sub,CN=Tree"), "s.ini", {"s"});
  AddFolder(Below("CN=Empty"), "Empty");
  auto directory = NewDirectory();
  std::string error;

  ASSERT_TRUE(directory->CopyToLocal(Below("CN=a.ini"), LocalWin("a.ini"), &error))
      << error;
  EXPECT_EQ(ReadFileBytes(LocalOs("a.ini")), std::string("a\0b", 3));

  // A folder's children land in the local folder itself.
  ASSERT_TRUE(directory->CopyToLocal(Below("CN=Tree"), LocalWin("tree"), &error))
      << error;
  EXPECT_EQ(ReadFileBytes(LocalOs("tree/t.ini")), "t");
  EXPECT_EQ(ReadFileBytes(LocalOs("tree/Sub/s.ini")), "s");
  // An empty folder becomes an empty subfolder named after it.
  ASSERT_TRUE(directory->CopyToLocal(Below("CN=Empty"), LocalWin("empty"), &error))
      << error;
  EXPECT_TRUE(std::filesystem::is_directory(LocalOs("empty/Empty")));

  // A missing entry leaves an existing local file as it was.
  WriteFileBytes(LocalOs("old.ini"), "old");
  EXPECT_FALSE(
      directory->CopyToLocal(Below("CN=missing.ini"), LocalWin("old.ini"), nullptr));
  EXPECT_EQ(ReadFileBytes(LocalOs("old.ini")), "old");
  EXPECT_FALSE(directory->CopyToLocal("", LocalWin("x"), &error));
}

TEST_F(LDAPTransferTest, CopiesWithinTheDirectory) {
  AddFile(Below("CN=a.ini"), "a.ini", {"a"});
  AddFolder(Below("CN=Target"), "Target");
  AddFolder(Below("CN=Tree"), "Tree");
  AddFile(Below("CN=t.ini,CN=Tree"), "t.ini", {"t"});
  AddFolder(Below("CN=Sub,CN=Tree"), "Sub");
  AddFolder(Below("CN=Empty"), "Empty");
  auto directory = NewDirectory();
  std::string error;

  // Into a folder the file keeps its name; onto a file DN it takes that one.
  ASSERT_TRUE(directory->CopyWithin(Below("CN=a.ini"), Below("CN=Target"), &error))
      << error;
  EXPECT_EQ(StoredContents(Below("CN=a.ini,CN=Target")), Values{"a"});
  ASSERT_TRUE(directory->CopyWithin(Below("CN=a.ini"), Below("CN=b.ini,CN=New"), &error))
      << error;
  EXPECT_EQ(StoredContents(Below("CN=b.ini,CN=New")), Values{"a"});
  EXPECT_EQ(StoredValues(Below("CN=b.ini,CN=New"), "cn"), Values{"b.ini"});
  EXPECT_EQ(StoredContents(Below("CN=a.ini")), Values{"a"});

  // A folder arrives below the target under its own name.
  ASSERT_TRUE(directory->CopyWithin(Below("CN=Tree"), Below("CN=Target"), &error))
      << error;
  EXPECT_EQ(StoredContents(Below("CN=t.ini,CN=Tree,CN=Target")), Values{"t"});
  EXPECT_TRUE(EntryExists(Below("CN=Sub,CN=Tree,CN=Target")));
  EXPECT_TRUE(EntryExists(Below("CN=t.ini,CN=Tree")));  // the source stays
  // An empty folder arrives as one empty folder.
  ASSERT_TRUE(directory->CopyWithin(Below("CN=Empty"), Below("CN=Target"), &error))
      << error;
  EXPECT_EQ(SearchDNs(Below("CN=Empty,CN=Target"), "sub"),
            Values{ToLowerAscii(Below("cn=empty,cn=target"))});

  EXPECT_FALSE(
      directory->CopyWithin(Below("CN=missing.ini"), Below("CN=Target"), nullptr));
  EXPECT_FALSE(EntryExists(Below("CN=missing.ini,CN=Target")));
  EXPECT_TRUE(TempFiles().empty());
}

TEST_F(LDAPTransferTest, CopiesFromTheLocalFileSystem) {
  std::filesystem::create_directories(LocalOs("Reports/Year"));
  WriteFileBytes(LocalOs("Reports/r.ini"), "r");
  WriteFileBytes(LocalOs("Reports/Year/y.ini"), std::string("y\0y", 3));
  WriteFileBytes(LocalOs("single.ini"), "single");
  WriteFileBytes(LocalOs("empty.ini"), "");
  AddFolder(Below("CN=Target"), "Target");
  auto directory = NewDirectory();
  std::string error;

  ASSERT_TRUE(directory->CopyFromLocal(LocalWin("Reports"), Below("CN=Target"), &error))
      << error;
  EXPECT_EQ(StoredContents(Below("CN=r.ini,CN=Reports,CN=Target")), Values{"r"});
  EXPECT_EQ(StoredContents(Below("CN=y.ini,CN=Year,CN=Reports,CN=Target")),
            Values{std::string("y\0y", 3)});

  // A file goes below a folder DN under its own name, or onto a file DN.
  ASSERT_TRUE(
      directory->CopyFromLocal(LocalWin("single.ini"), Below("CN=Target"), &error))
      << error;
  EXPECT_EQ(StoredContents(Below("CN=single.ini,CN=Target")), Values{"single"});
  ASSERT_TRUE(directory->CopyFromLocal(LocalWin("empty.ini"), Below("CN=e.ini"), &error))
      << error;
  EXPECT_EQ(StoredContents(Below("CN=e.ini")), Values{" "});

  // A local path that does not exist stores nothing.
  EXPECT_FALSE(
      directory->CopyFromLocal(LocalWin("missing.ini"), Below("CN=Target"), nullptr));
  EXPECT_FALSE(EntryExists(Below("CN=missing.ini,CN=Target")));
  EXPECT_FALSE(
      directory->CopyFromLocal(LocalWin("missing.ini"), Below("CN=m.ini"), nullptr));
  EXPECT_FALSE(EntryExists(Below("CN=m.ini")));
  EXPECT_FALSE(directory->CopyFromLocal("", Below("CN=m.ini"), &error));
}

}  // namespace
}  // namespace kova
