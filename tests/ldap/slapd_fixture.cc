#include "tests/ldap/slapd_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace kova::test {
namespace {

// libldap in this process and the tools it starts must not pick up the machine's
// or the user's client configuration.
[[maybe_unused]] const bool kClientConfigIgnored = [] {
  setenv("LDAPNOINIT", "1", 1);
  return true;
}();

constexpr const char* kSlapd = "/usr/sbin/slapd";
constexpr int kPortAttempts = 8;
constexpr auto kReadyTimeout = std::chrono::seconds(10);

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

std::string Fill(std::string text,
                 const std::vector<std::pair<std::string, std::string>>& fields) {
  for (const auto& [name, value] : fields) {
    const std::string key = "@" + name + "@";
    for (size_t at = text.find(key); at != std::string::npos;
         at = text.find(key, at + value.size()))
      text.replace(at, key.size(), value);
  }
  return text;
}

// A loopback port that is free now (another process may still take it first: a
// taken port makes slapd exit 1 and the next one is tried).
int FreeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return 0;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  int port = 0;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
    port = ntohs(addr.sin_port);
  close(fd);
  return port;
}

std::string EncodePath(const std::string& path) {
  std::string out;
  for (char c : path) {
    if (c == '/')
      out += "%2F";
    else
      out.push_back(c);
  }
  return out;
}

}  // namespace

SlapdServer::~SlapdServer() { Stop(); }

std::string SlapdServer::uri() const {
  return "ldap://" + host_ + ":" + std::to_string(port_);
}

bool SlapdServer::Start(std::string* error) {
  if (access(kSlapd, X_OK) != 0) {
    *error = std::string(kSlapd) + " is missing: install slapd and ldap-utils";
    return false;
  }
  // The ldapi socket path must stay below 108 bytes: a short folder under /tmp.
  char pattern[] = "/tmp/kslapd-XXXXXX";
  if (mkdtemp(pattern) == nullptr) {
    *error = "cannot create the run folder";
    return false;
  }
  run_dir_ = pattern;
  std::filesystem::create_directories(run_dir_ + "/db");
  ldapi_uri_ = "ldapi://" + EncodePath(run_dir_ + "/ldapi");
  const std::string dir = KOVA_SLAPD_FIXTURE_DIR;
  const std::vector<std::pair<std::string, std::string>> fields = {
      {"SCHEMA", dir + "/kova.schema"},
      {"RUN_DIR", run_dir_},
      {"BASE_DN", base_dn()},
      {"ROOT_DN", root_dn()},
      {"ROOT_PASSWORD", root_password()},
      {"USER_DN", user_dn()},
      {"USER_PASSWORD", user_password()},
      {"EXTRA_GLOBAL", extra_global_},
      {"EXTRA_DATABASE", extra_database_}};
  std::ofstream(run_dir_ + "/slapd.conf")
      << Fill(ReadText(dir + "/slapd.conf.in"), fields);

  for (int attempt = 0; attempt < kPortAttempts; ++attempt) {
    bool port_taken = false;
    int port = FreeLoopbackPort();
    if (port == 0) continue;
    if (StartOnce(port, &port_taken, error)) {
      port_ = port;
      if (!load_base_entries_) return true;
      return Add(Fill(ReadText(dir + "/base.ldif.in"), fields), error);
    }
    if (!port_taken) return false;
  }
  *error = "no free port for slapd after several attempts";
  return false;
}

bool SlapdServer::StartOnce(int port, bool* port_taken, std::string* error) {
  const std::string urls =
      "ldap://" + host_ + ":" + std::to_string(port) + "/ " + ldapi_uri_;
  const std::string conf = run_dir_ + "/slapd.conf";
  std::vector<std::string> args = {kSlapd, "-d", "none", "-h", urls, "-f", conf};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, (run_dir_ + "/slapd.log").c_str(),
                                   O_WRONLY | O_CREAT | O_APPEND, 0600);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  int rc = posix_spawn(&pid_, kSlapd, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    *error = "cannot start slapd";
    return false;
  }
  return WaitReady(port_taken, error);
}

// Ready when an anonymous search of the root entry answers on the private socket;
// an exit before that (status 1 for a taken port) ends the wait.
bool SlapdServer::WaitReady(bool* port_taken, std::string* error) {
  const auto deadline = std::chrono::steady_clock::now() + kReadyTimeout;
  while (std::chrono::steady_clock::now() < deadline) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      *port_taken = WIFEXITED(status) && WEXITSTATUS(status) == 1;
      *error = "slapd exited during start-up: " + ReadText(run_dir_ + "/slapd.log");
      return false;
    }
    RunResult probe = RunProgram("/usr/bin/ldapsearch",
                                 {"-H", ldapi_uri_, "-x", "-s", "base", "-b", "", "1.1"});
    if (probe.exit_code == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  *error = "slapd did not answer within the start-up time";
  Stop();
  return false;
}

void SlapdServer::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (waitpid(pid_, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid_, SIGKILL);
        waitpid(pid_, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
  }
  if (!run_dir_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(run_dir_, ec);
    run_dir_.clear();
  }
}

void SlapdServer::Kill() {
  if (pid_ <= 0) return;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

bool SlapdServer::Restart(std::string* error) {
  if (pid_ > 0 || run_dir_.empty() || port_ == 0) {
    *error = "only a server that was started and killed can be restarted";
    return false;
  }
  bool port_taken = false;
  return StartOnce(port_, &port_taken, error);
}

RunResult SlapdServer::RunTool(const std::string& tool,
                               const std::vector<std::string>& args,
                               const std::string& stdin_text) const {
  std::vector<std::string> all = {"-H",      ldapi_uri_, "-x",           "-D",
                                  root_dn(), "-w",       root_password()};
  all.insert(all.end(), args.begin(), args.end());
  return RunProgram("/usr/bin/" + tool, all, {}, stdin_text);
}

bool SlapdServer::Add(const std::string& ldif, std::string* error) const {
  RunResult r = RunTool("ldapadd", {}, ldif);
  if (r.exit_code == 0) return true;
  *error = "ldapadd failed (" + std::to_string(r.exit_code) + "): " + r.err;
  return false;
}

std::unique_ptr<SlapdServer> SlapdTest::server_;
std::string SlapdTest::start_error_;

void SlapdTest::SetUpTestSuite() {
  server_ = std::make_unique<SlapdServer>();
  start_error_.clear();
  if (!server_->Start(&start_error_) && start_error_.empty()) start_error_ = "unknown";
}

void SlapdTest::TearDownTestSuite() { server_.reset(); }

void SlapdTest::SetUp() {
  ASSERT_TRUE(start_error_.empty())
      << "the private slapd did not start: " << start_error_;
}

}  // namespace kova::test
