#include "tests/test_util.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "errhandlingapi.h"

extern char** environ;

namespace kova::test {

TempDir::TempDir() {
  const char* tmp = std::getenv("TMPDIR");
  std::string base = (tmp && *tmp) ? tmp : "/tmp";
  std::string pattern = base + "/kova-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (mkdtemp(buffer.data()) == nullptr) {
    ADD_FAILURE() << "mkdtemp failed: " << std::strerror(errno);
    return;
  }
  os_path_ = buffer.data();
}

TempDir::~TempDir() {
  if (os_path_.empty()) return;
  std::error_code ec;
  // Read-only entries left by a test must not keep the folder alive.
  for (auto it = std::filesystem::recursive_directory_iterator(os_path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
  }
  std::filesystem::remove_all(os_path_, ec);
}

static std::string ToWin(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string TempDir::win_path() const { return ToWin(os_path_); }
std::string TempDir::OsPath(const std::string& relative) const {
  return os_path_ + "/" + relative;
}
std::string TempDir::WinPath(const std::string& relative) const {
  return ToWin(OsPath(relative));
}

ScopedEnv::ScopedEnv(const std::string& name, const std::optional<std::string>& value)
    : name_(name) {
  if (const char* old = std::getenv(name.c_str())) old_ = old;
  if (value)
    setenv(name.c_str(), value->c_str(), 1);
  else
    unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (old_)
    setenv(name_.c_str(), old_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

IsolatedTest::IsolatedTest() {
  for (const char* sub : {"registry", "tmp", "windows", "home", "home/.config"})
    std::filesystem::create_directories(root_.OsPath(sub));
  auto set = [this](const char* name, const std::string& value) {
    env_.push_back(std::make_unique<ScopedEnv>(name, value));
  };
  set("KOVA_REGISTRY_DIR", registry_dir());
  set("TMPDIR", temp_dir());
  set("HOME", root_.OsPath("home"));
  set("XDG_CONFIG_HOME", root_.OsPath("home/.config"));
  set("KOVA_WINDOWS_DIR", windows_dir());
  set("KOVA_MESSAGEBOX_LOG", root_.OsPath("messageboxes.jsonl"));
}

IsolatedTest::~IsolatedTest() = default;

std::vector<std::string> IsolatedTest::MessageBoxLines() const {
  std::vector<std::string> lines;
  std::ifstream in(root_.OsPath("messageboxes.jsonl"));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string ReadFileBytes(const std::string& os_path) {
  std::ifstream in(os_path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFileBytes(const std::string& os_path, const std::string& bytes) {
  const std::filesystem::path path(os_path);
  std::error_code ignored;
  if (path.has_parent_path())
    std::filesystem::create_directories(path.parent_path(), ignored);
  std::ofstream out(os_path, std::ios::binary | std::ios::trunc);
  out << bytes;
  out.close();
  if (!out) ADD_FAILURE() << "cannot write " << os_path;
}

std::string Base64(const std::string& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 |
                       (unsigned char)bytes[i + 2];
    for (int shift : {18, 12, 6, 0}) out += kDigits[(v >> shift) & 63];
  }
  if (i < bytes.size()) {
    unsigned v = (unsigned char)bytes[i] << 16;
    if (i + 1 < bytes.size()) v |= (unsigned char)bytes[i + 1] << 8;
    out += kDigits[(v >> 18) & 63];
    out += kDigits[(v >> 12) & 63];
    out += i + 1 < bytes.size() ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool PathExists(const std::string& os_path) {
  struct stat st;
  return lstat(os_path.c_str(), &st) == 0;
}

std::string BuildDir() {
  if (const char* dir = std::getenv("KOVA_BUILD_DIR"); dir && *dir) return dir;
  return KOVA_BINARY_DIR;
}
std::string BinDir() { return BuildDir() + "/bin"; }
std::string LibDir() { return BuildDir() + "/lib"; }

RunResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                     const std::map<std::string, std::string>& extra_env,
                     const std::string& stdin_text) {
  RunResult result;
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0 || pipe(err_pipe) != 0) return result;

  std::string path =
      program.find('/') == std::string::npos ? BinDir() + "/" + program : program;
  std::vector<std::string> argv_text{path};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : argv_text) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::map<std::string, std::string> env;
  for (char** e = environ; *e; ++e) {
    std::string entry(*e);
    auto eq = entry.find('=');
    if (eq != std::string::npos) env[entry.substr(0, eq)] = entry.substr(eq + 1);
  }
  for (const auto& [k, v] : extra_env) env[k] = v;
  std::vector<std::string> env_text;
  for (const auto& [k, v] : env) env_text.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out_pipe[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err_pipe[1], 2);
  for (int fd :
       {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  pid_t pid;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (rc != 0) {
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(err_pipe[0]);
    result.err = std::string("spawn failed: ") + std::strerror(rc);
    return result;
  }
  // Feed standard input and drain both outputs together, so that no pipe fills up.
  size_t written = 0;
  if (stdin_text.empty()) {
    close(in_pipe[1]);
    in_pipe[1] = -1;
  } else {
    fcntl(in_pipe[1], F_SETFL, O_NONBLOCK);
  }
  bool out_open = true, err_open = true;
  char buffer[4096];
  while (out_open || err_open) {
    pollfd fds[3] = {
        {out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}, {in_pipe[1], POLLOUT, 0}};
    if (!out_open) fds[0].fd = -1;
    if (!err_open) fds[1].fd = -1;
    if (poll(fds, 3, -1) < 0 && errno != EINTR) break;
    if (in_pipe[1] >= 0 && (fds[2].revents & (POLLOUT | POLLERR | POLLHUP))) {
      ssize_t n =
          write(in_pipe[1], stdin_text.data() + written, stdin_text.size() - written);
      if (n > 0) written += n;
      if (n < 0 || written == stdin_text.size()) {
        close(in_pipe[1]);
        in_pipe[1] = -1;
      }
    }
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer, n);
      } else {
        (i == 0 ? out_open : err_open) = false;
      }
    }
  }
  if (in_pipe[1] >= 0) close(in_pipe[1]);
  close(out_pipe[0]);
  close(err_pipe[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace kova::test
