// Walking results: entries, attributes, values and DNs, and the release calls.
#include <cstdlib>

#include "ldap/wldap32/wldap_internal.h"

namespace kova::wldap {
namespace {

LDAPMessage* EntryFrom(MessageBox* m, bool skip_self) {
  bool seen = false;
  for (const auto& item : m->chain->messages) {
    if (!seen) {
      seen = item.get() == m;
      if (!seen || skip_self) continue;
    }
    if (item->pub.lm_msgtype == LDAP_RES_SEARCH_ENTRY) return &item->pub;
  }
  return nullptr;
}

// The session and entry of a value call, or null after recording the failure.
bool EntryCall(LDAP* ld, LDAPMessage* entry, const char* attr, SessionBox** s,
               MessageBox** m) {
  *s = ToSession(ld);
  *m = ToMessage(entry);
  if (*s == nullptr || *m == nullptr || attr == nullptr ||
      (*m)->pub.lm_msgtype != LDAP_RES_SEARCH_ENTRY) {
    Fail(*s, LDAP_PARAM_ERROR);
    return false;
  }
  return true;
}

}  // namespace
}  // namespace kova::wldap

namespace wl = kova::wldap;
using wl::Fail;
using wl::Guarded;

// The first entry at or after res in its result
// (LdapServerTest.SearchScopesWalkEntriesAttributesAndValues).
LDAPMessage* ldap_first_entry(LDAP* ld, LDAPMessage* res) {
  wl::MessageBox* m = wl::ToMessage(res);
  if (wl::ToSession(ld) == nullptr || m == nullptr) {
    Fail(wl::ToSession(ld), LDAP_PARAM_ERROR);
    return nullptr;
  }
  return wl::EntryFrom(m, false);
}

LDAPMessage* ldap_next_entry(LDAP* ld, LDAPMessage* entry) {
  wl::MessageBox* m = wl::ToMessage(entry);
  if (wl::ToSession(ld) == nullptr || m == nullptr) {
    Fail(wl::ToSession(ld), LDAP_PARAM_ERROR);
    return nullptr;
  }
  return wl::EntryFrom(m, true);
}

// The number of entries from res on; (ULONG)-1 for a bad argument.
ULONG ldap_count_entries(LDAP* ld, LDAPMessage* res) {
  wl::MessageBox* m = wl::ToMessage(res);
  if (wl::ToSession(ld) == nullptr || m == nullptr) {
    Fail(wl::ToSession(ld), LDAP_PARAM_ERROR);
    return static_cast<ULONG>(-1);
  }
  ULONG count = 0;
  for (LDAPMessage* e = wl::EntryFrom(m, false); e != nullptr;
       e = wl::EntryFrom(wl::ToMessage(e), true))
    ++count;
  return count;
}

// Attribute names in server order; the cursor holds the rest of them
// (LdapServerTest.SearchScopesWalkEntriesAttributesAndValues).
PCHAR ldap_first_attributeA(LDAP* ld, LDAPMessage* entry, BerElement** ptr) {
  return Guarded<PCHAR>(nullptr, [&]() -> PCHAR {
    if (ptr != nullptr) *ptr = nullptr;
    wl::SessionBox* s = nullptr;
    wl::MessageBox* m = nullptr;
    if (ptr == nullptr || !wl::EntryCall(ld, entry, "", &s, &m)) {
      Fail(s, LDAP_PARAM_ERROR);
      return nullptr;
    }
    std::vector<std::string> names;
    if (ULONG rc =
            static_cast<ULONG>(wl::ol::AttributeNames(s->state->raw, m->raw, &names))) {
      Fail(s, rc);
      return nullptr;
    }
    wl::CursorBox* cursor = wl::NewCursor(std::move(names));
    *ptr = &cursor->pub;
    return ldap_next_attributeA(ld, entry, *ptr);
  });
}

PCHAR ldap_next_attributeA(LDAP* ld, LDAPMessage* entry, BerElement* ptr) {
  return Guarded<PCHAR>(nullptr, [&]() -> PCHAR {
    wl::CursorBox* cursor = wl::ToCursor(ptr);
    if (cursor == nullptr || wl::ToSession(ld) == nullptr ||
        wl::ToMessage(entry) == nullptr) {
      Fail(wl::ToSession(ld), LDAP_PARAM_ERROR);
      return nullptr;
    }
    wl::CursorState& state = *cursor->state;
    if (state.next >= state.names.size()) return nullptr;
    return wl::CopyString(state.names[state.next++]);
  });
}

// Text values; a missing attribute gives null with LDAP_NO_SUCH_ATTRIBUTE.
PCHAR* ldap_get_valuesA(LDAP* ld, LDAPMessage* entry, const PCHAR attr) {
  return Guarded<PCHAR*>(nullptr, [&]() -> PCHAR* {
    wl::SessionBox* s = nullptr;
    wl::MessageBox* m = nullptr;
    if (!wl::EntryCall(ld, entry, attr, &s, &m)) return nullptr;
    std::vector<std::string> values;
    if (ULONG rc = static_cast<ULONG>(
            wl::ol::AttributeValues(s->state->raw, m->raw, attr, &values))) {
      Fail(s, rc);
      return nullptr;
    }
    return wl::MakeStringArray(values);
  });
}

// Counted values: every byte, NULs included
// (LdapServerTest.StoredBytesMatchWhatLdapsearchReads).
struct berval** ldap_get_values_lenA(LDAP* ExternalHandle, LDAPMessage* Message,
                                     const PCHAR attr) {
  return Guarded<berval**>(nullptr, [&]() -> berval** {
    wl::SessionBox* s = nullptr;
    wl::MessageBox* m = nullptr;
    if (!wl::EntryCall(ExternalHandle, Message, attr, &s, &m)) return nullptr;
    std::vector<std::string> values;
    if (ULONG rc = static_cast<ULONG>(
            wl::ol::AttributeValues(s->state->raw, m->raw, attr, &values))) {
      Fail(s, rc);
      return nullptr;
    }
    return wl::MakeBervalArray(values);
  });
}

ULONG ldap_count_valuesA(PCHAR* vals) {
  ULONG count = 0;
  while (vals != nullptr && vals[count] != nullptr) ++count;
  return count;
}

// Each array is one block (see MakeStringArray / MakeBervalArray).
ULONG ldap_value_freeA(PCHAR* vals) {
  std::free(vals);
  return LDAP_SUCCESS;
}

ULONG ldap_value_free_len(struct berval** vals) {
  std::free(vals);
  return LDAP_SUCCESS;
}

PCHAR ldap_get_dnA(LDAP* ld, LDAPMessage* entry) {
  return Guarded<PCHAR>(nullptr, [&]() -> PCHAR {
    wl::SessionBox* s = nullptr;
    wl::MessageBox* m = nullptr;
    if (!wl::EntryCall(ld, entry, "", &s, &m)) return nullptr;
    std::string dn;
    if (ULONG rc = static_cast<ULONG>(wl::ol::EntryDn(s->state->raw, m->raw, &dn))) {
      Fail(s, rc);
      return nullptr;
    }
    return wl::CopyString(dn);
  });
}

VOID ldap_memfreeA(PCHAR Block) { std::free(Block); }

// The cursor owns no separate buffer, so fbuf changes nothing.
VOID ber_free(BerElement* pBerElement, INT fbuf) {
  if (wl::CursorBox* cursor = wl::ToCursor(pBerElement)) wl::DestroyCursor(cursor);
}

VOID ber_bvfree(BERVAL* bv) {
  if (bv == nullptr) return;
  std::free(bv->bv_val);
  std::free(bv);
}
