// Directory operations in their asynchronous, synchronous and extended forms, and
// the results of asynchronous calls.
#include "ldap/wldap32/wldap_internal.h"

namespace kova::wldap {
namespace {

// A request is sent by `send(msgid)`; the three shapes of entry point wait for it
// (synchronous), return its number (asynchronous) or store it (extended).
template <typename Send>
ULONG RunSync(SessionBox* s, Send&& send) {
  int msgid = 0;
  int rc = send(&msgid);
  return AwaitCompletion(s, rc, msgid);
}

template <typename Send>
ULONG RunAsync(SessionBox* s, Send&& send) {
  int msgid = 0;
  int rc = send(&msgid);
  if (rc != 0) {
    Fail(s, static_cast<ULONG>(rc));
    return kNoMessage;
  }
  s->pub.ld_msgid = static_cast<ULONG>(msgid);
  s->pub.ld_errno = LDAP_SUCCESS;
  return static_cast<ULONG>(msgid);
}

template <typename Send>
ULONG RunExt(SessionBox* s, ULONG* number, Send&& send) {
  if (number == nullptr) return Fail(s, LDAP_PARAM_ERROR);
  int msgid = 0;
  int rc = send(&msgid);
  if (rc != 0) return Fail(s, static_cast<ULONG>(rc));
  *number = static_cast<ULONG>(msgid);
  s->pub.ld_msgid = *number;
  return Finish(s, LDAP_SUCCESS);
}

// The session and the controls of a call, or the failure to report.
struct Call {
  SessionBox* session = nullptr;
  ol::Controls server;
  ol::Controls client;
  ULONG error = LDAP_SUCCESS;
};

Call Prepare(LDAP* ld, const char* dn, PLDAPControlA* server = nullptr,
             PLDAPControlA* client = nullptr) {
  Call call;
  call.session = ToSession(ld);
  if (call.session == nullptr || dn == nullptr || !ToControls(server, &call.server) ||
      !ToControls(client, &call.client))
    call.error = LDAP_PARAM_ERROR;
  return call;
}

bool MakeSearch(SessionBox* s, const char* base, ULONG scope, const char* filter,
                char** attrs, ULONG attrsonly, ol::SearchRequest* request) {
  if (scope > LDAP_SCOPE_SUBTREE) return false;
  request->base = base != nullptr ? base : "";
  request->scope = static_cast<int>(scope);
  request->filter = filter != nullptr && *filter != '\0' ? filter : "(objectClass=*)";
  request->attributes = ToAttributeList(attrs);
  request->attributes_only = attrsonly != 0;
  request->time_limit = static_cast<int>(s->pub.ld_timelimit);
  request->size_limit = static_cast<int>(s->pub.ld_sizelimit);
  return ol::SetIntOption(s->state->raw, ol::IntOption::kDeref,
                          static_cast<int>(s->pub.ld_deref)) == 0;
}

ULONG SearchSync(LDAP* ld, const char* base, ULONG scope, const char* filter,
                 char** attrs, ULONG attrsonly, const l_timeval* timeout,
                 LDAPMessage** res) {
  if (res != nullptr) *res = nullptr;
  SessionBox* s = ToSession(ld);
  ol::SearchRequest request;
  std::optional<ol::Timeout> wait;
  if (s == nullptr || res == nullptr || !ToTimeout(timeout, &wait) ||
      !MakeSearch(s, base, scope, filter, attrs, attrsonly, &request))
    return Fail(s, LDAP_PARAM_ERROR);
  int msgid = 0;
  if (int rc = ol::Search(s->state->raw, request, &msgid); rc != 0)
    return Fail(s, static_cast<ULONG>(rc));
  s->pub.ld_msgid = static_cast<ULONG>(msgid);
  return AwaitResult(s, msgid, wait, res);
}

// Add and modify: a DN and a list of modifications.
using ModsRequest = int (*)(ol::Session*, const std::string&, const std::vector<ol::Mod>&,
                            const ol::Controls&, const ol::Controls&, int*);

// The checked arguments of a modifications call, or false after recording the
// failure.
bool PrepareMods(LDAP* ld, const char* dn, LDAPModA* mods[], PLDAPControlA* server,
                 PLDAPControlA* client, Call* call, std::vector<ol::Mod>* list) {
  *call = Prepare(ld, dn, server, client);
  if (call->error == LDAP_SUCCESS && !ToMods(mods, list)) call->error = LDAP_PARAM_ERROR;
  if (call->error == LDAP_SUCCESS) return true;
  Fail(call->session, call->error);
  return false;
}

ULONG ModsSync(LDAP* ld, const char* dn, LDAPModA* mods[], PLDAPControlA* server,
               PLDAPControlA* client, ModsRequest request) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    Call call;
    std::vector<ol::Mod> list;
    if (!PrepareMods(ld, dn, mods, server, client, &call, &list)) return call.error;
    return RunSync(call.session, [&](int* id) {
      return request(call.session->state->raw, dn, list, call.server, call.client, id);
    });
  });
}

