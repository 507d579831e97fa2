// Distinguished names: splitting into RDNs and the user-friendly forms.
#include <cctype>

#include "ldap/wldap32/wldap_internal.h"

namespace kova::wldap {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  // A trailing space escaped with a backslash belongs to the value.
  while (!text.empty() && text.back() == ' ' &&
         !(text.size() >= 2 && text[text.size() - 2] == '\\'))
    text.remove_suffix(1);
  return text;
}

// Splits at the separators that are neither escaped nor quoted.
std::vector<std::string_view> SplitUnescaped(std::string_view text,
                                             std::string_view seps) {
  std::vector<std::string_view> parts;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\') {
      ++i;
      continue;
    }
    if (text[i] == '"') quoted = !quoted;
    if (!quoted && seps.find(text[i]) != std::string_view::npos) {
      parts.push_back(Trim(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  parts.push_back(Trim(text.substr(start)));
  return parts;
}

// The RDN texts as written in `dn`, or the parser's re-encoding when the text cannot
// be sliced the way the parser read it. Null for an invalid DN.
std::optional<std::vector<std::string>> ExplodeDn(const std::string& dn, bool notypes) {
  std::vector<std::string> parsed;
  if (ol::ParseDn(dn, &parsed) != 0) return std::nullopt;
  if (parsed.empty()) return parsed;
  std::vector<std::string> rdns;
  std::vector<std::string_view> pieces = SplitUnescaped(dn, ",;");
  if (pieces.size() == parsed.size()) {
    for (std::string_view p : pieces) rdns.emplace_back(p);
  } else {
    rdns = parsed;
  }
  if (!notypes) return rdns;
  for (std::string& rdn : rdns) {
    std::string values;
    for (std::string_view ava : SplitUnescaped(rdn, "+")) {
      size_t eq = ava.find('=');
      if (!values.empty()) values.push_back('+');
      values.append(Trim(eq == std::string_view::npos ? ava : ava.substr(eq + 1)));
    }
    rdn = std::move(values);
  }
  return rdns;
}

bool HasType(std::string_view component) {
  return SplitUnescaped(component, "=").size() > 1;
}

}  // namespace
}  // namespace kova::wldap

namespace wl = kova::wldap;
using wl::Fail;
using wl::Guarded;

// Escapes and quotes are honoured; each RDN keeps the text it had in dn; notypes 1
// keeps only the values (LdapDnTest.ExplodeKeepsEscapesQuotesAndMultiValuedRdns).
PCHAR* ldap_explode_dnA(const PCHAR dn, ULONG notypes) {
  return Guarded<PCHAR*>(nullptr, [&]() -> PCHAR* {
    if (dn == nullptr) {
      Fail(nullptr, LDAP_PARAM_ERROR);
      return nullptr;
    }
    std::optional<std::vector<std::string>> rdns = wl::ExplodeDn(dn, notypes != 0);
    if (!rdns) {
      Fail(nullptr, LDAP_INVALID_DN_SYNTAX);
      return nullptr;
    }
    return wl::MakeStringArray(*rdns);
  });
}

PCHAR ldap_dn2ufnA(const PCHAR dn) {
  return Guarded<PCHAR>(nullptr, [&]() -> PCHAR {
    std::string ufn;
    if (dn == nullptr) {
      Fail(nullptr, LDAP_PARAM_ERROR);
      return nullptr;
    }
    if (ULONG rc = static_cast<ULONG>(wl::ol::DnToUfn(dn, &ufn))) {
      Fail(nullptr, rc);
      return nullptr;
    }
    return wl::CopyString(ufn);
  });
}

// Components without a type get "CN=" (the first) or "OU=" (the others); when the
// result is still not a DN the text is returned unchanged, as published.
ULONG ldap_ufn2dnA(const PCHAR ufn, PCHAR* pDn) {
  return Guarded<ULONG>(LDAP_NO_MEMORY, [&] {
    if (pDn != nullptr) *pDn = nullptr;
    if (ufn == nullptr || pDn == nullptr) return Fail(nullptr, LDAP_PARAM_ERROR);
    std::string dn;
    std::vector<std::string_view> parts = wl::SplitUnescaped(ufn, ",");
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i > 0) dn.push_back(',');
      if (!wl::HasType(parts[i])) dn += i == 0 ? "CN=" : "OU=";
      dn.append(parts[i]);
    }
    std::vector<std::string> check;
    *pDn = wl::CopyString(wl::ol::ParseDn(dn, &check) == 0 ? dn : std::string(ufn));
    return static_cast<ULONG>(LDAP_SUCCESS);
  });
}
