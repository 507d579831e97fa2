// The LDAP information block of one Kova: credentials, the last LDAP error and the
// cancelled flag, shared through named memory by every process of the user that
// works with that Kova.
#ifndef KOVA_LDAP_LDAP_SHARED_INFO_H_
#define KOVA_LDAP_LDAP_SHARED_INFO_H_

#include <cstddef>
#include <string>

#include "windows.h"

namespace kova {

// Block name; "%s" is the Kova's registry key name (empty without an owning Kova).
constexpr char kLDAPInfoBlockFormat[] = "Corvanta - Kova - LDAP Info - %s";

// Layout of the block: zero-terminated texts, then two 32-bit fields.
constexpr std::size_t kLDAPInfoTextSize = 260;
constexpr std::size_t kLDAPInfoUserNameOffset = 0;
constexpr std::size_t kLDAPInfoPasswordOffset = 260;
constexpr std::size_t kLDAPInfoLastErrorOffset = 520;
constexpr std::size_t kLDAPInfoCancelledOffset = 524;
constexpr DWORD kLDAPInfoBlockSize = 528;

// The accessor one LDAP back-end object holds. The block is opened (created
// zero-filled when no process holds it) on the first access and kept until the
// accessor is destroyed; the block itself lives as long as any process holds
// it. When it cannot be opened, reads give the empty text or 0 and writes do
// nothing; the next access tries again. The block is not locked: each field is
// read and written whole, and readers take what they find. Texts are cut to 259
// characters on write, and a text that another process left unterminated reads
// as its first 259 characters. Used by one thread at a time.
class CLDAPSharedInfo {
 public:
  explicit CLDAPSharedInfo(const std::string& kovaName);
  CLDAPSharedInfo(const CLDAPSharedInfo&) = delete;
  CLDAPSharedInfo& operator=(const CLDAPSharedInfo&) = delete;
  ~CLDAPSharedInfo();

  // Makes sure the block is open; FALSE when it cannot be.
  BOOL Open();

  std::string GetUserName();
  void SetUserName(const std::string& userName);
  std::string GetPassword();
  void SetPassword(const std::string& password);
  // The LDAP result code of the last error reported with the show flag.
  ULONG GetLastLDAPError();
  void SetLastLDAPError(ULONG code);
  BOOL IsCancelled();
  void SetCancelled(BOOL cancelled);

  const std::string& name() const { return name_; }

 private:
  [[nodiscard]] std::string ReadText(std::size_t offset);
  void WriteText(std::size_t offset, const std::string& text);
  [[nodiscard]] ULONG ReadValue(std::size_t offset);
  void WriteValue(std::size_t offset, ULONG value);
  void Close();

  HANDLE mapping_ = nullptr;
  unsigned char* view_ = nullptr;
  std::string name_;
};

}  // namespace kova

#endif  // KOVA_LDAP_LDAP_SHARED_INFO_H_