ULONG ModsAsync(LDAP* ld, const char* dn, LDAPModA* mods[], ModsRequest request) {
  return Guarded<ULONG>(kNoMessage, [&] {
    Call call;
    std::vector<ol::Mod> list;
    if (!PrepareMods(ld, dn, mods, nullptr, nullptr, &call, &list)) return kNoMessage;
    return RunAsync(call.session, [&](int* id) {
      return request(call.session->state->raw, dn, list, {}, {}, id);
    });
  });
}

ULONG ModsExt(LDAP* ld, const char* dn, LDAPModA* mods[], PLDAPControlA* server,
              PLDAPControlA* client, ULONG* number, ModsRequest request) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    Call call;
    std::vector<ol::Mod> list;
    if (!PrepareMods(ld, dn, mods, server, client, &call, &list)) return call.error;
    return RunExt(call.session, number, [&](int* id) {
      return request(call.session->state->raw, dn, list, call.server, call.client, id);
    });
  });
}

// The compare value: Data when given, else the text.
bool CompareValue(const char* text, const berval* data, std::string_view* out) {
  if (data != nullptr) {
    if (data->bv_len != 0 && data->bv_val == nullptr) return false;
    *out = std::string_view(data->bv_len ? data->bv_val : "", data->bv_len);
    return true;
  }
  if (text == nullptr) return false;
  *out = text;
  return true;
}

}  // namespace
}  // namespace kova::wldap

namespace wl = kova::wldap;
using wl::Fail;
using wl::Guarded;
using wl::kNoMessage;

// Searches. The session's ld_timelimit, ld_sizelimit and ld_deref apply
// (LdapServerTest.SizeLimitsComeFromTheSessionOrTheCall).
ULONG ldap_search_sA(LDAP* ld, PCHAR base, ULONG scope, PCHAR filter, PZPSTR attrs,
                     ULONG attrsonly, LDAPMessage** res) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    return wl::SearchSync(ld, base, scope, filter, attrs, attrsonly, nullptr, res);
  });
}

// As ldap_search_sA; timeout bounds the wait for the complete result.
ULONG ldap_search_stA(LDAP* ld, const PCHAR base, ULONG scope, const PCHAR filter,
                      PCHAR attrs[], ULONG attrsonly, struct l_timeval* timeout,
                      LDAPMessage** res) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    return wl::SearchSync(ld, base, scope, filter, attrs, attrsonly, timeout, res);
  });
}

ULONG ldap_searchA(LDAP* ld, const PCHAR base, ULONG scope, const PCHAR filter,
                   PCHAR attrs[], ULONG attrsonly) {
  return Guarded<ULONG>(kNoMessage, [&] {
    wl::SessionBox* s = wl::ToSession(ld);
    wl::ol::SearchRequest request;
    if (s == nullptr ||
        !wl::MakeSearch(s, base, scope, filter, attrs, attrsonly, &request)) {
      Fail(s, LDAP_PARAM_ERROR);
      return kNoMessage;
    }
    return wl::RunAsync(
        s, [&](int* id) { return wl::ol::Search(s->state->raw, request, id); });
  });
}

ULONG ldap_search_extA(LDAP* ld, const PCHAR base, ULONG scope, const PCHAR filter,
                       PCHAR attrs[], ULONG attrsonly, PLDAPControlA* ServerControls,
                       PLDAPControlA* ClientControls, ULONG TimeLimit, ULONG SizeLimit,
                       ULONG* MessageNumber) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::Call call = wl::Prepare(ld, "", ServerControls, ClientControls);
    wl::ol::SearchRequest request;
    if (call.error != LDAP_SUCCESS ||
        !wl::MakeSearch(call.session, base, scope, filter, attrs, attrsonly, &request))
      return Fail(call.session, LDAP_PARAM_ERROR);
    request.server = call.server;
    request.client = call.client;
    request.time_limit = static_cast<int>(TimeLimit);
    request.size_limit = static_cast<int>(SizeLimit);
    return wl::RunExt(call.session, MessageNumber, [&](int* id) {
      return wl::ol::Search(call.session->state->raw, request, id);
    });
  });
}

