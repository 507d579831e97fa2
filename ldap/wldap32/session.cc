// Sessions: creation, connection, options, binds and TLS.
#include <cctype>
#include <chrono>
#include <cstring>

#include "ldap/wldap32/wldap_internal.h"

namespace kova::wldap {
namespace {

// ldap_connect without a time-out of its own, or with a zero one (which could
// never succeed), waits this long.
constexpr ol::Timeout kDefaultConnectTimeout{120, 0};

// "name", "name:port", "[v6]" or "[v6]:port" -> "scheme://name:port".
std::optional<std::string> HostUri(const std::string& host, ULONG default_port,
                                   const char* scheme) {
  std::string name = host;
  std::string port = std::to_string(default_port);
  size_t colon = std::string::npos;
  if (!host.empty() && host.front() == '[') {
    size_t close = host.find(']');
    if (close == std::string::npos) return std::nullopt;
    name = host.substr(0, close + 1);
    if (close + 1 < host.size()) {
      if (host[close + 1] != ':') return std::nullopt;
      colon = close + 1;
    }
  } else if (host.find(':') != host.rfind(':')) {
    name = "[" + host + "]";  // a bare IPv6 address
  } else {
    colon = host.find(':');
    if (colon != std::string::npos) name = host.substr(0, colon);
  }
  if (colon != std::string::npos) {
    port = host.substr(colon + 1);
    if (port.empty() || port.size() > 5) return std::nullopt;
    for (char c : port)
      if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    if (std::stoul(port) == 0 || std::stoul(port) > 65535) return std::nullopt;
  }
  if (name.empty() || name.find('/') != std::string::npos) return std::nullopt;
  return std::string(scheme) + "://" + name + ":" + port;
}

std::vector<std::string> SplitHosts(const char* hosts) {
  std::vector<std::string> names;
  std::string current;
  for (const char* p = hosts; p != nullptr && *p != '\0'; ++p) {
    if (*p == ' ' || *p == '\t') {
      if (!current.empty()) names.push_back(std::move(current));
      current.clear();
      continue;
    }
    current.push_back(*p);
  }
  if (!current.empty()) names.push_back(std::move(current));
  return names;
}

// The session's OpenLDAP side for its hosts, port and scheme.
[[nodiscard]] ULONG OpenRaw(SessionState* state, ol::Session** raw) {
  const char* scheme = state->secure ? "ldaps" : "ldap";
  std::string uris;
  for (const std::string& host : state->hosts) {
    std::optional<std::string> uri = HostUri(host, state->port, scheme);
    if (!uri) return LDAP_PARAM_ERROR;
    if (!uris.empty()) uris.push_back(' ');
    uris += *uri;
  }
  return static_cast<ULONG>(ol::Initialize(uris, raw));
}

// Creates a session; null with the last error on failure. A missing host list
// means this machine (the platform would look for a default domain server).
LDAP* CreateSession(const char* host_name, ULONG port, bool secure) {
  SessionState probe;
  probe.hosts = SplitHosts(host_name);
  if (probe.hosts.empty()) probe.hosts.push_back("localhost");
  probe.secure = secure;
  probe.port = port != 0 ? port : (secure ? LDAP_SSL_PORT : LDAP_PORT);
  if (probe.port > 65535) {
    Fail(nullptr, LDAP_PARAM_ERROR);
    return nullptr;
  }
  ol::Session* raw = nullptr;
  if (ULONG rc = OpenRaw(&probe, &raw); rc != LDAP_SUCCESS) {
    Fail(nullptr, rc);
    return nullptr;
  }
  SessionBox* box = NewSession(raw);
  probe.raw = raw;
  probe.host_text = host_name != nullptr && *host_name != '\0' ? host_name : "localhost";
  *box->state = std::move(probe);
  box->pub.ld_host = const_cast<char*>(box->state->host_text.c_str());
  box->pub.ld_options = secure ? 1 : 0;
  return &box->pub;
}

// The platform's switch options take LDAP_OPT_ON / LDAP_OPT_OFF themselves or a
// pointer to a ULONG.
bool SwitchValue(const void* invalue) {
  if (invalue == LDAP_OPT_OFF) return false;
  if (invalue == LDAP_OPT_ON) return true;
  return *static_cast<const ULONG*>(invalue) != 0;
}

ULONG SetIntOption(SessionBox* s, ol::IntOption option, int value) {
  return Finish(s, static_cast<ULONG>(ol::SetIntOption(s->state->raw, option, value)));
}

ULONG SetOption(SessionBox* s, int option, const void* invalue) {
  const bool is_switch = option == LDAP_OPT_REFERRALS || option == LDAP_OPT_RESTART ||
                         option == LDAP_OPT_SSL;
  if (invalue == nullptr && !is_switch) return Fail(s, LDAP_PARAM_ERROR);
  auto ulong_value = [invalue] { return *static_cast<const ULONG*>(invalue); };
  switch (option) {
    case LDAP_OPT_PROTOCOL_VERSION: {
      ULONG version = ulong_value();
      if (version != LDAP_VERSION2 && version != LDAP_VERSION3)
        return Fail(s, LDAP_PARAM_ERROR);
      ULONG rc =
          SetIntOption(s, ol::IntOption::kProtocolVersion, static_cast<int>(version));
      if (rc == LDAP_SUCCESS) s->pub.ld_version = version;
      return rc;
    }
    case LDAP_OPT_DEREF:
      if (ulong_value() > LDAP_DEREF_ALWAYS) return Fail(s, LDAP_PARAM_ERROR);
      s->pub.ld_deref = ulong_value();
      return Finish(s, LDAP_SUCCESS);
    case LDAP_OPT_SIZELIMIT:
      s->pub.ld_sizelimit = ulong_value();
      return Finish(s, LDAP_SUCCESS);
    case LDAP_OPT_TIMELIMIT:
      s->pub.ld_timelimit = ulong_value();
      return Finish(s, LDAP_SUCCESS);
    case LDAP_OPT_REFERRAL_HOP_LIMIT: {
      ULONG rc = SetIntOption(s, ol::IntOption::kReferralHopLimit,
                              static_cast<int>(ulong_value()));
      if (rc == LDAP_SUCCESS) s->pub.ld_refhoplimit = ulong_value();
      return rc;
    }
    case LDAP_OPT_REFERRALS:
      return SetIntOption(s, ol::IntOption::kReferrals, SwitchValue(invalue) ? 1 : 0);
    case LDAP_OPT_RESTART:
      return SetIntOption(s, ol::IntOption::kRestart, SwitchValue(invalue) ? 1 : 0);
    case LDAP_OPT_SSL: {
      const bool secure = SwitchValue(invalue);
      if (secure == s->state->secure) return Finish(s, LDAP_SUCCESS);
      // The scheme is chosen before the connection exists; afterwards TLS comes only
      // through ldap_start_tls_sA.
      if (ol::IsConnected(s->state->raw)) return Fail(s, LDAP_UNWILLING_TO_PERFORM);
      SessionState next = *s->state;
      next.secure = secure;
      if (next.port == (secure ? LDAP_PORT : LDAP_SSL_PORT))
        next.port = secure ? LDAP_SSL_PORT : LDAP_PORT;
      ol::Session* raw = nullptr;
      if (ULONG rc = OpenRaw(&next, &raw); rc != LDAP_SUCCESS) return Fail(s, rc);
      int version = static_cast<int>(s->pub.ld_version);
      (void)ol::SetIntOption(raw, ol::IntOption::kProtocolVersion, version);
      (void)ol::Unbind(s->state->raw);
      next.raw = raw;
      *s->state = std::move(next);
      s->pub.ld_host = const_cast<char*>(s->state->host_text.c_str());
      s->pub.ld_options = secure ? 1 : 0;
      return Finish(s, LDAP_SUCCESS);
    }
    case LDAP_OPT_ERROR_NUMBER:
      s->pub.ld_errno = ulong_value();
      return LDAP_SUCCESS;
    default:
      return Fail(s, LDAP_PARAM_ERROR);
  }
}

ULONG GetOption(SessionBox* s, int option, void* outvalue) {
  if (outvalue == nullptr) return Fail(s, LDAP_PARAM_ERROR);
  auto put = [outvalue](ULONG value) { *static_cast<ULONG*>(outvalue) = value; };
  int value = 0;
  switch (option) {
    case LDAP_OPT_PROTOCOL_VERSION:
      put(s->pub.ld_version);
      break;
    case LDAP_OPT_DEREF:
      put(s->pub.ld_deref);
      break;
    case LDAP_OPT_SIZELIMIT:
      put(s->pub.ld_sizelimit);
      break;
    case LDAP_OPT_TIMELIMIT:
      put(s->pub.ld_timelimit);
      break;
    case LDAP_OPT_REFERRAL_HOP_LIMIT:
      if (ULONG rc = static_cast<ULONG>(
              ol::GetIntOption(s->state->raw, ol::IntOption::kReferralHopLimit, &value)))
        return Fail(s, rc);
      put(static_cast<ULONG>(value));
      break;
    case LDAP_OPT_REFERRALS:
    case LDAP_OPT_RESTART:
      if (ULONG rc = static_cast<ULONG>(ol::GetIntOption(s->state->raw,
                                                         option == LDAP_OPT_REFERRALS
                                                             ? ol::IntOption::kReferrals
                                                             : ol::IntOption::kRestart,
                                                         &value)))
        return Fail(s, rc);
      put(value ? 1 : 0);
      break;
    case LDAP_OPT_SSL:
      put(s->state->secure || s->state->tls_started ? 1 : 0);
      break;
    case LDAP_OPT_ERROR_NUMBER:
      put(s->pub.ld_errno);
      break;
    // Both strings stay owned by the session, as on the platform.
    case LDAP_OPT_HOST_NAME:
      *static_cast<char**>(outvalue) = const_cast<char*>(s->state->hosts.front().c_str());
      break;
    case LDAP_OPT_ERROR_STRING:
      if (s->state->error_text.empty())
        s->state->error_text = ldap_err2stringA(s->pub.ld_errno);
      *static_cast<char**>(outvalue) = const_cast<char*>(s->state->error_text.c_str());
      break;
    default:
      return Fail(s, LDAP_PARAM_ERROR);
  }
  return LDAP_SUCCESS;
}

ULONG ConnectWithin(SessionBox* s, const ol::Timeout& limit) {
  if (ol::IsConnected(s->state->raw)) return Finish(s, LDAP_SUCCESS);
  const auto start = std::chrono::steady_clock::now();
  const auto budget =
      std::chrono::seconds(limit.seconds) + std::chrono::microseconds(limit.microseconds);
  if (ULONG rc = static_cast<ULONG>(ol::SetNetworkTimeout(s->state->raw, limit)))
    return Fail(s, rc);
  ULONG rc = static_cast<ULONG>(ol::Connect(s->state->raw));
  (void)ol::SetNetworkTimeout(s->state->raw, std::nullopt);
  if (rc != LDAP_SUCCESS) return Fail(s, rc);
  // A server that accepts connections but never answers is found by one exchange:
  // the root entry, which every server serves before a bind.
  ol::SearchRequest probe;
  probe.filter = "(objectClass=*)";
  probe.attributes = std::vector<std::string>{"1.1"};
  int msgid = 0;
  if (ULONG send = static_cast<ULONG>(ol::Search(s->state->raw, probe, &msgid)))
    return Fail(s, send);
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
      budget - (std::chrono::steady_clock::now() - start));
  ol::Timeout rest{0, 0};
  if (left.count() > 0)
    rest = ol::Timeout{static_cast<long>(left.count() / 1000000),
                       static_cast<long>(left.count() % 1000000)};
  else
    rest = ol::Timeout{0, 1};
  ol::Message* raw = nullptr;
  int code = 0;
  int type = ol::WaitResult(s->state->raw, msgid, 1, rest, &raw, &code);
  ol::FreeMessages(raw);
  if (type == 0) {
    (void)ol::Abandon(s->state->raw, msgid);
    return Fail(s, LDAP_TIMEOUT);
  }
  if (type < 0) return Fail(s, static_cast<ULONG>(code));
  return Finish(s, LDAP_SUCCESS);
}

// A simple bind request: an anonymous one for a null DN and password.
int SendSimpleBind(SessionBox* s, const char* dn, const char* password, int* msgid) {
  std::optional<std::string_view> pw;
  if (password != nullptr) pw = std::string_view(password);
  return ol::SimpleBind(s->state->raw, dn != nullptr ? dn : "", pw, msgid);
}

ULONG NegotiateBind(SessionBox* s) {
  ULONG rc = static_cast<ULONG>(ol::GssapiBind(s->state->raw));
  // Without a GSSAPI mechanism on this machine the SASL layer fails locally; the
  // platform would report that the method cannot be used.
  if (rc == LDAP_LOCAL_ERROR || rc == LDAP_NOT_SUPPORTED || rc == LDAP_AUTH_UNKNOWN)
    rc = LDAP_AUTH_METHOD_NOT_SUPPORTED;
  return Finish(s, rc);
}

ULONG MessageNumber(SessionBox* s, int rc, int msgid) {
  if (rc != 0) {
    Fail(s, static_cast<ULONG>(rc));
    return kNoMessage;
  }
  s->pub.ld_msgid = static_cast<ULONG>(msgid);
  s->pub.ld_errno = LDAP_SUCCESS;
  return static_cast<ULONG>(msgid);
}

ULONG Unbind(LDAP* ld) {
  SessionBox* s = ToSession(ld);
  if (s == nullptr) return Fail(nullptr, LDAP_PARAM_ERROR);
  ULONG rc = static_cast<ULONG>(ol::Unbind(s->state->raw));
  DestroySession(s);
  return rc == LDAP_SUCCESS ? LDAP_SUCCESS : Fail(nullptr, rc);
}

}  // namespace
}  // namespace kova::wldap

