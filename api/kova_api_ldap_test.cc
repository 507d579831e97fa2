// The interface on a Kova stored in the private slapd: a loaded file is fetched
// into a cache copy, written back by a flush and at the end of the session, and
// the directory's folders are listed and converted as the Kova's own.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "api/api_test_support.h"
#include "ldap/ldap_test_support.h"
#include "model/test_support.h"
#include "tests/test_util.h"

namespace {

using kova::test::Bstr;
using kova::test::OutBstr;
using kova::test::ScopedEnv;
using kova::test::TestApi;

class LdapApiTest : public kova::test::LdapStoreTest {
 protected:
  LdapApiTest() : user_dir_("KOVA_USERDIR", std::string("/srv/user")) {}

  void SetUp() override {
    LdapStoreTest::SetUp();
    if (HasFatalFailure()) return;
    // A Kova name of the test's own: the LDAP information block is per Kova name.
    name_ = std::string("L") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
    kova::test::DefineKova(HKEY_CURRENT_USER, name_,
                           {{"Path1", folder()},
                            {"Type1", DWORD{1}},
                            {"Host1", settings_.host},
                            {"Port1", settings_.port},
                            {"Username1", settings_.userName},
                            {"Password1", settings_.password}});
    AddFolder(Below("CN=Sessions"), "Sessions");
  }
  void TearDown() override {
    for (KOVA_LONG_PTR handle : handles_) api_.KovaUnInitialize(handle);
    LdapStoreTest::TearDown();
  }

  std::string KovaPath(const std::string& relative) const {
    return "<" + name_ + ">\\" + relative;
  }
  KOVA_LONG_PTR Load(const std::string& relative) {
    KOVA_LONG_PTR handle = 0;
    Bstr path(KovaPath(relative));
    EXPECT_EQ(api_.KovaLoadFile(&handle, path.in()), S_OK);
    handles_.push_back(handle);
    return handle;
  }
  void UnInitialize(KOVA_LONG_PTR handle) {
    EXPECT_EQ(api_.KovaUnInitialize(handle), S_OK);
    handles_.erase(std::find(handles_.begin(), handles_.end(), handle));
  }
  std::string Get(KOVA_LONG_PTR h, const std::string& key) {
    Bstr s("S"), k(key), d("<none>");
    OutBstr value;
    EXPECT_EQ(api_.KovaGetProfileString(h, s.in(), k.in(), d.in(), value.out(), 260),
              S_OK);
    return value.text();
  }
  void Set(KOVA_LONG_PTR h, const std::string& key, const std::string& value) {
    Bstr s("S"), k(key), v(value);
    EXPECT_EQ(api_.KovaSetProfileString(h, s.in(), k.in(), v.in()), S_OK);
  }
  std::string Stored(const std::string& dn) {
    const auto values = StoredContents(dn);
    return values.size() == 1 ? values[0]
                              : "<" + std::to_string(values.size()) + " values>";
  }

