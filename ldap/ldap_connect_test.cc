// Connecting and binding against the private slapd: the three bind methods, the
// credentials step with a scripted prompt, the cancelled flag across processes,
// the connect time-out rule and the reset after a failed attempt.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "files/error_message.h"
#include "kova_registrar.h"
#include "ldap/ldap_directory.h"
#include "ldap/testing/prompt_double.h"
#include "objbase.h"
#include "tests/ldap/slapd_fixture.h"

namespace kova {
namespace {

using test::SlapdServer;

// A TCP listener on a free loopback port that accepts connections, notes the
// operation of the first request on each (an LDAP message's protocol-op tag:
// 0x60 bind, 0x63 search) and then either closes the connection or keeps it
// open without ever answering.
class FakeServer {
 public:
  enum class Mode { kCloseAfterFirstRequest, kNeverAnswer };

  explicit FakeServer(Mode mode) : mode_(mode) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 ||
        bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener_, 8) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
      return;
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~FakeServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    for (int fd : held_) close(fd);
    if (listener_ >= 0) close(listener_);
  }
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;

  int port() const { return port_; }
  int accepted() const { return accepted_; }
  // The first operation tag seen (0 when none arrived).
  int first_operation() const { return first_operation_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd waiting{listener_, POLLIN, 0};
      if (poll(&waiting, 1, 20) <= 0) continue;
      const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (connection < 0) continue;
      ++accepted_;
      const int operation = ReadOperation(connection);
      if (first_operation_ == 0) first_operation_ = operation;
      if (mode_ == Mode::kNeverAnswer) {
        held_.push_back(connection);
      } else {
        close(connection);
      }
    }
  }

  // Reads the start of one LDAP message: SEQUENCE, length, message id, then the
  // protocol-op tag.
  int ReadOperation(int connection) {
    unsigned char buffer[64];
    std::size_t have = 0;
    while (have < sizeof buffer && !stop_) {
      pollfd waiting{connection, POLLIN, 0};
      if (poll(&waiting, 1, 20) <= 0) continue;
      const ssize_t n = read(connection, buffer + have, sizeof buffer - have);
      if (n <= 0) break;
      have += std::size_t(n);
      std::size_t at = 1;
      if (have < 2 || buffer[0] != 0x30) continue;
      at += 1 + ((buffer[1] & 0x80) != 0 ? (buffer[1] & 0x7f) : 0);
      if (have < at + 2 || buffer[at] != 0x02) continue;
      at += 2 + buffer[at + 1];
      if (have > at) return buffer[at];
    }
    return 0;
  }

  Mode mode_;
  int listener_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> accepted_{0};
  std::atomic<int> first_operation_{0};
  std::vector<int> held_;
};

constexpr char kPromptScript[] = R"(HKCR
{
	'KovaBrowser.UserPasswordPromptDialog' = s 'Scripted prompt'
	{
		CLSID = s '{391C1BBB-FFB8-4C0B-86BF-69AD80D240FC}'
	}
	NoRemove CLSID
	{
		ForceRemove '{391C1BBB-FFB8-4C0B-86BF-69AD80D240FC}' = s 'Scripted prompt'
		{
			InprocServer32 = s '%MODULE%'
		}
	}
}
)";

// One prompt's record in the double's log.
struct Shown {
  std::string host;
  std::string user;
  std::string password;
};

class LDAPConnectTest : public test::SlapdTest {
 protected:
  void SetUp() override {
    test::SlapdTest::SetUp();
    const auto set = [this](const char* name, const std::string& value) {
      env_.push_back(std::make_unique<test::ScopedEnv>(name, value));
    };
    set("KOVA_REGISTRY_DIR", root_.OsPath(""));
    set("TMPDIR", root_.os_path());
    set("KOVA_MESSAGEBOX_LOG", BoxLog());
    set(test::kPromptScriptVariable, root_.OsPath("prompt-script"));
    set(test::kPromptLogVariable, root_.OsPath("prompt-log"));
    ASSERT_GE(CoInitialize(nullptr), 0);
    ASSERT_TRUE(api_.Load());
  }
  void TearDown() override { CoUninitialize(); }