using kova::wldap::Fail;
using kova::wldap::Finish;
using kova::wldap::Guarded;
using kova::wldap::kNoMessage;
using kova::wldap::SessionBox;
using kova::wldap::ToSession;

// Creates a session without contacting the server
// (LdapNoServerTest.InitDoesNotContactTheServer).
LDAP* ldap_initA(const PCHAR HostName, ULONG PortNumber) {
  return Guarded<LDAP*>(
      nullptr, [&] { return kova::wldap::CreateSession(HostName, PortNumber, false); });
}

// ldap_initA and a connect with the default time-out.
LDAP* ldap_openA(PCHAR HostName, ULONG PortNumber) {
  return Guarded<LDAP*>(nullptr, [&]() -> LDAP* {
    LDAP* ld = kova::wldap::CreateSession(HostName, PortNumber, false);
    if (ld == nullptr) return nullptr;
    if (ldap_connect(ld, nullptr) != LDAP_SUCCESS) {
      ULONG code = LdapGetLastError();
      kova::wldap::Unbind(ld);
      Fail(nullptr, code);
      return nullptr;
    }
    return ld;
  });
}

LDAP* ldap_sslinitA(PCHAR HostName, ULONG PortNumber, int secure) {
  return Guarded<LDAP*>(nullptr, [&] {
    return kova::wldap::CreateSession(HostName, PortNumber, secure != 0);
  });
}

