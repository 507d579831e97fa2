// What the fault tests share: network stand-ins that misbehave on purpose, and
// client processes that can be killed.
#ifndef KOVA_TESTS_FAULTS_FAULT_SUPPORT_H_
#define KOVA_TESTS_FAULTS_FAULT_SUPPORT_H_

#include <sys/types.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kova::test {

// A loopback listener that lets the kernel complete every connection and never
// reads or answers: a server that hangs.
class SilentListener {
 public:
  SilentListener();
  ~SilentListener();
  SilentListener(const SilentListener&) = delete;
  SilentListener& operator=(const SilentListener&) = delete;
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

// A loopback TCP relay to `target_port` that watches the LDAP requests going
// through. When a request with the protocol-operation tag `trigger_tag` arrives
// (0x66 modify, 0x68 add), `on_trigger` runs, the request is dropped and the
// client's connection closed, as if the server had died on receiving it. Only
// the first such request triggers; later ones pass.
class LdapTripwire {
 public:
  LdapTripwire(int target_port, int trigger_tag, std::function<void()> on_trigger);
  ~LdapTripwire();
  LdapTripwire(const LdapTripwire&) = delete;
  LdapTripwire& operator=(const LdapTripwire&) = delete;
  int port() const { return port_; }
  bool triggered() const { return triggered_; }

 private:
  void Serve();

  int target_port_;
  int trigger_tag_;
  std::function<void()> on_trigger_;
  int listen_fd_ = -1;
  int wake_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<bool> triggered_{false};
  std::thread thread_;
};

// The protocol-operation tag of the LDAP message at the start of `bytes`, or -1.
int LdapOperationTag(const unsigned char* bytes, size_t size);

// A program of bin/ started in the background, its standard output readable line
// by line; killed and reaped on destruction.
class ChildProcess {
 public:
  ChildProcess(const std::string& program, const std::vector<std::string>& args);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  bool started() const { return pid_ > 0; }
  // The next line of output without its line end; empty at the end of output.
  std::string ReadLine();
  // SIGKILL and wait; true when the signal ended it.
  bool Kill();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
};

// The permission bits of a file, or -1 when it cannot be examined.
int FileMode(const std::string& os_path);

}  // namespace kova::test

#endif  // KOVA_TESTS_FAULTS_FAULT_SUPPORT_H_
