// The terminal side of the prompt. An external component, so it uses POSIX
// directly, as the platform's own areas do.
#include "terminal_prompt.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace kova::prompt {

namespace {

// Longer answers are cut; the storage keeps at most 259 characters anyway.
constexpr std::size_t kMaxAnswer = 1024;

class Terminal {
 public:
  Terminal() : fd_(open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC)) {}
  ~Terminal() {
    if (fd_ >= 0) close(fd_);
  }
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  void Write(const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(fd_, text.data() + done, text.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return;
      done += std::size_t(n);
    }
  }

  // One line without its end; false at end of input before a line end.
  bool ReadLine(std::string* line) {
    line->clear();
    for (;;) {
      char c;
      const ssize_t n = read(fd_, &c, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      if (c == '\n') break;
      if (c != '\r' && line->size() < kMaxAnswer) line->push_back(c);
    }
    return true;
  }

 private:
  int fd_;
};

// Echo off for the life of the object (answers typed ahead are kept); the
// terminal's settings are restored on every path out.
class NoEcho {
 public:
  explicit NoEcho(int fd) : fd_(fd) {
    if (tcgetattr(fd_, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~tcflag_t(ECHO);
    quiet.c_lflag |= ECHONL;
    active_ = tcsetattr(fd_, TCSADRAIN, &quiet) == 0;
  }
  ~NoEcho() {
    if (active_) tcsetattr(fd_, TCSADRAIN, &saved_);
  }
  NoEcho(const NoEcho&) = delete;
  NoEcho& operator=(const NoEcho&) = delete;

 private:
  int fd_;
  termios saved_{};
  bool active_ = false;
};

}  // namespace

bool AskOnTerminal(const std::string& host, std::string* userName,
                   std::string* password) {
  Terminal tty;
  if (!tty.ok()) return false;
  tty.Write("Credentials for the directory server " +
            (host.empty() ? "(default)" : host) + "\n");
  tty.Write(userName->empty() ? std::string("User name: ")
                              : "User name [" + *userName + "]: ");
  std::string user;
  if (!tty.ReadLine(&user)) return false;
  if (user.empty()) user = *userName;

  tty.Write(password->empty() ? "Password: " : "Password (Enter keeps the one given): ");
  std::string secret;
  {
    NoEcho quiet(tty.fd());
    if (!tty.ReadLine(&secret)) return false;
  }
  if (secret.empty()) secret = *password;
  *userName = user;
  *password = secret;
  return true;
}

}  // namespace kova::prompt
