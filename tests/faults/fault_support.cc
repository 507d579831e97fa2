#include "tests/faults/fault_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>

#include "tests/test_util.h"

extern char** environ;

namespace kova::test {
namespace {

// A listening loopback socket on a free port; -1 when none could be made.
int ListenLoopback(int* port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(fd, 16) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

int ConnectLoopback(int port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

bool WriteAll(int fd, const unsigned char* bytes, size_t size) {
  while (size > 0) {
    ssize_t n = write(fd, bytes, size);
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

// A BER length at `bytes[*at]`; false when it is cut off or longer than 4 bytes.
bool BerLength(const unsigned char* bytes, size_t size, size_t* at, size_t* length) {
  if (*at >= size) return false;
  const unsigned char first = bytes[(*at)++];
  if ((first & 0x80) == 0) {
    *length = first;
    return true;
  }
  const int count = first & 0x7f;
  if (count == 0 || count > 4 || *at + count > size) return false;
  *length = 0;
  for (int i = 0; i < count; ++i) *length = (*length << 8) | bytes[(*at)++];
  return true;
}

// The whole size of the message that starts at `bytes`, or 0 when its header is
// cut off.
size_t LdapMessageSize(const unsigned char* bytes, size_t size) {
  size_t at = 1;
  size_t length = 0;
  if (size == 0 || bytes[0] != 0x30 || !BerLength(bytes, size, &at, &length)) return 0;
  return at + length;
}

}  // namespace

int LdapOperationTag(const unsigned char* bytes, size_t size) {
  // SEQUENCE { messageID INTEGER, protocolOp CHOICE ... }
  size_t at = 1;
  size_t length = 0;
  if (size < 2 || bytes[0] != 0x30 || !BerLength(bytes, size, &at, &length)) return -1;
  if (at >= size || bytes[at++] != 0x02) return -1;
  if (!BerLength(bytes, size, &at, &length) || at + length >= size) return -1;
  return bytes[at + length];
}

SilentListener::SilentListener() { fd_ = ListenLoopback(&port_); }

SilentListener::~SilentListener() {
  if (fd_ >= 0) close(fd_);
}

LdapTripwire::LdapTripwire(int target_port, int trigger_tag,
                           std::function<void()> on_trigger)
    : target_port_(target_port),
      trigger_tag_(trigger_tag),
      on_trigger_(std::move(on_trigger)) {
  listen_fd_ = ListenLoopback(&port_);
  if (listen_fd_ < 0 || pipe2(wake_, O_CLOEXEC) != 0) {
    port_ = 0;
    return;
  }
  thread_ = std::thread([this] { Serve(); });
}

LdapTripwire::~LdapTripwire() {
  if (thread_.joinable()) {
    const char stop = 0;
    (void)!write(wake_[1], &stop, 1);
    thread_.join();
  }
  for (int fd : {listen_fd_, wake_[0], wake_[1]})
    if (fd >= 0) close(fd);
}

void LdapTripwire::Serve() {
  // One relayed connection: the client's socket, the server's, and how much of
  // the current client request is still to come.
  struct Relay {
    int client;
    int server;
    size_t rest_of_request = 0;
  };
  std::vector<Relay> relays;
  auto close_relay = [&](size_t i) {
    close(relays[i].client);
    close(relays[i].server);
    relays.erase(relays.begin() + static_cast<std::ptrdiff_t>(i));
  };
  unsigned char buffer[65536];
  for (;;) {
    std::vector<pollfd> fds = {{wake_[0], POLLIN, 0}, {listen_fd_, POLLIN, 0}};
    for (const Relay& relay : relays) {
      fds.push_back({relay.client, POLLIN, 0});
      fds.push_back({relay.server, POLLIN, 0});
    }
    if (poll(fds.data(), fds.size(), -1) < 0) continue;
    if (fds[0].revents != 0) break;
    if (fds[1].revents & POLLIN) {
      int client = accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (client >= 0) {
        int server = ConnectLoopback(target_port_);
        if (server < 0) {
          close(client);
        } else {
          relays.push_back({client, server});
        }
      }
    }
    // Walk backwards so that closing a relay leaves the earlier indices valid.
    for (size_t i = (fds.size() - 2) / 2; i-- > 0;) {
      const pollfd& from_client = fds[2 + 2 * i];
      const pollfd& from_server = fds[3 + 2 * i];
      Relay& relay = relays[i];
      if (from_server.revents != 0) {
        ssize_t n = read(relay.server, buffer, sizeof buffer);
        if (n <= 0 || !WriteAll(relay.client, buffer, static_cast<size_t>(n))) {
          close_relay(i);
          continue;
        }
      }
      if (from_client.revents == 0) continue;
      ssize_t n = read(relay.client, buffer, sizeof buffer);
      if (n <= 0) {
        close_relay(i);
        continue;
      }
      bool trip = false;
      size_t at = 0;
      const size_t size = static_cast<size_t>(n);
      while (at < size) {
        if (relay.rest_of_request > 0) {
          const size_t step = std::min(relay.rest_of_request, size - at);
          relay.rest_of_request -= step;
          at += step;
          continue;
        }
        if (!triggered_ && LdapOperationTag(buffer + at, size - at) == trigger_tag_)
          trip = true;
        const size_t whole = LdapMessageSize(buffer + at, size - at);
        if (whole == 0) break;
        relay.rest_of_request = whole;
      }
      if (trip) {
        triggered_ = true;
        on_trigger_();
        close_relay(i);
        continue;
      }
      if (!WriteAll(relay.server, buffer, size)) close_relay(i);
    }
  }
  while (!relays.empty()) close_relay(relays.size() - 1);
}

ChildProcess::ChildProcess(const std::string& program,
                           const std::vector<std::string>& args) {
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return;
  std::vector<std::string> text = {BinDir() + "/" + program};
  text.insert(text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : text) argv.push_back(arg.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  out_ = out[0];
}

ChildProcess::~ChildProcess() {
  Kill();
  if (out_ >= 0) close(out_);
}

std::string ChildProcess::ReadLine() {
  for (;;) {
    const size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return line;
    }
    char buffer[256];
    ssize_t n = out_ >= 0 ? read(out_, buffer, sizeof buffer) : 0;
    if (n <= 0) {
      std::string rest;
      rest.swap(pending_);
      return rest;
    }
    pending_.append(buffer, static_cast<size_t>(n));
  }
}

bool ChildProcess::Kill() {
  if (pid_ <= 0) return false;
  kill(pid_, SIGKILL);
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

int FileMode(const std::string& os_path) {
  struct stat st;
  if (lstat(os_path.c_str(), &st) != 0) return -1;
  return static_cast<int>(st.st_mode & 07777);
}

}  // namespace kova::test
