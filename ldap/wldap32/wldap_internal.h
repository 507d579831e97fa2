// What the entry points of the library share: the objects behind the platform's
// handles, the last-error bookkeeping, caller-owned allocations and conversions to
// the OpenLDAP seam.
#ifndef KOVA_LDAP_WLDAP32_WLDAP_INTERNAL_H_
#define KOVA_LDAP_WLDAP32_WLDAP_INTERNAL_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ldap/wldap32/openldap_client.h"
#include "ldap/wldap32/winldap.h"

namespace kova::wldap {

// The session behind an LDAP*: the published structure first, so that the handle
// the caller holds is the address of the whole object.
struct SessionState {
  ol::Session* raw = nullptr;
  std::string host_text;  // what ld_host shows
  std::vector<std::string> hosts;
  ULONG port = LDAP_PORT;
  bool secure = false;
  bool tls_started = false;
  std::string error_text;  // the text LDAP_OPT_ERROR_STRING hands out
};
struct SessionBox {
  LDAP pub;
  std::uint32_t magic;
  SessionState* state;
};

// One message of a result. A result chain owns its messages; the head is what
// ldap_msgfree accepts.
struct ResultChain;
struct MessageBox {
  LDAPMessage pub;
  std::uint32_t magic;
  ResultChain* chain;
  ol::Message* raw;
};
struct ResultChain {
  ol::Message* raw_head = nullptr;
  std::vector<std::unique_ptr<MessageBox>> messages;
  ~ResultChain();
};

// The attribute cursor: the attribute names of one entry and the next to hand out.
struct CursorState {
  std::vector<std::string> names;
  size_t next = 0;
};
struct CursorBox {
  BerElement pub;
  std::uint32_t magic;
  CursorState* state;
};

// The objects behind the handles, or null for a null or foreign pointer.
SessionBox* ToSession(LDAP* ld);
MessageBox* ToMessage(LDAPMessage* message);
CursorBox* ToCursor(BerElement* cursor);
SessionBox* NewSession(ol::Session* raw);
void DestroySession(SessionBox* session);
CursorBox* NewCursor(std::vector<std::string> names);
void DestroyCursor(CursorBox* cursor);

// Records `code` for LdapGetLastError (and ld_errno when a session is given) and
// returns it. Finish records ld_errno always and the thread's last error only for a
// failure; the compare results are not failures.
ULONG Fail(SessionBox* session, ULONG code);
ULONG Finish(SessionBox* session, ULONG code);
void SetLastLdapError(ULONG code);
// Failure of a call that returns a message number.
constexpr ULONG kNoMessage = static_cast<ULONG>(-1);

// Runs an entry point's body; an exception (allocation failure) becomes
// LDAP_NO_MEMORY and `on_error`. A server that closed its connection cannot end
// the process with SIGPIPE while the body writes to it.
template <typename R, typename F>
R Guarded(R on_error, F&& body) noexcept {
  const ol::SigpipeSuppressor no_sigpipe;
  try {
    return body();
  } catch (...) {
    SetLastLdapError(LDAP_NO_MEMORY);
    return on_error;
  }
}

// Caller-owned allocations, all released with free() (ldap_memfreeA,
// ldap_value_freeA, ldap_value_free_len): one block per string or array.
char* CopyString(std::string_view text);
char** MakeStringArray(const std::vector<std::string>& items);
berval** MakeBervalArray(const std::vector<std::string>& items);

// Conversions of the caller's arguments.
[[nodiscard]] bool ToControls(PLDAPControlA* controls, ol::Controls* out);
[[nodiscard]] bool ToMods(LDAPModA* mods[], std::vector<ol::Mod>* out);
// Null for "no time-out"; a negative or out-of-range value is refused.
[[nodiscard]] bool ToTimeout(const l_timeval* timeout, std::optional<ol::Timeout>* out);
std::optional<std::vector<std::string>> ToAttributeList(char** attrs);

// Waits for the complete result of `msgid`, wraps it for the caller (*res, null on
// failure) and returns its result code. A time-out abandons the request.
ULONG AwaitResult(SessionBox* session, int msgid, const std::optional<ol::Timeout>& t,
                  LDAPMessage** res);
// The same for requests whose result the caller never sees.
ULONG AwaitCompletion(SessionBox* session, int send_code, int msgid);
// Wraps an OpenLDAP chain; null for null.
LDAPMessage* WrapChain(SessionBox* session, ol::Message* raw);
// The result code carried by the chain of `message` (its final result message).
ULONG ChainResultCode(MessageBox* message);

// RFC 4515 syntax check of a search filter.
[[nodiscard]] bool IsValidFilter(std::string_view filter);

}  // namespace kova::wldap

#endif  // KOVA_LDAP_WLDAP32_WLDAP_INTERNAL_H_