  void RegisterPrompt() {
    com::CRegObject registrar;
    const std::string module = test::LibDir() + "/libkovatestprompt.so";
    ASSERT_EQ(registrar.AddReplacement("MODULE", module.c_str()), S_OK);
    ASSERT_EQ(registrar.StringRegister(kPromptScript), S_OK);
  }
  // The answers of the prompts to come, one line each ("confirm\tuser\tpassword"
  // or "cancel").
  void ScriptPrompt(const std::vector<std::string>& answers) {
    RegisterPrompt();
    std::ofstream script(root_.OsPath("prompt-script"));
    for (const std::string& answer : answers) script << answer << '\n';
  }
  static std::string Confirm(const std::string& user, const std::string& password) {
    return "confirm\t" + user + "\t" + password;
  }
  std::vector<Shown> Prompts() const {
    std::vector<Shown> shown;
    std::ifstream in(root_.OsPath("prompt-log"));
    for (std::string line; std::getline(in, line);) {
      std::vector<std::string> fields;
      std::size_t start = 0;
      for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos;
           start = tab + 1) {
        fields.push_back(line.substr(start, tab - start));
      }
      fields.push_back(line.substr(start));
      fields.resize(4);
      shown.push_back({fields[1], fields[2], fields[3]});
    }
    return shown;
  }
  std::string BoxLog() const { return root_.OsPath("boxes.jsonl"); }
  std::size_t BoxCount() const {
    std::ifstream in(BoxLog());
    std::size_t count = 0;
    for (std::string line; std::getline(in, line);) ++count;
    return count;
  }

  LDAPSettings ServerSettings(DWORD authentication) const {
    LDAPSettings settings;
    settings.host = server().host();
    settings.port = DWORD(server().port());
    settings.authentication = authentication;
    return settings;
  }
  LDAPSettings FakeSettings(const FakeServer& fake, DWORD timeout) const {
    LDAPSettings settings;
    settings.host = "127.0.0.1";
    settings.port = DWORD(fake.port());
    settings.authentication = kLDAPAuthAnonymous;
    settings.connectTimeout = timeout;
    return settings;
  }
  std::string TextFor(ULONG ldapCode) {
    std::string text;
    ComposeErrorMessage(api_.LdapMapErrorToWin32(ldapCode), nullptr, kMessageCaption,
                        &text);
    return "LDAP: " + text;
  }
  std::string kova_ = std::string("conn-") +
                      ::testing::UnitTest::GetInstance()->current_test_info()->name() +
                      "-" + std::to_string(GetCurrentProcessId());
  test::TempDir root_;
  std::vector<std::unique_ptr<test::ScopedEnv>> env_;
  LDAPApi api_;
};

TEST_F(LDAPConnectTest, AnonymousAndStoredSimpleCredentialsBindWithoutAPrompt) {
  ScriptPrompt({});
  struct Row {
    const char* name;
    DWORD authentication;
    const char* user;
    const char* password;
  };
  const Row rows[] = {
      {"anonymous", kLDAPAuthAnonymous, "", ""},
      {"simple", kLDAPAuthSimple, SlapdServer::user_dn(), SlapdServer::user_password()},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    LDAPSettings settings = ServerSettings(row.authentication);
    settings.userName = row.user;
    settings.password = row.password;
    CLDAPDirectory directory(&settings, kova_ + row.name);
    std::string text = "sentinel";
    ASSERT_TRUE(directory.Connect(&text)) << text;
    EXPECT_EQ(text, "sentinel");
    // Connected: a second Connect is immediate and the session can be closed.
    EXPECT_TRUE(directory.Connect(&text));
    EXPECT_TRUE(directory.Disconnect());
    // A new session after the old one was closed.
    EXPECT_TRUE(directory.Connect(&text));
    EXPECT_TRUE(directory.Disconnect());
  }
  EXPECT_TRUE(Prompts().empty());
  EXPECT_EQ(BoxCount(), 0u);
}