  TestApi api_;
  ScopedEnv user_dir_;
  std::string name_;
  std::vector<KOVA_LONG_PTR> handles_;
};

TEST_F(LdapApiTest, FlushStoresTheChangesAndFetchesTheFileAfresh) {
  const std::string dn = Below("CN=a.lms,CN=Sessions");
  AddFile(dn, "a.lms", {"[S]\r\nK=old\r\n"});
  const KOVA_LONG_PTR h = Load("Sessions\\a.lms");
  EXPECT_EQ(Get(h, "K"), "old");
  EXPECT_EQ(TempFiles().size(), 1u) << "the cache copy";

  Set(h, "K", "new");
  EXPECT_EQ(Stored(dn), "[S]\r\nK=old\r\n") << "nothing is stored before the flush";
  EXPECT_EQ(api_.KovaFlushFile(h), S_OK);
  EXPECT_EQ(Stored(dn), "[S]\r\nK=new\r\n");
  // Changed behind the session's back: the flushed file was fetched afresh, and
  // an unchanged file is not written back.
  AddFile(Below("CN=b.lms,CN=Sessions"), "b.lms", {"[S]\r\nK=b\r\n"});
  EXPECT_EQ(Get(h, "K"), "new");
  EXPECT_EQ(api_.KovaFlushFile(h), S_OK);
  EXPECT_EQ(Stored(dn), "[S]\r\nK=new\r\n");

  UnInitialize(h);
  EXPECT_TRUE(TempFiles().empty()) << "the cache copy goes with the session";
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(LdapApiTest, ANewFileIsStoredWithItsFoldersAtTheEndOfTheSession) {
  const KOVA_LONG_PTR h = Load("Projects\\Q4\\new.lms");
  EXPECT_EQ(Get(h, "K"), "<none>");
  Set(h, "K", " spaced ");
  UnInitialize(h);
  EXPECT_TRUE(EntryExists(Below("CN=Q4,CN=Projects")));
  EXPECT_EQ(Stored(Below("CN=new.lms,CN=Q4,CN=Projects")), "[S]\r\nK=' spaced '\r\n");

  const KOVA_LONG_PTR again = Load("Projects\\Q4\\new.lms");
  EXPECT_EQ(Get(again, "K"), " spaced ");
}

TEST_F(LdapApiTest, FilesOfTheDirectoryAreListedTestedRenamedAndDeleted) {
  AddFile(Below("CN=a.lms,CN=Sessions"), "a.lms", {"[S]\r\n"});
  AddFile(Below("CN=c.pn,CN=Sessions"), "c.pn", {"[S]\r\n"});
  AddFolder(Below("CN=Sub,CN=Sessions"), "Sub");

  KOVA_LONG_PTR find = 0;
  LONG count = -1;
  Bstr folder(KovaPath("Sessions")), filter(".*");
  ASSERT_EQ(api_.KovaFindInit(&find, folder.in(), filter.in(), APP_LUMASET, &count),
            S_OK);
  handles_.push_back(find);
  ASSERT_EQ(count, 1);
  OutBstr name;
  EXPECT_EQ(api_.KovaFindNext(find, 0, name.out()), S_OK);
  EXPECT_EQ(name.text(), "a.lms");

  const KOVA_LONG_PTR h = find;
  Bstr a(KovaPath("Sessions\\a.lms")), moved(KovaPath("Sessions\\Sub\\m.lms")),
      c(KovaPath("Sessions\\c.pn")), missing(KovaPath("Sessions\\none.lms"));
  EXPECT_EQ(api_.KovaFileExists(0, a.in()), S_OK);
  EXPECT_EQ(api_.KovaFileExists(h, missing.in()), S_FALSE);
  EXPECT_EQ(api_.KovaIsPathWriteAble(h, a.in()), S_OK);
  EXPECT_EQ(api_.KovaRenameFile(h, a.in(), moved.in()), S_OK);
  EXPECT_FALSE(EntryExists(Below("CN=a.lms,CN=Sessions")));
  EXPECT_TRUE(EntryExists(Below("CN=m.lms,CN=Sub,CN=Sessions")));
  EXPECT_EQ(api_.KovaDeleteFile(h, c.in()), S_OK);
  EXPECT_FALSE(EntryExists(Below("CN=c.pn,CN=Sessions")));
  EXPECT_EQ(api_.KovaDeleteFile(h, c.in()), S_FALSE);
}

TEST_F(LdapApiTest, ConversionToTheFileSystemRefusesADirectoryPath) {
  AddFile(Below("CN=a.lms,CN=Sessions"), "a.lms", {"[S]\r\n"});
  Bstr path(KovaPath("Sessions\\a.lms"));
  OutBstr out;
  EXPECT_EQ(api_.KovaPathConvertKovatoFS(path.in(), out.out()), S_FALSE);
  EXPECT_TRUE(out.is_null());
  EXPECT_TRUE(TempFiles().empty()) << "the fetched copy is removed again";

  OutBstr display;
  EXPECT_EQ(api_.KovaGetKovaDisplayPath(0, path.in(), display.out()), S_OK);
  EXPECT_EQ(display.text(), "<" + name_ + ">\\Sessions\\");
}

}  // namespace
