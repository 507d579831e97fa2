#include "ldap/wldap32/openldap_client.h"

#include <dlfcn.h>
#include <ldap.h>
#include <pthread.h>
#include <signal.h>

#include <cstring>
#include <memory>

// This library exports functions named like OpenLDAP's (ldap_set_option,
// ldap_msgfree, ...). A plain reference to one of those names would bind to our own
// export at link time, so the calls below name OpenLDAP's versioned symbols; the
// version script gives our exports a version of their own, which in turn keeps
// libldap's internal calls away from them.
__asm__(".symver ldap_set_option,ldap_set_option@OPENLDAP_2.5");
__asm__(".symver ldap_get_option,ldap_get_option@OPENLDAP_2.5");
__asm__(".symver ldap_result,ldap_result@OPENLDAP_2.5");
__asm__(".symver ldap_msgfree,ldap_msgfree@OPENLDAP_2.5");
__asm__(".symver ldap_connect,ldap_connect@OPENLDAP_2.5");
__asm__(".symver ber_free,ber_free@OPENLDAP_2.5");
__asm__(".symver ldap_value_free_len,ldap_value_free_len@OPENLDAP_2.5");

namespace kova::wldap::ol {
namespace {

// libldap sets up process-wide state once (its global options, the TLS and SASL
// libraries) and never frees it. Unloaded with the last FreeLibrary of this
// library, it would lose that state each time (a leak per unload) and set it up
// again at the next load. It is therefore made resident when this library is
// loaded; this library itself stays reference-counted and unloadable like any
// other module.
bool PinOpenLdap() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ldap_initialize), &info) == 0 ||
      info.dli_fname == nullptr) {
    return false;
  }
  void* handle = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
  if (handle == nullptr) return false;
  dlclose(handle);  // gives back this open's reference; RTLD_NODELETE stays
  return true;
}
[[maybe_unused]] const bool g_openldap_pinned = PinOpenLdap();

sigset_t SigpipeSet() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