// Deliberate difference: connectionless LDAP over UDP has no implementation under
// this library, so the call always fails with LDAP_NOT_SUPPORTED.
LDAP* cldap_openA(PCHAR HostName, ULONG PortNumber) {
  Fail(nullptr, LDAP_NOT_SUPPORTED);
  return nullptr;
}

// Connects within the time-out: TCP connect and one exchange
// (LdapNoServerTest.ConnectTimesOutAgainstASilentServer).
ULONG ldap_connect(LDAP* ld, struct l_timeval* timeout) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    SessionBox* s = ToSession(ld);
    if (s == nullptr) return Fail(nullptr, LDAP_PARAM_ERROR);
    std::optional<kova::wldap::ol::Timeout> limit;
    if (!kova::wldap::ToTimeout(timeout, &limit)) return Fail(s, LDAP_PARAM_ERROR);
    if (!limit || (limit->seconds == 0 && limit->microseconds == 0))
      limit = kova::wldap::kDefaultConnectTimeout;
    return kova::wldap::ConnectWithin(s, *limit);
  });
}

ULONG ldap_unbind(LDAP* ld) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] { return kova::wldap::Unbind(ld); });
}

ULONG ldap_unbind_s(LDAP* ld) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] { return kova::wldap::Unbind(ld); });
}

