#include "model/kova_file_operations.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "files/local_files.h"
#include "model/kova.h"
#include "model/kova_path.h"
#include "model/two_kovas_fixture.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using KovaFileOperationsTest = test::TwoKovasTest;

TEST_F(KovaFileOperationsTest, ExistsAndDelete) {
  test::WriteFileBytes(root().OsPath("sales/a.ini"), "a");
  EXPECT_TRUE(sales_->FileExists("<Sales>\\a.ini", nullptr));
  EXPECT_TRUE(sales_->FileExists("<SALES>\\", nullptr));
  EXPECT_FALSE(sales_->FileExists("<Sales>\\b.ini", nullptr));
  // Sales does not resolve Sales2's paths.
  test::WriteFileBytes(root().OsPath("sales2/a.ini"), "a2");
  EXPECT_FALSE(sales_->FileExists("<Sales2>\\x.ini", nullptr));
  EXPECT_TRUE(sales2_->FileExists("<Sales2>\\a.ini", nullptr));

  EXPECT_TRUE(sales_->DeleteFile("<Sales>\\a.ini"));
  EXPECT_FALSE(test::PathExists(root().OsPath("sales/a.ini")));
  EXPECT_TRUE(test::PathExists(root().OsPath("sales2/a.ini")));

  SetLastError(0xDEADBEEF);
  EXPECT_FALSE(sales_->DeleteFile("<Sales>\\a.ini"));
  EXPECT_EQ(sales_->GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(KovaFileOperationsTest, RenameWithinAndAcrossKovas) {
  test::WriteFileBytes(root().OsPath("sales/a.ini"), "contents");
  ASSERT_TRUE(sales_->RenameFile("<Sales>\\a.ini", "<Sales>\\b.ini"));
  EXPECT_FALSE(test::PathExists(root().OsPath("sales/a.ini")));
  EXPECT_EQ(test::ReadFileBytes(root().OsPath("sales/b.ini")), "contents");

  // Into another Kova: the file lands in Sales2's folder, not in a relative
  // "<Sales2>" folder below the current one.
  ASSERT_TRUE(sales_->RenameFile("<Sales>\\b.ini", "<SALES2>\\c.ini"));
  EXPECT_FALSE(test::PathExists(root().OsPath("sales/b.ini")));
  EXPECT_EQ(test::ReadFileBytes(root().OsPath("sales2/c.ini")), "contents");

  // To a file-system path outside every Kova, used as it is.
  ASSERT_WIN_OK(CreateDirectoryA(root().WinPath("out").c_str(), nullptr));
  ASSERT_TRUE(sales2_->RenameFile("<Sales2>\\c.ini", root().WinPath("out\\d.ini")));
  EXPECT_EQ(test::ReadFileBytes(root().OsPath("out/d.ini")), "contents");

  EXPECT_FALSE(sales_->RenameFile("<Sales>\\none.ini", "<Sales>\\e.ini"));
  EXPECT_FALSE(test::PathExists(root().OsPath("sales/e.ini")));
}

TEST_F(KovaFileOperationsTest, CopyToKovasAndFileSystem) {
  test::WriteFileBytes(root().OsPath("sales/a.ini"), "source");
  test::WriteFileBytes(root().OsPath("sales2/b.ini"), "old");
  // failIfExists keeps an existing destination.
  EXPECT_FALSE(sales_->CopyFile("<Sales>\\a.ini", "<Sales2>\\b.ini", sales2_, TRUE));
  EXPECT_EQ(test::ReadFileBytes(root().OsPath("sales2/b.ini")), "old");
  EXPECT_TRUE(sales_->CopyFile("<Sales>\\a.ini", "<Sales2>\\b.ini", sales2_, FALSE));
  EXPECT_EQ(test::ReadFileBytes(root().OsPath("sales2/b.ini")), "source");

  // Without a destination Kova the destination is a file-system path.
  const std::string local = root().WinPath("local.ini");
  EXPECT_TRUE(sales_->CopyFile("<Sales>\\a.ini", local, nullptr, TRUE));
  EXPECT_EQ(test::ReadFileBytes(root().OsPath("local.ini")), "source");
  EXPECT_FALSE(sales_->CopyFile("<Sales>\\a.ini", local, nullptr, TRUE));
  EXPECT_FALSE(
      sales_->CopyFile("<Sales>\\none.ini", root().WinPath("n.ini"), nullptr, FALSE));
  EXPECT_FALSE(test::PathExists(root().OsPath("n.ini")));
  EXPECT_EQ(test::ReadFileBytes(root().OsPath("sales/a.ini")), "source");
}

TEST_F(KovaFileOperationsTest, WritabilityOfFoldersAndFiles) {
  // A folder is probed through a file that is removed again.
  EXPECT_TRUE(sales_->IsPathWritable("<Sales>\\"));
  EXPECT_TRUE(sales_->IsPathWritable("<Sales>"));
  EXPECT_FALSE(test::PathExists(root().OsPath("sales/") + kWritableProbeFileName));
  // A missing file in an existing folder is created and removed.
  EXPECT_TRUE(sales_->IsPathWritable("<Sales>\\new.ini"));
  EXPECT_FALSE(test::PathExists(root().OsPath("sales/new.ini")));
  // An existing file is opened and left as it was.
  test::WriteFileBytes(root().OsPath("sales/kept.ini"), "kept");
  EXPECT_TRUE(sales_->IsPathWritable("<Sales>\\kept.ini"));
  EXPECT_EQ(test::ReadFileBytes(root().OsPath("sales/kept.ini")), "kept");
  EXPECT_TRUE(MessageBoxLines().empty());

  // A failure is shown, naming the resolved path.
  EXPECT_FALSE(sales_->IsPathWritable("<Sales>\\no\\such\\x.ini"));
  const std::vector<std::string> boxes = MessageBoxLines();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("\"caption\":\"Corvanta\""), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("no\\\\such\\\\x.ini"), std::string::npos) << boxes[0];
  EXPECT_EQ(boxes[0].find("<Sales>"), std::string::npos) << boxes[0];
}

TEST_F(KovaFileOperationsTest, LDAPPathWithoutBackEndIsNotWritable) {
  // Its text is no local path: it must not be probed in the current folder.
  EXPECT_FALSE(TestPathWritable(kKovaPathLDAP, salesDir_, nullptr));
  EXPECT_TRUE(TestPathWritable(kKovaPathFileSystem, salesDir_, nullptr));
  EXPECT_TRUE(MessageBoxLines().empty());
}

// Makes `folder` (created here) the current folder for the life of the object.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::string& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::create_directories(folder);
    std::filesystem::current_path(folder);
  }
  ~ScopedCurrentFolder() { std::filesystem::current_path(previous_); }
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