bool SigpipePending() {
  sigset_t pending;
  return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

::LDAP* Raw(Session* session) { return reinterpret_cast<::LDAP*>(session); }
::LDAPMessage* Raw(Message* message) { return reinterpret_cast<::LDAPMessage*>(message); }
Message* Wrap(::LDAPMessage* message) { return reinterpret_cast<Message*>(message); }

// Platform numbering of the client-side codes: OpenLDAP's -1 ... -17 are the
// platform's 0x51 ... 0x61 in the same order.
constexpr int kPlatformClientBase = 0x50;
constexpr int kPlatformLocalError = 0x52;
constexpr int kPlatformParamError = 0x59;
constexpr int kPlatformConnectError = 0x5b;
constexpr int kPlatformNoSuchAttribute = 0x10;
constexpr int kPlatformInvalidDnSyntax = 0x22;

// OpenLDAP's "no time-out" (a null value is refused).
constexpr timeval kNoTimeout{-1, 0};

int SessionCode(Session* session) {
  int code = LDAP_OTHER;
  if (ldap_get_option(Raw(session), LDAP_OPT_RESULT_CODE, &code) != LDAP_OPT_SUCCESS)
    return kPlatformLocalError;
  return ToPlatformCode(code);
}

timeval ToTimeval(const Timeout& t) {
  timeval tv{};
  tv.tv_sec = t.seconds;
  tv.tv_usec = t.microseconds;
  return tv;
}

int OptionId(IntOption option) {
  switch (option) {
    case IntOption::kProtocolVersion:
      return LDAP_OPT_PROTOCOL_VERSION;
    case IntOption::kDeref:
      return LDAP_OPT_DEREF;
    case IntOption::kSizeLimit:
      return LDAP_OPT_SIZELIMIT;
    case IntOption::kTimeLimit:
      return LDAP_OPT_TIMELIMIT;
    case IntOption::kReferrals:
      return LDAP_OPT_REFERRALS;
    case IntOption::kRestart:
      return LDAP_OPT_RESTART;
    case IntOption::kReferralHopLimit:
      return LDAP_OPT_REFHOPLIMIT;
  }
  return -1;
}

bool IsSwitch(IntOption option) {
  return option == IntOption::kReferrals || option == IntOption::kRestart;
}

// OpenLDAP control arrays built from copies; they live as long as the object.
class RawControls {
 public:
  explicit RawControls(const Controls& controls) {
    controls_.reserve(controls.size());
    for (const Control& c : controls) {
      ::LDAPControl raw{};
      raw.ldctl_oid = const_cast<char*>(c.oid.c_str());
      if (c.value) {
        raw.ldctl_value.bv_len = c.value->size();
        raw.ldctl_value.bv_val = const_cast<char*>(c.value->data());
      }
      raw.ldctl_iscritical = c.critical ? 1 : 0;
      controls_.push_back(raw);
    }
    for (::LDAPControl& c : controls_) pointers_.push_back(&c);
    pointers_.push_back(nullptr);
  }
  ::LDAPControl** get() { return controls_.empty() ? nullptr : pointers_.data(); }

 private:
  std::vector<::LDAPControl> controls_;
  std::vector<::LDAPControl*> pointers_;
};

// OpenLDAP modification arrays (always counted values) over borrowed bytes.
class RawMods {
 public:
  explicit RawMods(const std::vector<Mod>& mods) {
    values_.resize(mods.size());
    value_pointers_.resize(mods.size());
    mods_.resize(mods.size());
    for (size_t i = 0; i < mods.size(); ++i) {
      for (std::string_view v : mods[i].values) {
        ::berval bv{};
        bv.bv_len = v.size();
        bv.bv_val = const_cast<char*>(v.data());
        values_[i].push_back(bv);
      }
      for (::berval& bv : values_[i]) value_pointers_[i].push_back(&bv);
      value_pointers_[i].push_back(nullptr);
      mods_[i].mod_op = mods[i].op | LDAP_MOD_BVALUES;
      mods_[i].mod_type = const_cast<char*>(mods[i].type.c_str());
      mods_[i].mod_bvalues = mods[i].has_values ? value_pointers_[i].data() : nullptr;
    }
    for (::LDAPMod& m : mods_) pointers_.push_back(&m);
    pointers_.push_back(nullptr);
  }
  ::LDAPMod** get() { return pointers_.data(); }

 private:
  std::vector<std::vector<::berval>> values_;
  std::vector<std::vector<::berval*>> value_pointers_;
  std::vector<::LDAPMod> mods_;
  std::vector<::LDAPMod*> pointers_;
};

Controls CopyControls(::LDAPControl** raw) {
  Controls out;
  for (int i = 0; raw != nullptr && raw[i] != nullptr; ++i) {
    Control c;
    c.oid = raw[i]->ldctl_oid ? raw[i]->ldctl_oid : "";
    if (raw[i]->ldctl_value.bv_val != nullptr)
      c.value.emplace(raw[i]->ldctl_value.bv_val, raw[i]->ldctl_value.bv_len);
    c.critical = raw[i]->ldctl_iscritical != 0;
    out.push_back(std::move(c));
  }
  return out;
}

// GSSAPI needs no prompts; anything it would ask for stays at its default.
int NoInteraction(::LDAP*, unsigned, void*, void*) { return LDAP_SUCCESS; }

}  // namespace

SigpipeSuppressor::SigpipeSuppressor() {
  was_pending_ = SigpipePending();
  const sigset_t set = SigpipeSet();
  sigset_t old;
  if (pthread_sigmask(SIG_BLOCK, &set, &old) == 0)
    was_blocked_ = sigismember(&old, SIGPIPE) == 1;
  else
    was_blocked_ = true;  // nothing was changed, so nothing is to be restored
}

SigpipeSuppressor::~SigpipeSuppressor() {
  const sigset_t set = SigpipeSet();
  if (!was_pending_ && SigpipePending()) {
    const timespec now = {0, 0};
    sigtimedwait(&set, nullptr, &now);
  }
  if (!was_blocked_) pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

int ToPlatformCode(int code) {
  if (code >= 0) return code;
  if (code >= LDAP_REFERRAL_LIMIT_EXCEEDED) return kPlatformClientBase - code;
  if (code == LDAP_X_CONNECTING) return kPlatformConnectError;
  return kPlatformLocalError;
}

int Initialize(const std::string& uri, Session** out) {
  *out = nullptr;
  ::LDAP* ld = nullptr;
  int rc = ldap_initialize(&ld, uri.c_str());
  if (rc != LDAP_SUCCESS)
    return rc == LDAP_PARAM_ERROR ? kPlatformParamError : ToPlatformCode(rc);
  // Defaults that ldap.conf or LDAP* variables could otherwise change.
  const int version = LDAP_VERSION2;
  const int deref = LDAP_DEREF_NEVER;
  const int no_limit = 0;
  if (ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version) != LDAP_OPT_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_DEREF, &deref) != LDAP_OPT_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_SIZELIMIT, &no_limit) != LDAP_OPT_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_TIMELIMIT, &no_limit) != LDAP_OPT_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_REFERRALS, LDAP_OPT_ON) != LDAP_OPT_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_NETWORK_TIMEOUT, &kNoTimeout) != LDAP_OPT_SUCCESS ||
      ldap_set_option(ld, LDAP_OPT_TIMEOUT, &kNoTimeout) != LDAP_OPT_SUCCESS) {
    ldap_unbind_ext(ld, nullptr, nullptr);
    return kPlatformLocalError;
  }
  *out = reinterpret_cast<Session*>(ld);
  return 0;
}