// Per-session options only (a null session is refused); unsupported options give
// LDAP_PARAM_ERROR (LdapSessionTest.OptionsRoundTripBeforeTheFirstContact).
ULONG ldap_set_option(LDAP* ld, int option, const void* invalue) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    SessionBox* s = ToSession(ld);
    if (s == nullptr) return Fail(nullptr, LDAP_PARAM_ERROR);
    return kova::wldap::SetOption(s, option, invalue);
  });
}

ULONG ldap_get_option(LDAP* ld, int option, void* outvalue) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    SessionBox* s = ToSession(ld);
    if (s == nullptr) return Fail(nullptr, LDAP_PARAM_ERROR);
    return kova::wldap::GetOption(s, option, outvalue);
  });
}

// The library needs no start-up: it reports its API version and a dummy instance.
ULONG ldap_startup(PLDAP_VERSION_INFO version, HANDLE* Instance) {
  if (version != nullptr) {
    version->lv_major = LAPI_MAJOR_VER1;
    version->lv_minor = LAPI_MINOR_VER1;
  }
  if (Instance != nullptr) *Instance = reinterpret_cast<HANDLE>(1);
  return LDAP_SUCCESS;
}

ULONG ldap_cleanup(HANDLE hInstance) { return LDAP_SUCCESS; }

