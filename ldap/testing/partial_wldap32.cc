// A build of the LDAP client library that lacks one entry point
// (ldap_start_tls_sA): every other name of the table is exported as a function
// that is never called. It lands in a folder of its own as libwldap32.so, so that
// a process whose system folder is that folder binds it instead of the real one.
#include "ldap/ldap_entry_points.h"

// The missing name is exported under another one.
#define ldap_start_tls_sA kova_not_ldap_start_tls_sA

#define KOVA_DEFINE_UNUSED_ENTRY(name) \
  extern "C" __attribute__((visibility("default"))) void name() {}
KOVA_LDAP_ENTRY_POINTS(KOVA_DEFINE_UNUSED_ENTRY)
