// An LDAP Kova when its directory server fails: killed while a changed file is
// written back, killed and restarted between operations, hanging without an
// answer, and a client process killed while it holds the Kova's shared block.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <thread>

#include "api/api_test_support.h"
#include "tests/faults/fault_support.h"
#include "tests/faults/ldap_kova_test.h"
#include "tests/test_util.h"

namespace {

using kova::test::Bstr;
using kova::test::ChildProcess;
using kova::test::LdapTripwire;
using kova::test::SilentListener;

constexpr int kModifyRequest = 0x66;

class LdapFaultTest : public kova::test::LdapKovaTest {
 protected:
  void SetUp() override {
    LdapKovaTest::SetUp();
    if (HasFatalFailure()) return;
    AddFolder(Below("CN=Sessions"), "Sessions");
  }
  void TearDown() override {
    client_.reset();
    // The suite's server outlives a test that killed it.
    if (!server().running()) {
      std::string error;
      EXPECT_TRUE(server().Restart(&error)) << error;
    }
    LdapKovaTest::TearDown();
  }

  // The test's Kova reaching the server through a tripwire that kills it when the
  // first modify request arrives, and the file `dn` holding K=old.
  std::unique_ptr<LdapTripwire> KovaBehindTripwire(const std::string& dn) {
    auto tripwire = std::make_unique<LdapTripwire>(server().port(), kModifyRequest,
                                                   [this] { server().Kill(); });
    if (tripwire->port() == 0) return nullptr;
    DefineKova(DWORD(tripwire->port()));
    AddFile(dn, "a.lms", {"[S]\r\nK=old\r\n"});
    return tripwire;
  }
  void RestartServer() {
    std::string error;
    ASSERT_TRUE(server().Restart(&error)) << error;
  }
};

TEST_F(LdapFaultTest, ServerKilledDuringTheWriteBackKeepsTheCopyForTheNextFlush) {
  const std::string dn = Below("CN=a.lms,CN=Sessions");
  auto wire = KovaBehindTripwire(dn);
  ASSERT_NE(wire, nullptr);
  LdapTripwire& tripwire = *wire;

  const KOVA_LONG_PTR h = Load("Sessions\\a.lms");
  ASSERT_EQ(Get(h, "K"), "old");
  Set(h, "K", "new");
  EXPECT_EQ(api_.KovaFlushFile(h), S_FALSE) << "the write-back failed";
  ASSERT_TRUE(tripwire.triggered()) << "the write-back never sent its modify request";
  EXPECT_EQ(TempContents(), std::vector<std::string>{"[S]\r\nK=new\r\n"})
      << "the changed copy is the only one and stays";
  // The session still works on the changed copy.
  EXPECT_EQ(Get(h, "K"), "new");
  Set(h, "L", "later");

  RestartServer();
  EXPECT_EQ(Stored(dn), "[S]\r\nK=old\r\n");
  EXPECT_EQ(api_.KovaFlushFile(h), S_OK);
  EXPECT_EQ(Stored(dn), "[S]\r\nK=new\r\nL=later\r\n");
  EXPECT_EQ(Get(h, "L"), "later");
  UnInitialize(h);
  EXPECT_TRUE(TempFiles().empty());
}

// The server goes while the client still writes a large request: the write
// fails, where it once raised SIGPIPE and ended the client process.
TEST_F(LdapFaultTest, ServerKilledWhileALargeWriteBackIsSentLeavesTheClientRunning) {
  const std::string dn = Below("CN=a.lms,CN=Sessions");
  auto wire = KovaBehindTripwire(dn);
  ASSERT_NE(wire, nullptr);
  LdapTripwire& tripwire = *wire;

  const KOVA_LONG_PTR h = Load("Sessions\\a.lms");
  const std::string large(4u << 20, 'x');
  Set(h, "K", large);
  EXPECT_EQ(api_.KovaFlushFile(h), S_FALSE);
  ASSERT_TRUE(tripwire.triggered());
  EXPECT_EQ(Get(h, "K").size(), 259u) << "the copy stays loaded";
  RestartServer();
  EXPECT_EQ(api_.KovaFlushFile(h), S_OK);
  EXPECT_EQ(Stored(dn), "[S]\r\nK=" + large + "\r\n");
}

TEST_F(LdapFaultTest, ServerKilledDuringTheLastWriteBackLeavesTheCopyBehind) {
  const std::string dn = Below("CN=a.lms,CN=Sessions");
  auto wire = KovaBehindTripwire(dn);
  ASSERT_NE(wire, nullptr);
  LdapTripwire& tripwire = *wire;

  const KOVA_LONG_PTR h = Load("Sessions\\a.lms");
  Set(h, "K", "new");
  UnInitialize(h);
  ASSERT_TRUE(tripwire.triggered());
  // Nothing half-stored, and the changes survive in the copy.
  RestartServer();
  EXPECT_EQ(Stored(dn), "[S]\r\nK=old\r\n");
  EXPECT_EQ(TempContents(), std::vector<std::string>{"[S]\r\nK=new\r\n"});
}

TEST_F(LdapFaultTest, ServerKilledAndRestartedBetweenOperations) {
  DefineKova();
  const std::string dn = Below("CN=a.lms,CN=Sessions");
  AddFile(dn, "a.lms", {"[S]\r\nK=old\r\n"});
  const KOVA_LONG_PTR h = Load("Sessions\\a.lms");
  ASSERT_EQ(Get(h, "K"), "old");

  server().Kill();
  // The loaded copy is local: reading and writing it needs no server.
  Set(h, "K", "offline");
  EXPECT_EQ(Get(h, "K"), "offline");
  // Operations that need the directory fail, in other sessions too.
  Bstr a(KovaPath("Sessions\\a.lms"));
  EXPECT_EQ(api_.KovaFileExists(0, a.in()), S_FALSE);
  KOVA_LONG_PTR find = 0;
  LONG count = -1;
  Bstr folder(KovaPath("Sessions")), filter(".*");
  EXPECT_EQ(api_.KovaFindInit(&find, folder.in(), filter.in(), APP_LUMASET, &count),
            S_OK);
  client_->Keep(find);
  EXPECT_EQ(count, 0);

  RestartServer();
  // A bind that reached no server judged no credentials: the Kova binds again
  // with the stored ones, and the changes made meanwhile reach the server.
  EXPECT_EQ(api_.KovaFlushFile(h), S_OK);
  EXPECT_EQ(Stored(dn), "[S]\r\nK=offline\r\n");
  EXPECT_EQ(api_.KovaFileExists(0, a.in()), S_OK);
  const KOVA_LONG_PTR again = Load("Sessions\\a.lms");
  EXPECT_EQ(Get(again, "K"), "offline");
  UnInitialize(h);
  UnInitialize(again);
  EXPECT_TRUE(TempFiles().empty());
  for (const std::string& box : MessageBoxLines())
    EXPECT_EQ(box.find("cancelled"), std::string::npos) << box;
}

TEST_F(LdapFaultTest, ServerThatNeverAnswersEndsWithTheConnectTimeOut) {
  SilentListener silent;
  ASSERT_NE(silent.port(), 0);
  DefineKova(DWORD(silent.port()), 1);
  const KOVA_LONG_PTR h = Load("Sessions\\a.lms");
  EXPECT_EQ(Get(h, "K"), "<none>");
  Set(h, "K", "kept");
  EXPECT_EQ(api_.KovaFlushFile(h), S_FALSE);
  Bstr a(KovaPath("Sessions\\a.lms"));
  EXPECT_EQ(api_.KovaFileExists(h, a.in()), S_FALSE);
  UnInitialize(h);
  const auto boxes = MessageBoxLines();
  ASSERT_FALSE(boxes.empty());
  EXPECT_NE(boxes[0].find("LDAP: "), std::string::npos) << boxes[0];
}

// A client that dies keeps no claim on the Kova's shared block: the credentials
// it stored, its last error and its cancelled flag go with it.
TEST_F(LdapFaultTest, ClientKilledWhileHoldingTheSharedBlockLeavesNoStateBehind) {
  kova::test::DefineKova(HKEY_CURRENT_USER, name_,
                         {{"Path1", folder()},
                          {"Type1", DWORD{1}},
                          {"Host1", settings_.host},
                          {"Port1", settings_.port},
                          {"Username1", settings_.userName},
                          {"Password1", std::string("wrong-password")}});
  AddFile(Below("CN=a.lms,CN=Sessions"), "a.lms", {"[S]\r\nK=stored\r\n"});
  {
    // The refused bind cannot prompt (no prompt component): the block now says
    // "cancelled", and every process that opens this Kova gives up at once.
    ChildProcess holder("fault_client", {"hold", KovaPath("Sessions\\a.lms")});
    ASSERT_TRUE(holder.started());
    ASSERT_EQ(holder.ReadLine().rfind("ready ", 0), 0u);
    kova::test::DefineKova(HKEY_CURRENT_USER, name_, {{"Password1", settings_.password}});
    auto refused = kova::test::RunProgram("fault_client",
                                          {"get", KovaPath("Sessions\\a.lms"), "S", "K"});
    EXPECT_EQ(refused.exit_code, 0) << refused.out;
    EXPECT_EQ(refused.out, "<none>\n");
    ASSERT_TRUE(holder.Kill());
  }
  auto after = kova::test::RunProgram("fault_client",
                                      {"get", KovaPath("Sessions\\a.lms"), "S", "K"});
  EXPECT_EQ(after.exit_code, 0) << after.out << after.err;
  EXPECT_EQ(after.out, "stored\n");
}

// Each process writes its whole copy back: the entry always holds one whole
// file, and the last write-back decides what it says.
TEST_F(LdapFaultTest, TwoProcessesFlushingOneFileLeaveOneWholeEntry) {
  DefineKova();
  const std::string dn = Below("CN=a.lms,CN=Sessions");
  AddFile(dn, "a.lms", {"[S]\r\nK=start\r\n"});
  constexpr int kFlushes = 15;
  kova::test::RunResult runs[2];
  std::thread threads[2];
  for (int p = 0; p < 2; ++p) {
    threads[p] = std::thread([&, p] {
      runs[p] = kova::test::RunProgram(
          "fault_client", {"flush", KovaPath("Sessions\\a.lms"), "K",
                           "p" + std::to_string(p) + "-", std::to_string(kFlushes)});
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const auto& run : runs) ASSERT_EQ(run.exit_code, 0) << run.out << run.err;

  const std::string last = "-" + std::to_string(kFlushes - 1);
  const std::string stored = Stored(dn);
  EXPECT_TRUE(stored == "[S]\r\nK=p0" + last + "\r\n" ||
              stored == "[S]\r\nK=p1" + last + "\r\n")
      << stored;
  EXPECT_EQ(SearchDNs(Below("CN=Sessions"), "one").size(), 1u);
  EXPECT_TRUE(TempFiles().empty());
  EXPECT_TRUE(MessageBoxLines().empty());
}

}  // namespace