int Unbind(Session* session) {
  return ToPlatformCode(ldap_unbind_ext(Raw(session), nullptr, nullptr));
}

int SetIntOption(Session* session, IntOption option, int value) {
  int rc = IsSwitch(option) ? ldap_set_option(Raw(session), OptionId(option),
                                              value ? LDAP_OPT_ON : LDAP_OPT_OFF)
                            : ldap_set_option(Raw(session), OptionId(option), &value);
  return rc == LDAP_OPT_SUCCESS ? 0 : kPlatformParamError;
}

int GetIntOption(Session* session, IntOption option, int* value) {
  int rc = ldap_get_option(Raw(session), OptionId(option), value);
  return rc == LDAP_OPT_SUCCESS ? 0 : kPlatformParamError;
}

int SetNetworkTimeout(Session* session, const std::optional<Timeout>& t) {
  timeval tv = t ? ToTimeval(*t) : kNoTimeout;
  int rc = ldap_set_option(Raw(session), LDAP_OPT_NETWORK_TIMEOUT, &tv);
  return rc == LDAP_OPT_SUCCESS ? 0 : kPlatformParamError;
}

bool IsConnected(Session* session) {
  int fd = -1;
  if (ldap_get_option(Raw(session), LDAP_OPT_DESC, &fd) != LDAP_OPT_SUCCESS) return false;
  return fd >= 0;
}

int Connect(Session* session) { return ToPlatformCode(ldap_connect(Raw(session))); }

int StartTls(Session* session, const Controls& server, const Controls& client) {
  RawControls sc(server), cc(client);
  return ToPlatformCode(ldap_start_tls_s(Raw(session), sc.get(), cc.get()));
}

int SimpleBind(Session* session, const std::string& dn,
               std::optional<std::string_view> password, int* msgid) {
  ::berval cred{};
  if (password) {
    cred.bv_len = password->size();
    cred.bv_val = const_cast<char*>(password->data());
  }
  return ToPlatformCode(ldap_sasl_bind(Raw(session), dn.c_str(), LDAP_SASL_SIMPLE, &cred,
                                       nullptr, nullptr, msgid));
}

int SaslBind(Session* session, const std::string& dn, const std::string& mechanism,
             std::optional<std::string_view> credentials, const Controls& server,
             const Controls& client, int* msgid) {
  ::berval cred{};
  if (credentials) {
    cred.bv_len = credentials->size();
    cred.bv_val = const_cast<char*>(credentials->data());
  }
  RawControls sc(server), cc(client);
  return ToPlatformCode(ldap_sasl_bind(Raw(session), dn.c_str(), mechanism.c_str(),
                                       credentials ? &cred : nullptr, sc.get(), cc.get(),
                                       msgid));
}

int GssapiBind(Session* session) {
  return ToPlatformCode(ldap_sasl_interactive_bind_s(Raw(session), nullptr, "GSSAPI",
                                                     nullptr, nullptr, LDAP_SASL_QUIET,
                                                     NoInteraction, nullptr));
}

