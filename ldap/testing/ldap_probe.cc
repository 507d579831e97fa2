// A second process for the LDAP tests. Modes:
//   ldap_probe load
//     binds the client library; prints "loaded=<0|1>", then, through a directory
//     object, "connect=<0|1>" and "text=<error text>" of an anonymous Connect to
//     an unused local port.
//   ldap_probe connect KOVA HOST PORT AUTH TIMEOUT USER PASSWORD
//     one directory object with those settings; prints "connect=<0|1>",
//     "text=<error text>" and "user=<user name afterwards>".
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ldap/ldap_api.h"
#include "ldap/ldap_directory.h"
#include "objbase.h"

namespace {

int Load() {
  kova::LDAPApi api;
  std::printf("loaded=%d\n", api.Load() ? 1 : 0);
  kova::LDAPSettings settings;
  settings.host = "127.0.0.1";
  settings.port = 9;
  settings.authentication = kova::kLDAPAuthAnonymous;
  kova::CLDAPDirectory directory(&settings, "probe-load");
  std::string text;
  const BOOL connected = directory.Connect(&text);
  std::printf("connect=%d\ntext=%s\n", connected ? 1 : 0, text.c_str());
  return 0;
}

int Connect(char** argv) {
  kova::LDAPSettings settings;
  settings.host = argv[3];
  settings.port = DWORD(std::strtoul(argv[4], nullptr, 10));
  settings.authentication = DWORD(std::strtoul(argv[5], nullptr, 10));
  settings.connectTimeout = DWORD(std::strtoul(argv[6], nullptr, 10));
  settings.userName = argv[7];
  settings.password = argv[8];
  kova::CLDAPDirectory directory(&settings, argv[2]);
  std::string text;
  const BOOL connected = directory.Connect(&text);
  std::printf("connect=%d\ntext=%s\nuser=%s\n", connected ? 1 : 0, text.c_str(),
              directory.GetUserName().c_str());
  directory.Disconnect();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (CoInitialize(nullptr) < 0) return 3;
  const std::string mode = argc > 1 ? argv[1] : "";
  int status = 2;
  if (mode == "load") status = Load();
  if (mode == "connect" && argc == 9) status = Connect(argv);
  CoUninitialize();
  return status;
}