// A syntax check of the filter text; no server is involved (LdapFilterTest).
ULONG ldap_check_filterA(LDAP* ld, PCHAR SearchFilter) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::SessionBox* s = wl::ToSession(ld);
    if (s == nullptr || SearchFilter == nullptr) return Fail(s, LDAP_PARAM_ERROR);
    return wl::Finish(s,
                      wl::IsValidFilter(SearchFilter) ? LDAP_SUCCESS : LDAP_FILTER_ERROR);
  });
}

// Modify: text values or, with LDAP_MOD_BVALUES, counted values
// (LdapServerTest.ModifyReplacesAddsAndDeletesBinaryValues).
ULONG ldap_modify_sA(LDAP* ld, PCHAR dn, LDAPModA* mods[]) {
  return wl::ModsSync(ld, dn, mods, nullptr, nullptr, wl::ol::Modify);
}

ULONG ldap_modify_ext_sA(LDAP* ld, const PCHAR dn, LDAPModA* mods[],
                         PLDAPControlA* ServerControls, PLDAPControlA* ClientControls) {
  return wl::ModsSync(ld, dn, mods, ServerControls, ClientControls, wl::ol::Modify);
}

ULONG ldap_modifyA(LDAP* ld, PCHAR dn, LDAPModA* mods[]) {
  return wl::ModsAsync(ld, dn, mods, wl::ol::Modify);
}

ULONG ldap_modify_extA(LDAP* ld, const PCHAR dn, LDAPModA* mods[],
                       PLDAPControlA* ServerControls, PLDAPControlA* ClientControls,
                       ULONG* MessageNumber) {
  return wl::ModsExt(ld, dn, mods, ServerControls, ClientControls, MessageNumber,
                     wl::ol::Modify);
}

ULONG ldap_add_sA(LDAP* ld, PCHAR dn, LDAPModA* attrs[]) {
  return wl::ModsSync(ld, dn, attrs, nullptr, nullptr, wl::ol::Add);
}

ULONG ldap_add_ext_sA(LDAP* ld, const PCHAR dn, LDAPModA* attrs[],
                      PLDAPControlA* ServerControls, PLDAPControlA* ClientControls) {
  return wl::ModsSync(ld, dn, attrs, ServerControls, ClientControls, wl::ol::Add);
}

ULONG ldap_addA(LDAP* ld, PCHAR dn, LDAPModA* attrs[]) {
  return wl::ModsAsync(ld, dn, attrs, wl::ol::Add);
}

ULONG ldap_add_extA(LDAP* ld, const PCHAR dn, LDAPModA* attrs[],
                    PLDAPControlA* ServerControls, PLDAPControlA* ClientControls,
                    ULONG* MessageNumber) {
  return wl::ModsExt(ld, dn, attrs, ServerControls, ClientControls, MessageNumber,
                     wl::ol::Add);
}

// Rename and move; a non-leaf entry moves with its subtree where the server allows
// it (LdapServerTest.RenameMovesLeavesAndFoldersWithTheirChildren).
ULONG ldap_rename_ext_sA(LDAP* ld, const PCHAR dn, const PCHAR NewRDN,
                         const PCHAR NewParent, INT DeleteOldRdn,
                         PLDAPControlA* ServerControls, PLDAPControlA* ClientControls) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::Call call = wl::Prepare(ld, dn, ServerControls, ClientControls);
    if (call.error != LDAP_SUCCESS || NewRDN == nullptr)
      return Fail(call.session, LDAP_PARAM_ERROR);
    std::optional<std::string> parent;
    if (NewParent != nullptr) parent = NewParent;
    return wl::RunSync(call.session, [&](int* id) {
      return wl::ol::Rename(call.session->state->raw, dn, NewRDN, parent,
                            DeleteOldRdn != 0, call.server, call.client, id);
    });
  });
}

