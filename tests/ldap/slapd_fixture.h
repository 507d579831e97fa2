// A private OpenLDAP server for the directory tests: slapd started as a child
// process on a free loopback port with the project's schema (tests/ldap/kova.schema)
// and the base entries, stopped by its process id.
//
// The server listens on ldap://127.0.0.1:PORT/ and on a private ldapi socket in a
// short run folder under /tmp; the tools (ldapsearch, ldapadd) talk to it through
// the socket as the root DN. A test that needs it fails when it cannot start: LDAP
// tests are left out only by configuring with -DKOVA_LDAP_TESTS=OFF.
#ifndef KOVA_TESTS_LDAP_SLAPD_FIXTURE_H_
#define KOVA_TESTS_LDAP_SLAPD_FIXTURE_H_

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace kova::test {

class SlapdServer {
 public:
  SlapdServer() = default;
  ~SlapdServer();
  SlapdServer(const SlapdServer&) = delete;
  SlapdServer& operator=(const SlapdServer&) = delete;

  // Starts the server and loads the base entries; on failure *error says why.
  [[nodiscard]] bool Start(std::string* error);
  // SIGTERM and wait; removes the run folder. Also done by the destructor.
  void Stop();
  // SIGKILL and wait, as a crash would end it; the run folder and its database stay.
  void Kill();
  // Starts a server that was killed again on the same port with the same database.
  [[nodiscard]] bool Restart(std::string* error);
  bool running() const { return pid_ > 0; }

  // Set before Start: extra slapd.conf lines for the global part (modules,
  // limits) and for the end of the main database's section (overlays, limits,
  // replication); a replica takes its base entries from its provider instead of
  // loading them.
  void SetExtraConfig(const std::string& global, const std::string& database) {
    extra_global_ = global;
    extra_database_ = database;
  }
  void SetLoadBaseEntries(bool load) { load_base_entries_ = load; }

  const std::string& host() const { return host_; }
  int port() const { return port_; }
  // "ldap://127.0.0.1:PORT" and the private socket's URI.
  std::string uri() const;
  const std::string& ldapi_uri() const { return ldapi_uri_; }
  const std::string& run_dir() const { return run_dir_; }

  static const char* base_dn() { return "dc=kova,dc=test"; }
  static const char* root_dn() { return "cn=admin,dc=kova,dc=test"; }
  static const char* root_password() { return "root-secret"; }
  // An ordinary entry that may write below the base.
  static const char* user_dn() { return "cn=writer,dc=kova,dc=test"; }
  static const char* user_password() { return "writer-secret"; }

  // Runs an ldap-utils program (by name, from the system path) against the socket,
  // bound as the root DN: "-H ldapi://... -x -D root -w password" come first.
  RunResult RunTool(const std::string& tool, const std::vector<std::string>& args,
                    const std::string& stdin_text = "") const;
  // ldapadd / ldapmodify with LDIF text.
  [[nodiscard]] bool Add(const std::string& ldif, std::string* error) const;

 private:
  [[nodiscard]] bool StartOnce(int port, bool* port_taken, std::string* error);
  [[nodiscard]] bool WaitReady(bool* port_taken, std::string* error);

  std::string host_ = "127.0.0.1";
  int port_ = 0;
  std::string run_dir_;
  std::string ldapi_uri_;
  pid_t pid_ = -1;
  std::string extra_global_;
  std::string extra_database_;
  bool load_base_entries_ = true;
};

// A test suite sharing one server: started before the first test, stopped after
// the last. A server that cannot start fails every test of the suite.
class SlapdTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  static void TearDownTestSuite();
  void SetUp() override;

  static SlapdServer& server() { return *server_; }

 private:
  static std::unique_ptr<SlapdServer> server_;
  static std::string start_error_;
};

}  // namespace kova::test

#endif  // KOVA_TESTS_LDAP_SLAPD_FIXTURE_H_
