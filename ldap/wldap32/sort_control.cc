// Server-side sort controls (RFC 2891): the request control and its response.
#include <cstdlib>
#include <cstring>

#include "ldap/wldap32/wldap_internal.h"

namespace kova::wldap {
namespace {

[[nodiscard]] bool ToSortKeys(PLDAPSortKeyA* keys, std::vector<ol::SortKey>* out) {
  if (keys == nullptr || keys[0] == nullptr) return false;
  for (size_t i = 0; keys[i] != nullptr; ++i) {
    if (keys[i]->sk_attrtype == nullptr) return false;
    ol::SortKey key;
    key.attribute = keys[i]->sk_attrtype;
    if (keys[i]->sk_matchruleoid != nullptr) key.ordering_rule = keys[i]->sk_matchruleoid;
    key.reverse = keys[i]->sk_reverseorder != 0;
    out->push_back(std::move(key));
  }
  return true;
}

ULONG Encode(LDAP* ld, PLDAPSortKeyA* keys, std::string* value) {
  SessionBox* s = ToSession(ld);
  std::vector<ol::SortKey> list;
  if (s == nullptr || !ToSortKeys(keys, &list)) return Fail(s, LDAP_PARAM_ERROR);
  return Finish(s, static_cast<ULONG>(ol::EncodeSortKeys(s->state->raw, list, value)));
}

}  // namespace
}  // namespace kova::wldap

namespace wl = kova::wldap;
using wl::Fail;
using wl::Guarded;

// One block holding the control, its OID and its value; ldap_memfreeA frees it
// (LdapSortControlTest).
ULONG ldap_create_sort_controlA(PLDAP ExternalHandle, PLDAPSortKeyA* SortKeys,
                                UCHAR IsCritical, PLDAPControlA* Control) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    if (Control == nullptr) return Fail(wl::ToSession(ExternalHandle), LDAP_PARAM_ERROR);
    *Control = nullptr;
    std::string value;
    if (ULONG rc = wl::Encode(ExternalHandle, SortKeys, &value)) return rc;
    const size_t oid_size = sizeof(LDAP_SERVER_SORT_OID);
    auto* block = static_cast<char*>(
        std::malloc(sizeof(LDAPControlA) + oid_size + value.size() + 1));
    if (block == nullptr) return Fail(wl::ToSession(ExternalHandle), LDAP_NO_MEMORY);
    auto* control = reinterpret_cast<LDAPControlA*>(block);
    char* oid = block + sizeof(LDAPControlA);
    char* bytes = oid + oid_size;
    std::memcpy(oid, LDAP_SERVER_SORT_OID, oid_size);
    std::memcpy(bytes, value.data(), value.size());
    bytes[value.size()] = '\0';
    control->ldctl_oid = oid;
    control->ldctl_value.bv_len = static_cast<ULONG>(value.size());
    control->ldctl_value.bv_val = bytes;
    control->ldctl_iscritical = IsCritical ? 1 : 0;
    *Control = control;
    return static_cast<ULONG>(LDAP_SUCCESS);
  });
}

// Fills the caller's control; its OID and value are separate ldap_memfreeA blocks.
ULONG ldap_encode_sort_controlA(PLDAP ExternalHandle, PLDAPSortKeyA* SortKeys,
                                PLDAPControlA Control, BOOLEAN Criticality) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    if (Control == nullptr) return Fail(wl::ToSession(ExternalHandle), LDAP_PARAM_ERROR);
    std::string value;
    if (ULONG rc = wl::Encode(ExternalHandle, SortKeys, &value)) return rc;
    char* oid = wl::CopyString(LDAP_SERVER_SORT_OID);
    char* bytes = nullptr;
    try {
      bytes = wl::CopyString(value);
    } catch (...) {
      std::free(oid);
      throw;
    }
    Control->ldctl_oid = oid;
    Control->ldctl_value.bv_len = static_cast<ULONG>(value.size());
    Control->ldctl_value.bv_val = bytes;
    Control->ldctl_iscritical = Criticality ? 1 : 0;
    return static_cast<ULONG>(LDAP_SUCCESS);
  });
}

// Finds the sort response among the controls; LDAP_CONTROL_NOT_FOUND without one.
ULONG ldap_parse_sort_controlA(PLDAP ExternalHandle, PLDAPControlA* Control,
                               ULONG* Result, PCHAR* Attribute) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    wl::SessionBox* s = wl::ToSession(ExternalHandle);
    if (Attribute != nullptr) *Attribute = nullptr;
    if (s == nullptr || Result == nullptr) return Fail(s, LDAP_PARAM_ERROR);
    for (size_t i = 0; Control != nullptr && Control[i] != nullptr; ++i) {
      const LDAPControlA& c = *Control[i];
      if (c.ldctl_oid == nullptr ||
          std::strcmp(c.ldctl_oid, LDAP_SERVER_RESP_SORT_OID) != 0)
        continue;
      if (c.ldctl_value.bv_val == nullptr) return Fail(s, LDAP_DECODING_ERROR);
      int result = 0;
      std::optional<std::string> attribute;
      if (ULONG rc = static_cast<ULONG>(wl::ol::DecodeSortResponse(
              s->state->raw, std::string_view(c.ldctl_value.bv_val, c.ldctl_value.bv_len),
              &result, &attribute)))
        return Fail(s, rc);
      *Result = static_cast<ULONG>(result);
      if (Attribute != nullptr && attribute) *Attribute = wl::CopyString(*attribute);
      return wl::Finish(s, LDAP_SUCCESS);
    }
    return Fail(s, LDAP_CONTROL_NOT_FOUND);
  });
}