// An LDAP Kova whose server cannot be reached; its active path is the LDAP
// path all the same.
class LDAPKovaFileOperationsTest : public test::TwoKovasTest {
 protected:
  void SetUp() override {
    test::DefineKova(HKEY_CURRENT_USER, "Dir",
                     {{"Path1", "ou=kovas,dc=example"},
                      {"Type1", DWORD{1}},
                      {"Host1", "127.0.0.1"},
                      {"Port1", DWORD{1}}});
    TwoKovasTest::SetUp();
  }
};

TEST_F(LDAPKovaFileOperationsTest, EveryOperationFailsAndNothingLandsLocally) {
  ASSERT_EQ(kovas_->GetCount(), 3);
  CKova* dir = kovas_->FindKova("<Dir>\\", FALSE);
  ASSERT_NE(dir, nullptr);
  ASSERT_TRUE(dir->IsActivePathLDAP());
  test::WriteFileBytes(root().OsPath("sales/a.ini"), "source");

  EXPECT_FALSE(dir->FileExists("<Dir>\\a.ini", nullptr));
  EXPECT_FALSE(dir->DeleteFile("<Dir>\\a.ini"));
  EXPECT_FALSE(dir->RenameFile("<Dir>\\a.ini", "<Dir>\\b.ini"));
  EXPECT_FALSE(dir->CopyFile("<Dir>\\a.ini", root().WinPath("copy.ini"), nullptr, FALSE));
  EXPECT_FALSE(dir->IsPathWritable("<Dir>\\a.ini"));
  EXPECT_FALSE(test::PathExists(root().OsPath("copy.ini")));

  // A file-system file does not move or copy into the directory by these means,
  // nor to the relative path that the directory's path text would name.
  ScopedCurrentFolder current(root().OsPath("cwd"));
  ASSERT_WIN_OK(
      CreateDirectoryA(root().WinPath("cwd\\ou=kovas,dc=example").c_str(), nullptr));
  EXPECT_FALSE(sales_->RenameFile("<Sales>\\a.ini", "<Dir>\\a.ini"));
  EXPECT_FALSE(sales_->CopyFile("<Sales>\\a.ini", "<Dir>\\a.ini", dir, FALSE));
  EXPECT_EQ(test::ReadFileBytes(root().OsPath("sales/a.ini")), "source");
  EXPECT_FALSE(test::PathExists(root().OsPath("cwd/ou=kovas,dc=example/a.ini")));
}

}  // namespace
}  // namespace kova