ULONG ldap_simple_bind_sA(LDAP* ld, PCHAR dn, PCHAR passwd) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    SessionBox* s = ToSession(ld);
    if (s == nullptr) return Fail(nullptr, LDAP_PARAM_ERROR);
    int msgid = 0;
    int rc = kova::wldap::SendSimpleBind(s, dn, passwd, &msgid);
    return kova::wldap::AwaitCompletion(s, rc, msgid);
  });
}

ULONG ldap_simple_bindA(LDAP* ld, PCHAR dn, PCHAR passwd) {
  return Guarded<ULONG>(kNoMessage, [&] {
    SessionBox* s = ToSession(ld);
    if (s == nullptr) {
      Fail(nullptr, LDAP_PARAM_ERROR);
      return kNoMessage;
    }
    int msgid = 0;
    int rc = kova::wldap::SendSimpleBind(s, dn, passwd, &msgid);
    return kova::wldap::MessageNumber(s, rc, msgid);
  });
}

// Simple (with dn and cred as password) and negotiated binds
// (LdapServerTest.BindsReportTheServersVerdict).
ULONG ldap_bind_sA(LDAP* ld, PCHAR dn, PCHAR cred, ULONG method) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    SessionBox* s = ToSession(ld);
    if (s == nullptr) return Fail(nullptr, LDAP_PARAM_ERROR);
    if (method == LDAP_AUTH_NEGOTIATE) {
      if (dn != nullptr || cred != nullptr)
        return Fail(s, LDAP_AUTH_METHOD_NOT_SUPPORTED);
      return kova::wldap::NegotiateBind(s);
    }
    if (method != LDAP_AUTH_SIMPLE) return Fail(s, LDAP_AUTH_METHOD_NOT_SUPPORTED);
    int msgid = 0;
    int rc = kova::wldap::SendSimpleBind(s, dn, cred, &msgid);
    return kova::wldap::AwaitCompletion(s, rc, msgid);
  });
}

