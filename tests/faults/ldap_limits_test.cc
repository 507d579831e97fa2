// The limits a directory server puts on a Kova: how many entries one listing
// may return, and how large one request may be. Each is met on a server with
// the limit in force, and passed on one with it lifted (doc/ldap-limits.md).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "api/api_test_support.h"
#include "model/test_support.h"
#include "tests/ldap/slapd_fixture.h"
#include "tests/test_util.h"

namespace {

using kova::test::Bstr;
using kova::test::OutBstr;
using kova::test::ScopedEnv;
using kova::test::SlapdServer;
using kova::test::TestApi;

constexpr char kFolderDn[] = "CN=Limits,dc=kova,dc=test";
// One more than slapd's default size limit.
constexpr int kFiles = 501;
// slapd takes requests of up to 16 MiB from a bound client by default; the
// tests lower that limit to 1 MiB so as to stay quick.
constexpr char kLowRequestLimit[] = "sockbuf_max_incoming_auth 1048576";
constexpr std::size_t kLargeValue = 2u << 20;

class LdapLimitsTest : public kova::test::IsolatedTest {
 protected:
  LdapLimitsTest() : user_dir_("KOVA_USERDIR", std::string("/srv/user")) {}

  // A server with `database` lines in its main database's section, holding the
  // test folder with kFiles files.
  void StartServer(const std::string& globals, const std::string& database) {
    // Without a sync per entry the folder's files are added in moments.
    server_.SetExtraConfig(globals, database + "\ndbnosync");
    std::string error;
    ASSERT_TRUE(server_.Start(&error)) << error;
    std::string ldif =
        std::string("dn: ") + kFolderDn + "\nobjectClass: corvantaFolder\ncn: Limits\n\n";
    for (int i = 0; i < kFiles; ++i) {
      const std::string name = "f" + std::to_string(i) + ".lms";
      ldif += "dn: CN=" + name + "," + kFolderDn +
              "\nobjectClass: corvantaFileBinary\ncn: " + name +
              "\ncorvantaFileContentsBinary: [S]\n\n";
    }
    ASSERT_TRUE(server_.Add(ldif, &error)) << error;
    kova::test::DefineKova(HKEY_CURRENT_USER, "Big",
                           {{"Path1", std::string(kFolderDn)},
                            {"Type1", DWORD{1}},
                            {"Host1", server_.host()},
                            {"Port1", DWORD(server_.port())},
                            {"Username1", std::string(SlapdServer::user_dn())},
                            {"Password1", std::string(SlapdServer::user_password())}});
  }

  LONG ListedFiles() {
    KOVA_LONG_PTR find = 0;
    LONG count = -1;
    Bstr folder(std::string("<Big>")), extension(std::string(".*"));
    EXPECT_EQ(api_.KovaFindInit(&find, folder.in(), extension.in(), APP_LUMASET, &count),
              S_OK);
    EXPECT_EQ(api_.KovaUnInitialize(find), S_OK);
    return count;
  }

  // Writes a file with one value of kLargeValue bytes; the flush's result.
  HRESULT FlushLargeFile() {
    KOVA_LONG_PTR h = 0;
    Bstr path(std::string("<Big>\\large.lms"));
    EXPECT_EQ(api_.KovaLoadFile(&h, path.in()), S_OK);
    Bstr s("S"), k("K"), v(std::string(kLargeValue, 'x'));
    EXPECT_EQ(api_.KovaSetProfileString(h, s.in(), k.in(), v.in()), S_OK);
    const HRESULT flushed = api_.KovaFlushFile(h);
    EXPECT_EQ(api_.KovaUnInitialize(h), S_OK);
    return flushed;
  }

  SlapdServer server_;
  TestApi api_;
  ScopedEnv user_dir_;
};

// A listing stopped by the size limit fails as a whole: the folder looks empty.
TEST_F(LdapLimitsTest, TheServersDefaultLimitsStopALargeFolderAndALargeFile) {
  StartServer(kLowRequestLimit, "sizelimit 500");
  EXPECT_EQ(ListedFiles(), 0);
  EXPECT_EQ(FlushLargeFile(), S_FALSE);
}

TEST_F(LdapLimitsTest, LiftedLimitsLetThemThrough) {
  StartServer("", "sizelimit unlimited");
  EXPECT_EQ(ListedFiles(), kFiles);
  EXPECT_EQ(FlushLargeFile(), S_OK);
}

}  // namespace