ULONG ldap_rename_extA(LDAP* ld, const PCHAR dn, const PCHAR NewRDN,
                       const PCHAR NewParent, INT DeleteOldRdn,
                       PLDAPControlA* ServerControls, PLDAPControlA* ClientControls,
                       ULONG* MessageNumber) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::Call call = wl::Prepare(ld, dn, ServerControls, ClientControls);
    if (call.error != LDAP_SUCCESS || NewRDN == nullptr)
      return Fail(call.session, LDAP_PARAM_ERROR);
    std::optional<std::string> parent;
    if (NewParent != nullptr) parent = NewParent;
    return wl::RunExt(call.session, MessageNumber, [&](int* id) {
      return wl::ol::Rename(call.session->state->raw, dn, NewRDN, parent,
                            DeleteOldRdn != 0, call.server, call.client, id);
    });
  });
}

// The old renames are asynchronous and keep the entry under its parent.
ULONG ldap_modrdn2A(LDAP* ExternalHandle, const PCHAR DistinguishedName,
                    const PCHAR NewDistinguishedName, INT DeleteOldRdn) {
  return Guarded<ULONG>(kNoMessage, [&] {
    wl::Call call = wl::Prepare(ExternalHandle, DistinguishedName);
    if (call.error != LDAP_SUCCESS || NewDistinguishedName == nullptr) {
      Fail(call.session, LDAP_PARAM_ERROR);
      return kNoMessage;
    }
    return wl::RunAsync(call.session, [&](int* id) {
      return wl::ol::Rename(call.session->state->raw, DistinguishedName,
                            NewDistinguishedName, std::nullopt, DeleteOldRdn != 0, {}, {},
                            id);
    });
  });
}

ULONG ldap_modrdnA(LDAP* ExternalHandle, const PCHAR DistinguishedName,
                   const PCHAR NewDistinguishedName) {
  return ldap_modrdn2A(ExternalHandle, DistinguishedName, NewDistinguishedName, 1);
}

// Compares: the synchronous forms return LDAP_COMPARE_TRUE or _FALSE, which are not
// failures for LdapGetLastError.
ULONG ldap_compare_ext_sA(LDAP* ld, const PCHAR dn, const PCHAR Attr, const PCHAR Value,
                          struct berval* Data, PLDAPControlA* ServerControls,
                          PLDAPControlA* ClientControls) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::Call call = wl::Prepare(ld, dn, ServerControls, ClientControls);
    std::string_view value;
    if (call.error != LDAP_SUCCESS || Attr == nullptr ||
        !wl::CompareValue(Value, Data, &value))
      return Fail(call.session, LDAP_PARAM_ERROR);
    return wl::RunSync(call.session, [&](int* id) {
      return wl::ol::Compare(call.session->state->raw, dn, Attr, value, call.server,
                             call.client, id);
    });
  });
}

ULONG ldap_compare_sA(LDAP* ld, const PCHAR dn, const PCHAR attr, PCHAR value) {
  return ldap_compare_ext_sA(ld, dn, attr, value, nullptr, nullptr, nullptr);
}

ULONG ldap_compare_extA(LDAP* ld, const PCHAR dn, const PCHAR Attr, const PCHAR Value,
                        struct berval* Data, PLDAPControlA* ServerControls,
                        PLDAPControlA* ClientControls, ULONG* MessageNumber) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::Call call = wl::Prepare(ld, dn, ServerControls, ClientControls);
    std::string_view value;
    if (call.error != LDAP_SUCCESS || Attr == nullptr ||
        !wl::CompareValue(Value, Data, &value))
      return Fail(call.session, LDAP_PARAM_ERROR);
    return wl::RunExt(call.session, MessageNumber, [&](int* id) {
      return wl::ol::Compare(call.session->state->raw, dn, Attr, value, call.server,
                             call.client, id);
    });
  });
}

ULONG ldap_compareA(LDAP* ld, const PCHAR dn, const PCHAR attr, PCHAR value) {
  return Guarded<ULONG>(kNoMessage, [&] {
    wl::Call call = wl::Prepare(ld, dn);
    std::string_view text;
    if (call.error != LDAP_SUCCESS || attr == nullptr ||
        !wl::CompareValue(value, nullptr, &text)) {
      Fail(call.session, LDAP_PARAM_ERROR);
      return kNoMessage;
    }
    return wl::RunAsync(call.session, [&](int* id) {
      return wl::ol::Compare(call.session->state->raw, dn, attr, text, {}, {}, id);
    });
  });
}

