// A Kova with two LDAP paths on two replicating servers: its first path on the
// provider, its second on a read-only consumer fed by syncrepl. With the
// provider gone, a new session takes the second path and reads what was
// written through the first.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "api/api_test_support.h"
#include "model/test_support.h"
#include "tests/faults/kova_client.h"
#include "tests/ldap/slapd_fixture.h"
#include "tests/test_util.h"

namespace {

using kova::test::Bstr;
using kova::test::OutBstr;
using kova::test::ScopedEnv;
using kova::test::SlapdServer;
using kova::test::TestApi;

constexpr char kFolderDn[] = "CN=Failover,dc=kova,dc=test";
constexpr char kFileDn[] = "CN=a.lms,CN=Failover,dc=kova,dc=test";
constexpr auto kReplicationWait = std::chrono::seconds(15);

class LdapFailoverTest : public kova::test::IsolatedTest {
 protected:
  static void SetUpTestSuite() {
    provider_ = std::make_unique<SlapdServer>();
    consumer_ = std::make_unique<SlapdServer>();
    start_error_.clear();
    provider_->SetExtraConfig("moduleload syncprov",
                              "index entryCSN,entryUUID eq\n"
                              "overlay syncprov\n"
                              "syncprov-checkpoint 10 1\n");
    if (!provider_->Start(&start_error_)) return;
    consumer_->SetLoadBaseEntries(false);
    consumer_->SetExtraConfig("",
                              "syncrepl rid=001\n"
                              "\tprovider=" +
                                  provider_->uri() +
                                  "\n"
                                  "\tbindmethod=simple\n"
                                  "\tbinddn=\"" +
                                  SlapdServer::root_dn() +
                                  "\"\n"
                                  "\tcredentials=" +
                                  SlapdServer::root_password() +
                                  "\n"
                                  "\tsearchbase=\"" +
                                  SlapdServer::base_dn() +
                                  "\"\n"
                                  "\ttype=refreshAndPersist\n"
                                  "\tretry=\"1 +\"\n");
    if (!consumer_->Start(&start_error_)) return;
    if (!provider_->Add(std::string("dn: ") + kFolderDn +
                            "\nobjectClass: corvantaFolder\ncn: Failover\n",
                        &start_error_))
      return;
  }
  static void TearDownTestSuite() {
    consumer_.reset();
    provider_.reset();
  }

  LdapFailoverTest() : user_dir_("KOVA_USERDIR", std::string("/srv/user")) {}

  void SetUp() override {
    ASSERT_TRUE(start_error_.empty()) << "the servers did not start: " << start_error_;
    kova::test::DefineKova(HKEY_CURRENT_USER, "Replicated",
                           {{"Path1", std::string(kFolderDn)},
                            {"Type1", DWORD{1}},
                            {"Host1", provider_->host()},
                            {"Port1", DWORD(provider_->port())},
                            {"Username1", std::string(SlapdServer::user_dn())},
                            {"Password1", std::string(SlapdServer::user_password())},
                            {"Path2", std::string(kFolderDn)},
                            {"Type2", DWORD{1}},
                            {"Host2", consumer_->host()},
                            {"Port2", DWORD(consumer_->port())},
                            {"Username2", std::string(SlapdServer::user_dn())},
                            {"Password2", std::string(SlapdServer::user_password())}});
  }

  // The stored contents of `dn` on `server`, as ldapsearch sees them.
  static std::string Stored(const SlapdServer& server, const std::string& dn) {
    kova::test::RunResult r =
        server.RunTool("ldapsearch", {"-LLL", "-o", "ldif-wrap=no", "-b", dn, "-s",
                                      "base", "corvantaFileContentsBinary"});
    if (r.exit_code != 0) return "<search failed " + std::to_string(r.exit_code) + ">";
    return r.out;
  }
  // Waits until the consumer's copy of `dn` matches the provider's.
  static bool WaitForReplica(const std::string& dn) {
    const std::string wanted = Stored(*provider_, dn);
    const auto deadline = std::chrono::steady_clock::now() + kReplicationWait;
    while (std::chrono::steady_clock::now() < deadline) {
      if (Stored(*consumer_, dn) == wanted) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }

  KOVA_LONG_PTR Load() { return client_.Load("<Replicated>\\a.lms"); }
  std::string Get(KOVA_LONG_PTR h, const std::string& key) { return client_.Get(h, key); }
  void Set(KOVA_LONG_PTR h, const std::string& key, const std::string& value) {
    client_.Set(h, key, value);
  }

  static std::unique_ptr<SlapdServer> provider_;
  static std::unique_ptr<SlapdServer> consumer_;
  static std::string start_error_;
  ScopedEnv user_dir_;
  kova::test::KovaClient client_;
  TestApi& api_ = client_.api();
};

std::unique_ptr<SlapdServer> LdapFailoverTest::provider_;
std::unique_ptr<SlapdServer> LdapFailoverTest::consumer_;
std::string LdapFailoverTest::start_error_;

TEST_F(LdapFailoverTest, WhileAnotherSessionHoldsTheKovaANewSessionFailsOver) {
  const KOVA_LONG_PTR writer = Load();
  Set(writer, "K", "second");
  ASSERT_EQ(api_.KovaFlushFile(writer), S_OK);
  ASSERT_TRUE(WaitForReplica(kFileDn))
      << "the consumer has " << Stored(*consumer_, kFileDn);

  // The writer's session stays: the Kova's shared block outlives the failure
  // that the new session meets on the first path.
  provider_->Kill();
  const KOVA_LONG_PTR reader = Load();
  EXPECT_EQ(Get(reader, "K"), "second");
  // One box for the unreachable first path, none for the second.
  EXPECT_EQ(MessageBoxLines().size(), 1u);
  client_.UnInitialize(reader);
  client_.UnInitialize(writer);
  std::string error;
  ASSERT_TRUE(provider_->Restart(&error)) << error;
}

TEST_F(LdapFailoverTest, WithTheProviderGoneANewSessionReadsFromTheReplica) {
  const KOVA_LONG_PTR writer = Load();
  Set(writer, "K", "written through the provider");
  client_.UnInitialize(writer);
  ASSERT_NE(Stored(*provider_, kFileDn).find("corvantaFileContentsBinary"),
            std::string::npos)
      << Stored(*provider_, kFileDn);
  ASSERT_TRUE(WaitForReplica(kFileDn))
      << "the consumer has " << Stored(*consumer_, kFileDn);

  provider_->Kill();
  const KOVA_LONG_PTR reader = Load();
  EXPECT_EQ(Get(reader, "K"), "written through the provider");
  // The replica refuses writes: the change stays loaded instead of being lost.
  Set(reader, "K", "changed on the replica");
  EXPECT_EQ(api_.KovaFlushFile(reader), S_FALSE);
  EXPECT_EQ(Get(reader, "K"), "changed on the replica");
  client_.UnInitialize(reader);
  EXPECT_NE(Stored(*consumer_, kFileDn).find("corvantaFileContentsBinary"),
            std::string::npos);
}

}  // namespace