TEST_F(LDAPConnectTest, DestroyingOneDirectoryObjectLeavesAnothersTableUsable) {
  LDAPSettings settings = ServerSettings(kLDAPAuthAnonymous);
  auto first = std::make_unique<CLDAPDirectory>(&settings, kova_);
  CLDAPDirectory second(&settings, kova_);
  std::string text;
  ASSERT_TRUE(first->Connect(&text)) << text;
  ASSERT_TRUE(second.Connect(&text)) << text;
  // The first object's session is closed with it, its library reference given back.
  first.reset();
  EXPECT_TRUE(second.Disconnect());
  ASSERT_TRUE(second.Connect(&text)) << text;
  EXPECT_TRUE(second.Disconnect());
}

TEST_F(LDAPConnectTest, PromptedCredentialsAreSharedWithTheKovasOtherObjects) {
  ScriptPrompt({Confirm(SlapdServer::user_dn(), SlapdServer::user_password())});
  LDAPSettings settings = ServerSettings(kLDAPAuthSimple);
  CLDAPDirectory directory(&settings, kova_);
  std::string text;
  ASSERT_TRUE(directory.Connect(&text)) << text;
  const std::vector<Shown> shown = Prompts();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].host, server().host());
  EXPECT_EQ(shown[0].user, "");
  EXPECT_EQ(settings.userName, SlapdServer::user_dn());
  EXPECT_EQ(settings.password, SlapdServer::user_password());

  // An object of the same Kova whose path stores nothing uses the block's.
  LDAPSettings empty = ServerSettings(kLDAPAuthSimple);
  CLDAPDirectory other(&empty, kova_);
  ASSERT_TRUE(other.Connect(&text)) << text;
  EXPECT_EQ(Prompts().size(), 1u);
  EXPECT_EQ(empty.userName, SlapdServer::user_dn());
  EXPECT_EQ(empty.password, SlapdServer::user_password());

  // So does another process.
  const test::RunResult child = test::RunProgram(
      "ldap_probe", {"connect", kova_, server().host(), std::to_string(server().port()),
                     "1", "120", "", ""});
  ASSERT_EQ(child.exit_code, 0) << child.err;
  EXPECT_NE(child.out.find("connect=1\n"), std::string::npos) << child.out;
  EXPECT_NE(child.out.find(std::string("user=") + SlapdServer::user_dn()),
            std::string::npos);
  EXPECT_EQ(Prompts().size(), 1u);
  EXPECT_EQ(BoxCount(), 0u);
}

TEST_F(LDAPConnectTest, AWrongPasswordShowsTheErrorThenPromptsWithThePreviousValues) {
  ScriptPrompt({Confirm(SlapdServer::user_dn(), SlapdServer::user_password())});
  LDAPSettings settings = ServerSettings(kLDAPAuthSimple);
  settings.userName = SlapdServer::user_dn();
  settings.password = "wrong";
  CLDAPDirectory directory(&settings, kova_);
  std::string text;
  ASSERT_TRUE(directory.Connect(&text)) << text;
  // The refused bind's message, in the box and in the text.
  EXPECT_EQ(text, TextFor(LDAP_INVALID_CREDENTIALS));
  EXPECT_EQ(BoxCount(), 1u);
  const std::vector<Shown> shown = Prompts();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].user, SlapdServer::user_dn());
  EXPECT_EQ(shown[0].password, "wrong");
  EXPECT_EQ(settings.password, SlapdServer::user_password());
  // A successful bind clears the shared last error.
  EXPECT_EQ(CLDAPSharedInfo(kova_).GetLastLDAPError(), 0u);
}