ULONG ldap_delete_ext_sA(LDAP* ld, const PCHAR dn, PLDAPControlA* ServerControls,
                         PLDAPControlA* ClientControls) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::Call call = wl::Prepare(ld, dn, ServerControls, ClientControls);
    if (call.error != LDAP_SUCCESS) return Fail(call.session, call.error);
    return wl::RunSync(call.session, [&](int* id) {
      return wl::ol::Delete(call.session->state->raw, dn, call.server, call.client, id);
    });
  });
}

ULONG ldap_delete_sA(LDAP* ld, const PCHAR dn) {
  return ldap_delete_ext_sA(ld, dn, nullptr, nullptr);
}

ULONG ldap_delete_extA(LDAP* ld, const PCHAR dn, PLDAPControlA* ServerControls,
                       PLDAPControlA* ClientControls, ULONG* MessageNumber) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::Call call = wl::Prepare(ld, dn, ServerControls, ClientControls);
    if (call.error != LDAP_SUCCESS) return Fail(call.session, call.error);
    return wl::RunExt(call.session, MessageNumber, [&](int* id) {
      return wl::ol::Delete(call.session->state->raw, dn, call.server, call.client, id);
    });
  });
}

ULONG ldap_deleteA(LDAP* ld, const PCHAR dn) {
  return Guarded<ULONG>(kNoMessage, [&] {
    wl::Call call = wl::Prepare(ld, dn);
    if (call.error != LDAP_SUCCESS) {
      Fail(call.session, call.error);
      return kNoMessage;
    }
    return wl::RunAsync(call.session, [&](int* id) {
      return wl::ol::Delete(call.session->state->raw, dn, {}, {}, id);
    });
  });
}

ULONG ldap_abandon(LDAP* ld, ULONG msgid) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::SessionBox* s = wl::ToSession(ld);
    if (s == nullptr) return Fail(nullptr, LDAP_PARAM_ERROR);
    return wl::Finish(
        s, static_cast<ULONG>(wl::ol::Abandon(s->state->raw, static_cast<int>(msgid))));
  });
}

// The type of the first message received, 0 when the time-out expired, (ULONG)-1
// on failure (LdapServerTest.AsynchronousCallsDeliverThroughResult).
ULONG ldap_result(LDAP* ld, ULONG msgid, ULONG all, struct l_timeval* timeout,
                  LDAPMessage** res) {
  return Guarded<ULONG>(kNoMessage, [&] {
    if (res != nullptr) *res = nullptr;
    wl::SessionBox* s = wl::ToSession(ld);
    std::optional<wl::ol::Timeout> wait;
    if (s == nullptr || res == nullptr || all > LDAP_MSG_RECEIVED ||
        !wl::ToTimeout(timeout, &wait)) {
      Fail(s, LDAP_PARAM_ERROR);
      return kNoMessage;
    }
    wl::ol::Message* raw = nullptr;
    int code = 0;
    int type = wl::ol::WaitResult(s->state->raw, static_cast<int>(msgid),
                                  static_cast<int>(all), wait, &raw, &code);
    if (type < 0) {
      Fail(s, static_cast<ULONG>(code));
      return kNoMessage;
    }
    if (type == 0) {
      wl::Fail(s, LDAP_TIMEOUT);
      return static_cast<ULONG>(0);
    }
    *res = wl::WrapChain(s, raw);
    s->pub.ld_errno = LDAP_SUCCESS;
    return static_cast<ULONG>(type);
  });
}

// Frees a result chain given by its head; an entry of a chain is freed with it.
ULONG ldap_msgfree(LDAPMessage* res) {
  wl::MessageBox* m = wl::ToMessage(res);
  if (m == nullptr) return LDAP_SUCCESS;
  if (&m->chain->messages.front()->pub == res) delete m->chain;
  return LDAP_SUCCESS;
}

ULONG ldap_result2error(LDAP* ld, LDAPMessage* res, ULONG freeit) {
  wl::MessageBox* m = wl::ToMessage(res);
  wl::SessionBox* s = wl::ToSession(ld);
  if (m == nullptr) return Fail(s, LDAP_PARAM_ERROR);
  ULONG code = wl::ChainResultCode(m);
  if (freeit) ldap_msgfree(res);
  return wl::Finish(s, code);
}
