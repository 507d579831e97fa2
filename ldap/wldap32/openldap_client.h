// The one seam to OpenLDAP's libldap. Only openldap_client.cc includes <ldap.h>:
// OpenLDAP and the platform header use the same type names (struct ldap, berval,
// ldapmsg, ...) and several of the same function names, so the rest of the library
// sees OpenLDAP only through these opaque types and copies.
//
// Every function returns a result code already in the platform's numbering
// (OpenLDAP's negative client codes become LDAP_SERVER_DOWN 0x51 and onwards), except
// where noted.
#ifndef KOVA_LDAP_WLDAP32_OPENLDAP_CLIENT_H_
#define KOVA_LDAP_WLDAP32_OPENLDAP_CLIENT_H_

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kova::wldap::ol {

struct Session;  // an OpenLDAP session
struct Message;  // one message of an OpenLDAP result chain

// libldap writes to its sockets with plain write(): a server that has closed the
// connection (died, or dropped a request it found too large) raises SIGPIPE, whose
// default action ends the whole client process. While one of these is alive the
// calling thread blocks SIGPIPE, and a SIGPIPE raised meanwhile is taken away
// before the thread's old mask returns; the write then fails with EPIPE, which
// libldap reports as a lost server. Signals pending or blocked before are left
// as they were.
class SigpipeSuppressor {
 public:
  SigpipeSuppressor();
  ~SigpipeSuppressor();
  SigpipeSuppressor(const SigpipeSuppressor&) = delete;
  SigpipeSuppressor& operator=(const SigpipeSuppressor&) = delete;

 private:
  bool was_blocked_ = false;
  bool was_pending_ = false;
};

struct Timeout {
  long seconds = 0;
  long microseconds = 0;
};

struct Control {
  std::string oid;
  std::optional<std::string> value;
  bool critical = false;
};
using Controls = std::vector<Control>;

// One modification: op is 0 add, 1 delete, 2 replace. Values are borrowed.
struct Mod {
  int op = 0;
  std::string type;
  std::vector<std::string_view> values;
  bool has_values = false;
};

struct SortKey {
  std::string attribute;
  std::optional<std::string> ordering_rule;
  bool reverse = false;
};

// The parts of a result message (LDAPResult).
struct ResultInfo {
  int code = 0;
  std::string matched;
  std::string diagnostic;
  Controls server_controls;
};

// A session for `uri` ("ldap://h1:389 ldap://h2:389"); no server is contacted. The
// session ignores ldap.conf defaults that would change its behaviour: options the
// platform documents are set explicitly.
[[nodiscard]] int Initialize(const std::string& uri, Session** out);
// Closes the connection (sends an unbind when one is open) and frees the session.
int Unbind(Session* session);

// Options the platform layer maps onto OpenLDAP's.
enum class IntOption {
  kProtocolVersion,
  kDeref,
  kSizeLimit,
  kTimeLimit,
  kReferrals,
  kRestart,
  kReferralHopLimit
};
[[nodiscard]] int SetIntOption(Session* session, IntOption option, int value);
[[nodiscard]] int GetIntOption(Session* session, IntOption option, int* value);
// Bounds the TCP connect; nullopt removes the bound.
[[nodiscard]] int SetNetworkTimeout(Session* session, const std::optional<Timeout>& t);
// True when the session has an open connection.
bool IsConnected(Session* session);

// Opens the connection now (bounded by the network time-out).
[[nodiscard]] int Connect(Session* session);
[[nodiscard]] int StartTls(Session* session, const Controls& server,
                           const Controls& client);

// Asynchronous requests; *msgid receives the message number.
[[nodiscard]] int SimpleBind(Session* session, const std::string& dn,
                             std::optional<std::string_view> password, int* msgid);
[[nodiscard]] int SaslBind(Session* session, const std::string& dn,
                           const std::string& mechanism,
                           std::optional<std::string_view> credentials,
                           const Controls& server, const Controls& client, int* msgid);
// A complete GSSAPI bind with the caller's Kerberos credentials.
[[nodiscard]] int GssapiBind(Session* session);
struct SearchRequest {
  std::string base;
  int scope = 0;
  std::string filter;
  std::optional<std::vector<std::string>> attributes;
  bool attributes_only = false;
  Controls server;
  Controls client;
  int time_limit = 0;  // seconds, sent to the server; 0: none
  int size_limit = 0;
};
[[nodiscard]] int Search(Session* session, const SearchRequest& request, int* msgid);
[[nodiscard]] int Add(Session* session, const std::string& dn,
                      const std::vector<Mod>& mods, const Controls& server,
                      const Controls& client, int* msgid);
[[nodiscard]] int Modify(Session* session, const std::string& dn,
                         const std::vector<Mod>& mods, const Controls& server,
                         const Controls& client, int* msgid);
[[nodiscard]] int Rename(Session* session, const std::string& dn,
                         const std::string& new_rdn,
                         const std::optional<std::string>& new_parent,
                         bool delete_old_rdn, const Controls& server,
                         const Controls& client, int* msgid);
[[nodiscard]] int Delete(Session* session, const std::string& dn, const Controls& server,
                         const Controls& client, int* msgid);
[[nodiscard]] int Compare(Session* session, const std::string& dn,
                          const std::string& attribute, std::string_view value,
                          const Controls& server, const Controls& client, int* msgid);
[[nodiscard]] int Abandon(Session* session, int msgid);

// Waits for results: returns the type of the first message stored in *out, 0 when
// `timeout` expired, -1 on failure (then *code holds the result code). msgid -1 means
// any; all: 0 one message, 1 the complete result, 2 what has arrived.
int WaitResult(Session* session, int msgid, int all,
               const std::optional<Timeout>& timeout, Message** out, int* code);
void FreeMessages(Message* chain);
Message* NextMessage(Session* session, Message* message);
int MessageType(Message* message);
int MessageId(Message* message);
[[nodiscard]] int ParseResult(Session* session, Message* message, ResultInfo* info);

// An entry's DN, its attribute names in server order and the values of one.
[[nodiscard]] int EntryDn(Session* session, Message* entry, std::string* dn);
[[nodiscard]] int AttributeNames(Session* session, Message* entry,
                                 std::vector<std::string>* names);
// LDAP_NO_SUCH_ATTRIBUTE when the entry lacks the attribute.
[[nodiscard]] int AttributeValues(Session* session, Message* entry,
                                  const std::string& attribute,
                                  std::vector<std::string>* values);

// Distinguished names: the number of RDNs of a valid DN (LDAP_INVALID_DN_SYNTAX
// otherwise) and each RDN re-encoded; the user-friendly form.
[[nodiscard]] int ParseDn(const std::string& dn, std::vector<std::string>* rdns);
[[nodiscard]] int DnToUfn(const std::string& dn, std::string* ufn);

// The sort request control value for `keys`, and the parts of a sort response value.
[[nodiscard]] int EncodeSortKeys(Session* session, const std::vector<SortKey>& keys,
                                 std::string* value);
[[nodiscard]] int DecodeSortResponse(Session* session, std::string_view value,
                                     int* result, std::optional<std::string>* attribute);

// OpenLDAP's code in the platform's numbering.
int ToPlatformCode(int openldap_code);

}  // namespace kova::wldap::ol

#endif  // KOVA_LDAP_WLDAP32_OPENLDAP_CLIENT_H_