TEST_F(LDAPConnectTest, APromptThatKeepsConfirmingWrongCredentialsIsAskedUntilItCancels) {
  constexpr int kWrongAnswers = 60;
  std::vector<std::string> answers(kWrongAnswers, Confirm(SlapdServer::user_dn(), "bad"));
  answers.push_back("cancel");
  ScriptPrompt(answers);
  LDAPSettings settings = ServerSettings(kLDAPAuthSimple);
  CLDAPDirectory directory(&settings, kova_);
  std::string text;
  EXPECT_FALSE(directory.Connect(&text));
  EXPECT_EQ(Prompts().size(), std::size_t(kWrongAnswers + 1));
  // One box per refused bind, and one for the cancelled prompt.
  EXPECT_EQ(BoxCount(), std::size_t(kWrongAnswers + 1));
  EXPECT_EQ(text, TextFor(LDAP_USER_CANCELLED));
}

TEST_F(LDAPConnectTest, ACancelledPromptStopsEveryProcessWithoutABox) {
  ScriptPrompt({"cancel"});
  LDAPSettings settings = ServerSettings(kLDAPAuthSimple);
  settings.userName = SlapdServer::user_dn();
  CLDAPDirectory directory(&settings, kova_);
  std::string text;
  EXPECT_FALSE(directory.Connect(&text));
  EXPECT_EQ(text, TextFor(LDAP_USER_CANCELLED));
  EXPECT_EQ(directory.GetCurrentError(), api_.LdapMapErrorToWin32(LDAP_USER_CANCELLED));
  EXPECT_EQ(BoxCount(), 1u);
  EXPECT_EQ(settings.password, "");

  // Later attempts fail at once: no prompt, no box.
  text.clear();
  EXPECT_FALSE(directory.Connect(&text));
  EXPECT_EQ(text, TextFor(LDAP_USER_CANCELLED));

  // The block this process holds stops another process too, even with
  // credentials that would bind.
  const test::RunResult child = test::RunProgram(
      "ldap_probe", {"connect", kova_, server().host(), std::to_string(server().port()),
                     "1", "120", SlapdServer::user_dn(), SlapdServer::user_password()});
  ASSERT_EQ(child.exit_code, 0) << child.err;
  EXPECT_NE(child.out.find("connect=0\n"), std::string::npos) << child.out;
  EXPECT_NE(child.out.find("text=" + TextFor(LDAP_USER_CANCELLED)), std::string::npos)
      << child.out;
  EXPECT_EQ(Prompts().size(), 1u);
  EXPECT_EQ(BoxCount(), 1u);
}

TEST_F(LDAPConnectTest, AStoredWrongPasswordOfAKindThatNeverPromptsFailsOnce) {
  ScriptPrompt({Confirm(SlapdServer::user_dn(), SlapdServer::user_password())});
  // Kinds other than 0, 1 and 2 bind simply and never prompt.
  LDAPSettings settings = ServerSettings(5);
  settings.userName = SlapdServer::user_dn();
  settings.password = "wrong";
  CLDAPDirectory directory(&settings, kova_);
  std::string text;
  EXPECT_FALSE(directory.Connect(&text));
  EXPECT_EQ(text, TextFor(LDAP_INVALID_CREDENTIALS));
  EXPECT_TRUE(Prompts().empty());
  EXPECT_EQ(BoxCount(), 1u);
  // Nothing was reset: with the right password the same object binds.
  settings.password = SlapdServer::user_password();
  EXPECT_TRUE(directory.Connect(&text)) << text;
}

TEST_F(LDAPConnectTest, TheDefaultTimeOutLetsTheBindConnect) {
  struct Row {
    DWORD timeout;
    int first_operation;
  };
  // 0x60 a bind request, 0x63 the search with which ldap_connect opens.
  const Row rows[] = {{120, 0x60}, {0, 0x63}, {5, 0x63}, {119, 0x63}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.timeout);
    FakeServer fake(FakeServer::Mode::kCloseAfterFirstRequest);
    ASSERT_NE(fake.port(), 0);
    LDAPSettings settings = FakeSettings(fake, row.timeout);
    CLDAPDirectory directory(&settings, kova_ + std::to_string(row.timeout));
    std::string text;
    EXPECT_FALSE(directory.Connect(&text));
    EXPECT_EQ(fake.first_operation(), row.first_operation);
  }
}