int Search(Session* session, const SearchRequest& request, int* msgid) {
  std::vector<char*> attrs;
  if (request.attributes) {
    for (const std::string& a : *request.attributes)
      attrs.push_back(const_cast<char*>(a.c_str()));
    attrs.push_back(nullptr);
  }
  // The server-side time limit goes through the session option: a zero time-out
  // argument would be refused, and zero means "no limit" on the platform.
  int time_limit = request.time_limit;
  if (ldap_set_option(Raw(session), LDAP_OPT_TIMELIMIT, &time_limit) != LDAP_OPT_SUCCESS)
    return kPlatformParamError;
  RawControls sc(request.server), cc(request.client);
  return ToPlatformCode(ldap_search_ext(
      Raw(session), request.base.c_str(), request.scope, request.filter.c_str(),
      request.attributes ? attrs.data() : nullptr, request.attributes_only ? 1 : 0,
      sc.get(), cc.get(), nullptr, request.size_limit, msgid));
}

int Add(Session* session, const std::string& dn, const std::vector<Mod>& mods,
        const Controls& server, const Controls& client, int* msgid) {
  RawMods raw(mods);
  RawControls sc(server), cc(client);
  return ToPlatformCode(
      ldap_add_ext(Raw(session), dn.c_str(), raw.get(), sc.get(), cc.get(), msgid));
}

int Modify(Session* session, const std::string& dn, const std::vector<Mod>& mods,
           const Controls& server, const Controls& client, int* msgid) {
  RawMods raw(mods);
  RawControls sc(server), cc(client);
  return ToPlatformCode(
      ldap_modify_ext(Raw(session), dn.c_str(), raw.get(), sc.get(), cc.get(), msgid));
}

int Rename(Session* session, const std::string& dn, const std::string& new_rdn,
           const std::optional<std::string>& new_parent, bool delete_old_rdn,
           const Controls& server, const Controls& client, int* msgid) {
  RawControls sc(server), cc(client);
  return ToPlatformCode(ldap_rename(Raw(session), dn.c_str(), new_rdn.c_str(),
                                    new_parent ? new_parent->c_str() : nullptr,
                                    delete_old_rdn ? 1 : 0, sc.get(), cc.get(), msgid));
}

int Delete(Session* session, const std::string& dn, const Controls& server,
           const Controls& client, int* msgid) {
  RawControls sc(server), cc(client);
  return ToPlatformCode(
      ldap_delete_ext(Raw(session), dn.c_str(), sc.get(), cc.get(), msgid));
}

int Compare(Session* session, const std::string& dn, const std::string& attribute,
            std::string_view value, const Controls& server, const Controls& client,
            int* msgid) {
  ::berval bv{};
  bv.bv_len = value.size();
  bv.bv_val = const_cast<char*>(value.data());
  RawControls sc(server), cc(client);
  return ToPlatformCode(ldap_compare_ext(Raw(session), dn.c_str(), attribute.c_str(), &bv,
                                         sc.get(), cc.get(), msgid));
}

int Abandon(Session* session, int msgid) {
  return ToPlatformCode(ldap_abandon_ext(Raw(session), msgid, nullptr, nullptr));
}

int WaitResult(Session* session, int msgid, int all,
               const std::optional<Timeout>& timeout, Message** out, int* code) {
  *out = nullptr;
  *code = 0;
  timeval tv{};
  if (timeout) tv = ToTimeval(*timeout);
  ::LDAPMessage* result = nullptr;
  int type = ldap_result(Raw(session), msgid, all, timeout ? &tv : nullptr, &result);
  if (type == -1) {
    *code = SessionCode(session);
    if (result != nullptr) ldap_msgfree(result);
    return -1;
  }
  *out = Wrap(result);
  return type;
}

void FreeMessages(Message* chain) {
  if (chain != nullptr) ldap_msgfree(Raw(chain));
}

Message* NextMessage(Session* session, Message* message) {
  return Wrap(ldap_next_message(Raw(session), Raw(message)));
}

int MessageType(Message* message) { return ldap_msgtype(Raw(message)); }
int MessageId(Message* message) { return ldap_msgid(Raw(message)); }

int ParseResult(Session* session, Message* message, ResultInfo* info) {
  int code = 0;
  char* matched = nullptr;
  char* diagnostic = nullptr;
  ::LDAPControl** controls = nullptr;
  int rc = ldap_parse_result(Raw(session), Raw(message), &code, &matched, &diagnostic,
                             nullptr, &controls, 0);
  if (rc != LDAP_SUCCESS) return ToPlatformCode(rc);
  info->code = ToPlatformCode(code);
  info->matched = matched ? matched : "";
  info->diagnostic = diagnostic ? diagnostic : "";
  info->server_controls = CopyControls(controls);
  ldap_memfree(matched);
  ldap_memfree(diagnostic);
  ldap_controls_free(controls);
  return 0;
}