// Only simple binds are asynchronous, as on the platform.
ULONG ldap_bindA(LDAP* ld, PCHAR dn, PCHAR cred, ULONG method) {
  return Guarded<ULONG>(kNoMessage, [&] {
    SessionBox* s = ToSession(ld);
    if (s == nullptr || method != LDAP_AUTH_SIMPLE) {
      Fail(s, s == nullptr ? LDAP_PARAM_ERROR : LDAP_AUTH_METHOD_NOT_SUPPORTED);
      return kNoMessage;
    }
    int msgid = 0;
    int rc = kova::wldap::SendSimpleBind(s, dn, cred, &msgid);
    return kova::wldap::MessageNumber(s, rc, msgid);
  });
}

INT ldap_sasl_bindA(LDAP* ExternalHandle, const PCHAR DistName, const PCHAR AuthMechanism,
                    const BERVAL* cred, PLDAPControlA* ServerCtrls,
                    PLDAPControlA* ClientCtrls, int* MessageNumber) {
  return Guarded<INT>(LDAP_NO_MEMORY, [&]() -> INT {
    SessionBox* s = ToSession(ExternalHandle);
    if (s == nullptr || AuthMechanism == nullptr || MessageNumber == nullptr ||
        (cred != nullptr && cred->bv_len != 0 && cred->bv_val == nullptr))
      return static_cast<INT>(Fail(s, LDAP_PARAM_ERROR));
    kova::wldap::ol::Controls sc, cc;
    if (!kova::wldap::ToControls(ServerCtrls, &sc) ||
        !kova::wldap::ToControls(ClientCtrls, &cc))
      return static_cast<INT>(Fail(s, LDAP_PARAM_ERROR));
    std::optional<std::string_view> credentials;
    if (cred != nullptr)
      credentials = std::string_view(cred->bv_val ? cred->bv_val : "", cred->bv_len);
    int msgid = 0;
    int rc = kova::wldap::ol::SaslBind(s->state->raw, DistName ? DistName : "",
                                       AuthMechanism, credentials, sc, cc, &msgid);
    if (rc != 0) return static_cast<INT>(Fail(s, static_cast<ULONG>(rc)));
    *MessageNumber = msgid;
    s->pub.ld_msgid = static_cast<ULONG>(msgid);
    return static_cast<INT>(Finish(s, LDAP_SUCCESS));
  });
}

// The extended response is not handed back: *result is set to null.
ULONG ldap_start_tls_sA(PLDAP ExternalHandle, PULONG ServerReturnValue,
                        LDAPMessage** result, PLDAPControlA* ServerControls,
                        PLDAPControlA* ClientControls) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    if (result != nullptr) *result = nullptr;
    SessionBox* s = ToSession(ExternalHandle);
    if (s == nullptr) return Fail(nullptr, LDAP_PARAM_ERROR);
    kova::wldap::ol::Controls sc, cc;
    if (!kova::wldap::ToControls(ServerControls, &sc) ||
        !kova::wldap::ToControls(ClientControls, &cc))
      return Fail(s, LDAP_PARAM_ERROR);
    ULONG rc = static_cast<ULONG>(kova::wldap::ol::StartTls(s->state->raw, sc, cc));
    if (ServerReturnValue != nullptr) *ServerReturnValue = rc;
    if (rc == LDAP_SUCCESS) s->state->tls_started = true;
    return Finish(s, rc);
  });
}

// Deliberate difference: TLS cannot be removed from an OpenLDAP connection while
// keeping its bind, so this fails (FALSE, LDAP_NOT_SUPPORTED) instead of silently
// dropping to an unbound plain connection.
BOOLEAN ldap_stop_tls_s(PLDAP ExternalHandle) {
  SessionBox* s = ToSession(ExternalHandle);
  Fail(s, s == nullptr ? LDAP_PARAM_ERROR : LDAP_NOT_SUPPORTED);
  return 0;
}
