// Result codes: the per-thread last error, the mapping to system error codes and
// the code texts.
#include <utility>

#include "ldap/wldap32/wldap_internal.h"

namespace kova::wldap {
namespace {

thread_local ULONG g_last_error = LDAP_SUCCESS;

struct CodeText {
  ULONG code;
  const char* text;
};

constexpr CodeText kCodeTexts[] = {
    {LDAP_SUCCESS, "Success"},
    {LDAP_OPERATIONS_ERROR, "Operations error"},
    {LDAP_PROTOCOL_ERROR, "Protocol error"},
    {LDAP_TIMELIMIT_EXCEEDED, "Time limit exceeded"},
    {LDAP_SIZELIMIT_EXCEEDED, "Size limit exceeded"},
    {LDAP_COMPARE_FALSE, "Compare false"},
    {LDAP_COMPARE_TRUE, "Compare true"},
    {LDAP_AUTH_METHOD_NOT_SUPPORTED, "Authentication method not supported"},
    {LDAP_STRONG_AUTH_REQUIRED, "Strong authentication required"},
    {LDAP_PARTIAL_RESULTS, "Partial results and referral received"},
    {LDAP_REFERRAL, "Referral"},
    {LDAP_ADMIN_LIMIT_EXCEEDED, "Administrative limit exceeded"},
    {LDAP_UNAVAILABLE_CRIT_EXTENSION, "Critical extension unavailable"},
    {LDAP_CONFIDENTIALITY_REQUIRED, "Confidentiality required"},
    {LDAP_SASL_BIND_IN_PROGRESS, "SASL bind in progress"},
    {LDAP_NO_SUCH_ATTRIBUTE, "No such attribute"},
    {LDAP_UNDEFINED_TYPE, "Undefined attribute type"},
    {LDAP_INAPPROPRIATE_MATCHING, "Inappropriate matching"},
    {LDAP_CONSTRAINT_VIOLATION, "Constraint violation"},
    {LDAP_ATTRIBUTE_OR_VALUE_EXISTS, "Attribute or value exists"},
    {LDAP_INVALID_SYNTAX, "Invalid syntax"},
    {LDAP_NO_SUCH_OBJECT, "No such object"},
    {LDAP_ALIAS_PROBLEM, "Alias problem"},
    {LDAP_INVALID_DN_SYNTAX, "Invalid DN syntax"},
    {LDAP_IS_LEAF, "Entry is a leaf"},
    {LDAP_ALIAS_DEREF_PROBLEM, "Alias dereferencing problem"},
    {LDAP_INAPPROPRIATE_AUTH, "Inappropriate authentication"},
    {LDAP_INVALID_CREDENTIALS, "Invalid credentials"},
    {LDAP_INSUFFICIENT_RIGHTS, "Insufficient access rights"},
    {LDAP_BUSY, "Server busy"},
    {LDAP_UNAVAILABLE, "Server unavailable"},
    {LDAP_UNWILLING_TO_PERFORM, "Server unwilling to perform"},
    {LDAP_LOOP_DETECT, "Loop detected"},
    {LDAP_SORT_CONTROL_MISSING, "Sort control missing"},
    {LDAP_OFFSET_RANGE_ERROR, "Offset range error"},
    {LDAP_NAMING_VIOLATION, "Naming violation"},
    {LDAP_OBJECT_CLASS_VIOLATION, "Object class violation"},
    {LDAP_NOT_ALLOWED_ON_NONLEAF, "Operation not allowed on a non-leaf entry"},
    {LDAP_NOT_ALLOWED_ON_RDN, "Operation not allowed on the RDN"},
    {LDAP_ALREADY_EXISTS, "Entry already exists"},
    {LDAP_NO_OBJECT_CLASS_MODS, "Object class modifications not allowed"},
    {LDAP_RESULTS_TOO_LARGE, "Results too large"},
    {LDAP_AFFECTS_MULTIPLE_DSAS, "Operation affects multiple servers"},
    {LDAP_VIRTUAL_LIST_VIEW_ERROR, "Virtual list view error"},
    {LDAP_OTHER, "Other error"},
    {LDAP_SERVER_DOWN, "Cannot contact the LDAP server"},
    {LDAP_LOCAL_ERROR, "Local error"},
    {LDAP_ENCODING_ERROR, "Encoding error"},
    {LDAP_DECODING_ERROR, "Decoding error"},
    {LDAP_TIMEOUT, "Timed out"},
    {LDAP_AUTH_UNKNOWN, "Unknown authentication method"},
    {LDAP_FILTER_ERROR, "Bad search filter"},
    {LDAP_USER_CANCELLED, "Cancelled by the user"},
    {LDAP_PARAM_ERROR, "Bad parameter"},
    {LDAP_NO_MEMORY, "Out of memory"},
    {LDAP_CONNECT_ERROR, "Connect error"},
    {LDAP_NOT_SUPPORTED, "Not supported"},
    {LDAP_CONTROL_NOT_FOUND, "Control not found"},
    {LDAP_NO_RESULTS_RETURNED, "No results returned"},
    {LDAP_MORE_RESULTS_TO_RETURN, "More results to return"},
    {LDAP_CLIENT_LOOP, "Client loop detected"},
    {LDAP_REFERRAL_LIMIT_EXCEEDED, "Referral limit exceeded"},
};

// LDAP result code -> system error code; every other code is
// ERROR_DS_GENERIC_ERROR (8341).
constexpr std::pair<ULONG, ULONG> kWin32Codes[] = {
    {0, 0},     {1, 110},   {2, 124},   {3, 1460},  {4, 234},   {7, 5},     {8, 5},
    {9, 234},   {10, 234},  {11, 1816}, {12, 1003}, {16, 87},   {18, 87},   {19, 87},
    {20, 183},  {21, 123},  {32, 2},    {34, 87},   {48, 5},    {49, 1323}, {50, 5},
    {51, 170},  {52, 55},   {53, 1003}, {60, 8261}, {61, 8262}, {64, 87},   {65, 87},
    {66, 1003}, {67, 5},    {68, 183},  {69, 5},    {70, 122},  {71, 1003}, {81, 58},
    {83, 59},   {84, 59},   {85, 1053}, {86, 1323}, {87, 87},   {88, 1223}, {89, 87},
    {90, 8},    {91, 1225}, {92, 1003}, {93, 1168}, {94, 234},  {95, 234},
};
constexpr ULONG kGenericDirectoryError = 8341;

bool IsFailure(ULONG code) {
  return code != LDAP_SUCCESS && code != LDAP_COMPARE_TRUE && code != LDAP_COMPARE_FALSE;
}

}  // namespace

void SetLastLdapError(ULONG code) { g_last_error = code; }

ULONG Fail(SessionBox* session, ULONG code) {
  g_last_error = code;
  if (session != nullptr) session->pub.ld_errno = code;
  return code;
}

ULONG Finish(SessionBox* session, ULONG code) {
  if (IsFailure(code)) return Fail(session, code);
  if (session != nullptr) session->pub.ld_errno = code;
  return code;
}

}  // namespace kova::wldap

// The result code of the last failing call on this thread (win32-facts: last failure
// only). Pinned by LdapErrorTest.LastErrorIsTheLastFailureOfTheThread.
ULONG LdapGetLastError(VOID) { return kova::wldap::g_last_error; }

// The platform's mapping table, exactly. Pinned by LdapMapErrorToWin32Test.
ULONG LdapMapErrorToWin32(ULONG LdapError) {
  for (const auto& [ldap, win32] : kova::wldap::kWin32Codes)
    if (ldap == LdapError) return win32;
  return kova::wldap::kGenericDirectoryError;
}

// A static text for every code; unknown codes share one text.
PCHAR ldap_err2stringA(ULONG err) {
  for (const auto& entry : kova::wldap::kCodeTexts)
    if (entry.code == err) return const_cast<PCHAR>(entry.text);
  return const_cast<PCHAR>("Unknown error");
}
