// The connection and naming settings of one LDAP storage path.
#ifndef KOVA_LDAP_LDAP_SETTINGS_H_
#define KOVA_LDAP_LDAP_SETTINGS_H_

#include <string>

#include "windows.h"

namespace kova {

// Authentication kinds of "Authentication%d".
constexpr DWORD kLDAPAuthAnonymous = 0;
constexpr DWORD kLDAPAuthSimple = 1;
constexpr DWORD kLDAPAuthNegotiate = 2;

// A connect time-out of this many seconds means "let the bind connect".
constexpr DWORD kLDAPDefaultConnectTimeout = 120;

// What a Kova path of the LDAP type stores besides its base DN. The model reads
// it from the registry and owns it; the LDAP back end works on it, and a user
// name or password that a prompt confirms replaces the value here, in memory
// only. Empty naming settings stand for their defaults, which the back end
// works out on each use.
struct LDAPSettings {
  std::string host;
  std::string userName;
  std::string password;
  DWORD port = 389;
  DWORD authentication = kLDAPAuthSimple;
  DWORD version = 3;
  DWORD connectTimeout = kLDAPDefaultConnectTimeout;
  std::string fileAttributeName;
  std::string fileObjectClass;
  std::string folderAttributeName;
  std::string folderObjectClass;
  std::string fileContentsAttributeName;
};

}  // namespace kova

#endif  // KOVA_LDAP_LDAP_SETTINGS_H_