TEST_F(LDAPConnectTest, AServerThatNeverAnswersEndsWithTheTimeOut) {
  FakeServer fake(FakeServer::Mode::kNeverAnswer);
  ASSERT_NE(fake.port(), 0);
  LDAPSettings settings = FakeSettings(fake, 1);
  CLDAPDirectory directory(&settings, kova_);
  std::string text;
  EXPECT_FALSE(directory.Connect(&text));
  EXPECT_EQ(text, TextFor(LDAP_TIMEOUT));
  EXPECT_EQ(fake.accepted(), 1);
}

TEST_F(LDAPConnectTest, AFailedConnectResetsTheObjectWhichThenFailsWithoutTheServer) {
  ScriptPrompt({Confirm(SlapdServer::user_dn(), SlapdServer::user_password())});
  FakeServer fake(FakeServer::Mode::kCloseAfterFirstRequest);
  ASSERT_NE(fake.port(), 0);
  struct Row {
    const char* name;
    DWORD authentication;
    std::size_t prompts;
  };
  // The shared last error says the server was not reached, which is no reason to
  // ask for the credentials again.
  const Row rows[] = {{"anonymous", kLDAPAuthAnonymous, 0},
                      {"simple", kLDAPAuthSimple, 0}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const int accepted = fake.accepted();
    LDAPSettings settings = FakeSettings(fake, 5);
    settings.authentication = row.authentication;
    settings.userName = SlapdServer::user_dn();
    settings.password = SlapdServer::user_password();
    CLDAPDirectory directory(&settings, kova_ + row.name);
    std::string text;
    EXPECT_FALSE(directory.Connect(&text));
    EXPECT_EQ(fake.accepted(), accepted + 1);
    EXPECT_EQ(text.rfind("LDAP: ", 0), 0u) << text;
    const std::size_t boxes = BoxCount();
    const std::size_t prompts = Prompts().size();

    // Even with the server's address corrected the object stays unusable.
    settings.port = DWORD(server().port());
    EXPECT_FALSE(directory.Connect(&text));
    EXPECT_EQ(text, TextFor(LDAP_SERVER_DOWN));
    EXPECT_EQ(BoxCount(), boxes + 1);
    EXPECT_EQ(Prompts().size(), prompts + row.prompts);
    EXPECT_EQ(fake.accepted(), accepted + 1);
  }
}

TEST_F(LDAPConnectTest, ARefusedAnonymousBindStopsTheKova) {
  // The server refuses binds of protocol version 2.
  LDAPSettings settings = ServerSettings(kLDAPAuthAnonymous);
  settings.version = 2;
  CLDAPDirectory directory(&settings, kova_);
  std::string text;
  EXPECT_FALSE(directory.Connect(&text));
  EXPECT_EQ(text, TextFor(LDAP_PROTOCOL_ERROR));
  EXPECT_TRUE(CLDAPSharedInfo(kova_).IsCancelled());
  settings.version = 3;
  CLDAPDirectory fresh(&settings, kova_);
  EXPECT_FALSE(fresh.Connect(&text));
  EXPECT_EQ(BoxCount(), 1u);
}

TEST_F(LDAPConnectTest, ALogonBindNeverPromptsAndARefusalStopsTheKova) {
  ScriptPrompt({Confirm(SlapdServer::user_dn(), SlapdServer::user_password())});
  LDAPSettings settings = ServerSettings(kLDAPAuthNegotiate);
  CLDAPDirectory directory(&settings, kova_);
  std::string text;
  // This server offers no GSSAPI: the logon bind is refused, credentials cannot help.
  EXPECT_FALSE(directory.Connect(&text));
  EXPECT_EQ(text.rfind("LDAP: ", 0), 0u) << text;
  EXPECT_TRUE(Prompts().empty());
  EXPECT_TRUE(CLDAPSharedInfo(kova_).IsCancelled());
  EXPECT_EQ(BoxCount(), 1u);
}

}  // namespace
}  // namespace kova