int EntryDn(Session* session, Message* entry, std::string* dn) {
  char* raw = ldap_get_dn(Raw(session), Raw(entry));
  if (raw == nullptr) return SessionCode(session);
  dn->assign(raw);
  ldap_memfree(raw);
  return 0;
}

int AttributeNames(Session* session, Message* entry, std::vector<std::string>* names) {
  names->clear();
  ::BerElement* cursor = nullptr;
  for (char* a = ldap_first_attribute(Raw(session), Raw(entry), &cursor); a != nullptr;
       a = ldap_next_attribute(Raw(session), Raw(entry), cursor)) {
    names->emplace_back(a);
    ldap_memfree(a);
  }
  if (cursor != nullptr) ber_free(cursor, 0);
  return 0;
}

int AttributeValues(Session* session, Message* entry, const std::string& attribute,
                    std::vector<std::string>* values) {
  values->clear();
  ::berval** raw = ldap_get_values_len(Raw(session), Raw(entry), attribute.c_str());
  if (raw == nullptr) return kPlatformNoSuchAttribute;
  for (int i = 0; raw[i] != nullptr; ++i)
    values->emplace_back(raw[i]->bv_val, raw[i]->bv_len);
  ldap_value_free_len(raw);
  return 0;
}

int ParseDn(const std::string& dn, std::vector<std::string>* rdns) {
  rdns->clear();
  ::LDAPDN parsed = nullptr;
  if (ldap_str2dn(dn.c_str(), &parsed, LDAP_DN_FORMAT_LDAP) != LDAP_SUCCESS)
    return kPlatformInvalidDnSyntax;
  int rc = 0;
  for (int i = 0; parsed != nullptr && parsed[i] != nullptr; ++i) {
    char* text = nullptr;
    if (ldap_rdn2str(parsed[i], &text, LDAP_DN_FORMAT_LDAPV3 | LDAP_DN_PRETTY) !=
        LDAP_SUCCESS) {
      rc = kPlatformInvalidDnSyntax;
      break;
    }
    rdns->emplace_back(text);
    ldap_memfree(text);
  }
  ldap_dnfree(parsed);
  return rc;
}

int DnToUfn(const std::string& dn, std::string* ufn) {
  char* raw = ldap_dn2ufn(dn.c_str());
  if (raw == nullptr) return kPlatformInvalidDnSyntax;
  ufn->assign(raw);
  ldap_memfree(raw);
  return 0;
}

int EncodeSortKeys(Session* session, const std::vector<SortKey>& keys,
                   std::string* value) {
  std::vector<::LDAPSortKey> raw(keys.size());
  std::vector<::LDAPSortKey*> pointers;
  for (size_t i = 0; i < keys.size(); ++i) {
    raw[i].attributeType = const_cast<char*>(keys[i].attribute.c_str());
    raw[i].orderingRule = keys[i].ordering_rule
                              ? const_cast<char*>(keys[i].ordering_rule->c_str())
                              : nullptr;
    raw[i].reverseOrder = keys[i].reverse ? 1 : 0;
    pointers.push_back(&raw[i]);
  }
  pointers.push_back(nullptr);
  ::LDAPControl* control = nullptr;
  int rc = ldap_create_sort_control(Raw(session), pointers.data(), 0, &control);
  if (rc != LDAP_SUCCESS) return ToPlatformCode(rc);
  value->assign(control->ldctl_value.bv_val, control->ldctl_value.bv_len);
  ldap_control_free(control);
  return 0;
}

int DecodeSortResponse(Session* session, std::string_view value, int* result,
                       std::optional<std::string>* attribute) {
  ::LDAPControl control{};
  control.ldctl_oid = const_cast<char*>(LDAP_CONTROL_SORTRESPONSE);
  control.ldctl_value.bv_len = value.size();
  control.ldctl_value.bv_val = const_cast<char*>(value.data());
  ber_int_t code = 0;
  char* attr = nullptr;
  int rc = ldap_parse_sortresponse_control(Raw(session), &control, &code, &attr);
  if (rc != LDAP_SUCCESS) return ToPlatformCode(rc);
  *result = code;
  attribute->reset();
  if (attr != nullptr) {
    attribute->emplace(attr);
    ldap_memfree(attr);
  }
  return 0;
}

}  // namespace kova::wldap::ol
