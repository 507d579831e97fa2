// The platform LDAP client library (wldap32.dll): the ANSI entry points that the
// LDAP storage resolves at run time, with the platform's signatures, structures,
// constants and ownership rules. The library is libwldap32.so; LoadLibraryA
// ("wldap32.dll") finds it beside the platform stand-in.
//
// Conventions of every entry point:
// - Synchronous calls (..._s, ..._sA, ldap_connect, ldap_set_option, ...) return an
//   LDAP result code, LDAP_SUCCESS (0) meaning success. Client-side failures use the
//   platform's numbering (LDAP_SERVER_DOWN 0x51 ... LDAP_REFERRAL_LIMIT_EXCEEDED 0x61).
// - Asynchronous calls (ldap_searchA, ldap_addA, ...) return a message number, or
//   (ULONG)-1 when the request could not be sent.
// - Every failing call records its result code for LdapGetLastError on the calling
//   thread and in the session's ld_errno; successful calls leave LdapGetLastError
//   alone.
// - A null session, message or required string is refused with LDAP_PARAM_ERROR
//   (or a null result where the call returns a pointer); nothing crashes on it.
// - Strings and arrays handed back are owned by the caller: ldap_memfreeA for a
//   string (DN, attribute name, UFN, sort-control attribute, a whole control made by
//   ldap_create_sort_controlA), ldap_value_freeA for the arrays of
//   ldap_get_valuesA and ldap_explode_dnA, ldap_value_free_len for those of
//   ldap_get_values_lenA, ber_free(cursor, 0) for the attribute cursor,
//   ldap_msgfree for results.
// - Sessions, results and cursors may be used from one thread at a time.
#ifndef KOVA_LDAP_WLDAP32_WINLDAP_H_
#define KOVA_LDAP_WLDAP32_WINLDAP_H_

#include "winapi_decl.h"
#include "windef.h"

#define WINLDAPAPI __attribute__((visibility("default")))
#define LDAPAPI

typedef unsigned char BOOLEAN;
typedef char* PCHAR;
typedef char** PZPSTR;

// Ports and versions.
#define LDAP_PORT 389
#define LDAP_SSL_PORT 636
#define LDAP_GC_PORT 3268
#define LDAP_SSL_GC_PORT 3269
#define LDAP_VERSION1 1
#define LDAP_VERSION2 2
#define LDAP_VERSION3 3
#define LDAP_VERSION LDAP_VERSION2

// Result codes (LDAP_RETCODE).
#define LDAP_SUCCESS 0x00
#define LDAP_OPERATIONS_ERROR 0x01
#define LDAP_PROTOCOL_ERROR 0x02
#define LDAP_TIMELIMIT_EXCEEDED 0x03
#define LDAP_SIZELIMIT_EXCEEDED 0x04
#define LDAP_COMPARE_FALSE 0x05
#define LDAP_COMPARE_TRUE 0x06
#define LDAP_AUTH_METHOD_NOT_SUPPORTED 0x07
#define LDAP_STRONG_AUTH_REQUIRED 0x08
#define LDAP_REFERRAL_V2 0x09
#define LDAP_PARTIAL_RESULTS 0x09
#define LDAP_REFERRAL 0x0a
#define LDAP_ADMIN_LIMIT_EXCEEDED 0x0b
#define LDAP_UNAVAILABLE_CRIT_EXTENSION 0x0c
#define LDAP_CONFIDENTIALITY_REQUIRED 0x0d
#define LDAP_SASL_BIND_IN_PROGRESS 0x0e
#define LDAP_NO_SUCH_ATTRIBUTE 0x10
#define LDAP_UNDEFINED_TYPE 0x11
#define LDAP_INAPPROPRIATE_MATCHING 0x12
#define LDAP_CONSTRAINT_VIOLATION 0x13
#define LDAP_ATTRIBUTE_OR_VALUE_EXISTS 0x14
#define LDAP_INVALID_SYNTAX 0x15
#define LDAP_NO_SUCH_OBJECT 0x20
#define LDAP_ALIAS_PROBLEM 0x21
#define LDAP_INVALID_DN_SYNTAX 0x22
#define LDAP_IS_LEAF 0x23
#define LDAP_ALIAS_DEREF_PROBLEM 0x24
#define LDAP_INAPPROPRIATE_AUTH 0x30
#define LDAP_INVALID_CREDENTIALS 0x31
#define LDAP_INSUFFICIENT_RIGHTS 0x32
#define LDAP_BUSY 0x33
#define LDAP_UNAVAILABLE 0x34
#define LDAP_UNWILLING_TO_PERFORM 0x35
#define LDAP_LOOP_DETECT 0x36
#define LDAP_SORT_CONTROL_MISSING 0x3c
#define LDAP_OFFSET_RANGE_ERROR 0x3d
#define LDAP_NAMING_VIOLATION 0x40
#define LDAP_OBJECT_CLASS_VIOLATION 0x41
#define LDAP_NOT_ALLOWED_ON_NONLEAF 0x42
#define LDAP_NOT_ALLOWED_ON_RDN 0x43
#define LDAP_ALREADY_EXISTS 0x44
#define LDAP_NO_OBJECT_CLASS_MODS 0x45
#define LDAP_RESULTS_TOO_LARGE 0x46
#define LDAP_AFFECTS_MULTIPLE_DSAS 0x47
#define LDAP_VIRTUAL_LIST_VIEW_ERROR 0x4c
#define LDAP_OTHER 0x50
#define LDAP_SERVER_DOWN 0x51
#define LDAP_LOCAL_ERROR 0x52
#define LDAP_ENCODING_ERROR 0x53
#define LDAP_DECODING_ERROR 0x54
#define LDAP_TIMEOUT 0x55
#define LDAP_AUTH_UNKNOWN 0x56
#define LDAP_FILTER_ERROR 0x57
#define LDAP_USER_CANCELLED 0x58
#define LDAP_PARAM_ERROR 0x59
#define LDAP_NO_MEMORY 0x5a
#define LDAP_CONNECT_ERROR 0x5b
#define LDAP_NOT_SUPPORTED 0x5c
#define LDAP_CONTROL_NOT_FOUND 0x5d
#define LDAP_NO_RESULTS_RETURNED 0x5e
#define LDAP_MORE_RESULTS_TO_RETURN 0x5f
#define LDAP_CLIENT_LOOP 0x60
#define LDAP_REFERRAL_LIMIT_EXCEEDED 0x61

// Authentication methods.
#define LDAP_AUTH_SIMPLE 0x80
#define LDAP_AUTH_SASL 0x83
#define LDAP_AUTH_OTHERKIND 0x86
#define LDAP_AUTH_SICILY (LDAP_AUTH_OTHERKIND | 0x0200)
#define LDAP_AUTH_MSN (LDAP_AUTH_OTHERKIND | 0x0800)
#define LDAP_AUTH_NTLM (LDAP_AUTH_OTHERKIND | 0x1000)
#define LDAP_AUTH_DPA (LDAP_AUTH_OTHERKIND | 0x2000)
#define LDAP_AUTH_NEGOTIATE (LDAP_AUTH_OTHERKIND | 0x0400)
#define LDAP_AUTH_SSPI LDAP_AUTH_NEGOTIATE
#define LDAP_AUTH_DIGEST (LDAP_AUTH_OTHERKIND | 0x4000)
#define LDAP_AUTH_EXTERNAL (LDAP_AUTH_OTHERKIND | 0x0020)

// Search scopes and alias dereferencing.
#define LDAP_SCOPE_BASE 0x00
#define LDAP_SCOPE_ONELEVEL 0x01
#define LDAP_SCOPE_SUBTREE 0x02
#define LDAP_DEREF_NEVER 0
#define LDAP_DEREF_SEARCHING 1
#define LDAP_DEREF_FINDING 2
#define LDAP_DEREF_ALWAYS 3
#define LDAP_NO_LIMIT 0

// Modification operations; LDAP_MOD_BVALUES marks mod_bvalues instead of
// mod_values.
#define LDAP_MOD_ADD 0x00
#define LDAP_MOD_DELETE 0x01
#define LDAP_MOD_REPLACE 0x02
#define LDAP_MOD_BVALUES 0x80

// Result message types (ldap_result) and its "all" argument.
#define LDAP_RES_BIND 0x61
#define LDAP_RES_SEARCH_ENTRY 0x64
#define LDAP_RES_SEARCH_RESULT 0x65
#define LDAP_RES_MODIFY 0x67
#define LDAP_RES_ADD 0x69
#define LDAP_RES_DELETE 0x6b
#define LDAP_RES_MODRDN 0x6d
#define LDAP_RES_COMPARE 0x6f
#define LDAP_RES_SESSION 0x72
#define LDAP_RES_REFERRAL 0x73
#define LDAP_RES_EXTENDED 0x78
#define LDAP_RES_ANY (-1)
#define LDAP_MSG_ONE 0
#define LDAP_MSG_ALL 1
#define LDAP_MSG_RECEIVED 2

// Session options (ldap_set_option / ldap_get_option). Values are ULONG unless
// noted; LDAP_OPT_ON / LDAP_OPT_OFF are passed as pointers, as published.
#define LDAP_OPT_API_INFO 0x00
#define LDAP_OPT_DESC 0x01
#define LDAP_OPT_DEREF 0x02
#define LDAP_OPT_SIZELIMIT 0x03
#define LDAP_OPT_TIMELIMIT 0x04
#define LDAP_OPT_THREAD_FN_PTRS 0x05
#define LDAP_OPT_REBIND_FN 0x06
#define LDAP_OPT_REBIND_ARG 0x07
#define LDAP_OPT_REFERRALS 0x08
#define LDAP_OPT_RESTART 0x09
#define LDAP_OPT_SSL 0x0a
#define LDAP_OPT_TLS LDAP_OPT_SSL
#define LDAP_OPT_IO_FN_PTRS 0x0b
#define LDAP_OPT_CACHE_FN_PTRS 0x0c
#define LDAP_OPT_CACHE_STRATEGY 0x0d
#define LDAP_OPT_CACHE_ENABLE 0x0e
#define LDAP_OPT_REFERRAL_HOP_LIMIT 0x10
#define LDAP_OPT_PROTOCOL_VERSION 0x11
#define LDAP_OPT_VERSION LDAP_OPT_PROTOCOL_VERSION
#define LDAP_OPT_SERVER_CONTROLS 0x12
#define LDAP_OPT_CLIENT_CONTROLS 0x13
#define LDAP_OPT_API_FEATURE_INFO 0x15
#define LDAP_OPT_HOST_NAME 0x30
#define LDAP_OPT_ERROR_NUMBER 0x31
#define LDAP_OPT_ERROR_STRING 0x32
#define LDAP_OPT_SERVER_ERROR 0x33
#define LDAP_OPT_SERVER_EXT_ERROR 0x34
#define LDAP_OPT_PING_KEEP_ALIVE 0x36
#define LDAP_OPT_PING_WAIT_TIME 0x37
#define LDAP_OPT_PING_LIMIT 0x38
#define LDAP_OPT_DNSDOMAIN_NAME 0x3b
#define LDAP_OPT_GETDSNAME_FLAGS 0x3d
#define LDAP_OPT_HOST_REACHABLE 0x3e
#define LDAP_OPT_PROMPT_CREDENTIALS 0x3f
#define LDAP_OPT_TCP_KEEPALIVE 0x40
#define LDAP_OPT_FAST_CONCURRENT_BIND 0x41
#define LDAP_OPT_SEND_TIMEOUT 0x42
#define LDAP_OPT_REFERRAL_CALLBACK 0x70
#define LDAP_OPT_CLIENT_CERTIFICATE 0x80
#define LDAP_OPT_SERVER_CERTIFICATE 0x81
#define LDAP_OPT_AUTO_RECONNECT 0x91
#define LDAP_OPT_SSPI_FLAGS 0x92
#define LDAP_OPT_SSL_INFO 0x93
#define LDAP_OPT_SIGN 0x95
#define LDAP_OPT_ENCRYPT 0x96
#define LDAP_OPT_SASL_METHOD 0x97
#define LDAP_OPT_AREC_EXCLUSIVE 0x98
#define LDAP_OPT_SECURITY_CONTEXT 0x99
#define LDAP_OPT_ROOTDSE_CACHE 0x9a
#define LDAP_OPT_ON ((void*)1)
#define LDAP_OPT_OFF ((void*)0)

// Control object identifiers of the sort controls.
#define LDAP_SERVER_SORT_OID "1.2.840.113556.1.4.473"
#define LDAP_SERVER_RESP_SORT_OID "1.2.840.113556.1.4.474"

// l_timeval: a time-out in seconds and microseconds.
typedef struct l_timeval {
  LONG tv_sec;
  LONG tv_usec;
} LDAP_TIMEVAL, *PLDAP_TIMEVAL;

// A counted value (binary data need not be NUL-terminated).
typedef struct berval {
  ULONG bv_len;
  PCHAR bv_val;
} LDAP_BERVAL, *PLDAP_BERVAL, BERVAL, *PBERVAL, BerValue;

// The session. The public fields are kept up to date by the library: ld_host (the
// host text given to ldap_initA), ld_version (LDAP_OPT_PROTOCOL_VERSION), ld_deref,
// ld_timelimit and ld_sizelimit (the search defaults: a caller may also write them
// directly, as older callers do), ld_errno (the result of the last call on the
// session) and ld_msgid (the last message number). The rest is reserved.
typedef struct ldap {
  struct {
    UINT_PTR sb_sd;
    UCHAR Reserved1[(10 * sizeof(ULONG)) + 1];
    ULONG_PTR sb_naddr;
    UCHAR Reserved2[(6 * sizeof(ULONG))];
  } ld_sb;
  PCHAR ld_host;
  ULONG ld_version;
  UCHAR ld_lberoptions;
  ULONG ld_deref;
  ULONG ld_timelimit;
  ULONG ld_sizelimit;
  ULONG ld_errno;
  PCHAR ld_matched;
  PCHAR ld_error;
  ULONG ld_msgid;
  UCHAR Reserved3[(6 * sizeof(ULONG)) + 1];
  ULONG ld_cldaptries;
  ULONG ld_cldaptimeout;
  ULONG ld_refhoplimit;
  ULONG ld_options;
} LDAP, *PLDAP;

// One message of a result: lm_msgid, lm_msgtype (LDAP_RES_...), lm_chain (the next
// message of the same result) and Connection are filled in; the rest is reserved.
typedef struct ldapmsg {
  ULONG lm_msgid;
  ULONG lm_msgtype;
  PVOID lm_ber;
  struct ldapmsg* lm_chain;
  struct ldapmsg* lm_next;
  ULONG lm_time;
  PLDAP Connection;
  PVOID Request;
  ULONG lm_returncode;
  USHORT lm_referral;
  BOOLEAN lm_chased;
  BOOLEAN lm_eom;
  BOOLEAN ConnectionReferenced;
} LDAPMessage, *PLDAPMessage;

// The attribute cursor of ldap_first_attributeA / ldap_next_attributeA.
typedef struct berelement {
  PCHAR opaque;
} BerElement;
#define NULLBER ((BerElement*)0)

typedef struct ldapcontrolA {
  PCHAR ldctl_oid;
  struct berval ldctl_value;
  BOOLEAN ldctl_iscritical;
} LDAPControlA, *PLDAPControlA;

// One modification. mod_op is LDAP_MOD_ADD, _DELETE or _REPLACE, or'ed with
// LDAP_MOD_BVALUES when mod_bvalues carries the values. Value arrays end with a
// null pointer; a null array means "no values" (delete the whole attribute, or
// replace it by nothing).
typedef struct ldapmodA {
  ULONG mod_op;
  PCHAR mod_type;
  union {
    PCHAR* modv_strvals;
    struct berval** modv_bvals;
  } mod_vals;
} LDAPModA, *PLDAPModA;
#define mod_values mod_vals.modv_strvals
#define mod_bvalues mod_vals.modv_bvals

typedef struct ldapsortkeyA {
  PCHAR sk_attrtype;
  PCHAR sk_matchruleoid;
  BOOLEAN sk_reverseorder;
} LDAPSortKeyA, *PLDAPSortKeyA;

typedef struct _ldap_version_info {
  ULONG lv_size;
  ULONG lv_major;
  ULONG lv_minor;
} LDAP_VERSION_INFO, *PLDAP_VERSION_INFO;
#define LAPI_MAJOR_VER1 1
#define LAPI_MINOR_VER1 1

KOVA_EXTERN_C_BEGIN

// Sessions. ldap_initA does not contact the server; the first operation (or
// ldap_connect) does. HostName is one or more host names separated by spaces, each
// optionally "name:port" (the port then overrides PortNumber); PortNumber 0 means
// LDAP_PORT. Null is returned on failure, with the code for LdapGetLastError.
WINLDAPAPI LDAP* LDAPAPI ldap_initA(const PCHAR HostName, ULONG PortNumber);
// ldap_initA followed by ldap_connect with the default time-out.
WINLDAPAPI LDAP* LDAPAPI ldap_openA(PCHAR HostName, ULONG PortNumber);
// With secure non-zero the session speaks LDAP over TLS (ldaps), PortNumber 0 then
// meaning LDAP_SSL_PORT.
WINLDAPAPI LDAP* LDAPAPI ldap_sslinitA(PCHAR HostName, ULONG PortNumber, int secure);
// Connectionless (UDP) LDAP: not available here; always null with
// LDAP_NOT_SUPPORTED.
WINLDAPAPI LDAP* LDAPAPI cldap_openA(PCHAR HostName, ULONG PortNumber);
// Opens the connection now. timeout bounds the TCP connect and the first exchange
// with the server; null means the library's default. LDAP_TIMEOUT when it expires,
// LDAP_SERVER_DOWN when nothing answers the connect.
WINLDAPAPI ULONG LDAPAPI ldap_connect(LDAP* ld, struct l_timeval* timeout);
// Both close the connection and free the session, also when they return an error.
WINLDAPAPI ULONG LDAPAPI ldap_unbind(LDAP* ld);
WINLDAPAPI ULONG LDAPAPI ldap_unbind_s(LDAP* ld);
WINLDAPAPI ULONG LDAPAPI ldap_set_option(LDAP* ld, int option, const void* invalue);
WINLDAPAPI ULONG LDAPAPI ldap_get_option(LDAP* ld, int option, void* outvalue);
// Library start-up and clean-up are not needed; they succeed and do nothing else.
WINLDAPAPI ULONG LDAPAPI ldap_startup(PLDAP_VERSION_INFO version, HANDLE* Instance);
WINLDAPAPI ULONG LDAPAPI ldap_cleanup(HANDLE hInstance);

// Binds. A null or empty dn with a null password binds anonymously. method
// LDAP_AUTH_SIMPLE binds with dn and cred as password; LDAP_AUTH_NEGOTIATE uses the
// logged-on user's Kerberos credentials over SASL GSSAPI (dn and cred must be null)
// and fails with LDAP_AUTH_METHOD_NOT_SUPPORTED where that mechanism is missing.
WINLDAPAPI ULONG LDAPAPI ldap_bindA(LDAP* ld, PCHAR dn, PCHAR cred, ULONG method);
WINLDAPAPI ULONG LDAPAPI ldap_bind_sA(LDAP* ld, PCHAR dn, PCHAR cred, ULONG method);
WINLDAPAPI ULONG LDAPAPI ldap_simple_bindA(LDAP* ld, PCHAR dn, PCHAR passwd);
WINLDAPAPI ULONG LDAPAPI ldap_simple_bind_sA(LDAP* ld, PCHAR dn, PCHAR passwd);
// Sends one SASL bind step; the result arrives through ldap_result.
WINLDAPAPI INT LDAPAPI ldap_sasl_bindA(LDAP* ExternalHandle, const PCHAR DistName,
                                       const PCHAR AuthMechanism, const BERVAL* cred,
                                       PLDAPControlA* ServerCtrls,
                                       PLDAPControlA* ClientCtrls, int* MessageNumber);

// Searches. attrs is a null-terminated list (null: all user attributes). The
// synchronous forms store the result in *res, which the caller frees with
// ldap_msgfree whether or not the search succeeded (it is null when no result
// arrived). The limits of ld_timelimit / ld_sizelimit apply unless the call names
// its own.
WINLDAPAPI ULONG LDAPAPI ldap_searchA(LDAP* ld, const PCHAR base, ULONG scope,
                                      const PCHAR filter, PCHAR attrs[], ULONG attrsonly);
WINLDAPAPI ULONG LDAPAPI ldap_search_sA(LDAP* ld, PCHAR base, ULONG scope, PCHAR filter,
                                        PZPSTR attrs, ULONG attrsonly, LDAPMessage** res);
WINLDAPAPI ULONG LDAPAPI ldap_search_stA(LDAP* ld, const PCHAR base, ULONG scope,
                                         const PCHAR filter, PCHAR attrs[],
                                         ULONG attrsonly, struct l_timeval* timeout,
                                         LDAPMessage** res);
WINLDAPAPI ULONG LDAPAPI ldap_search_extA(LDAP* ld, const PCHAR base, ULONG scope,
                                          const PCHAR filter, PCHAR attrs[],
                                          ULONG attrsonly, PLDAPControlA* ServerControls,
                                          PLDAPControlA* ClientControls, ULONG TimeLimit,
                                          ULONG SizeLimit, ULONG* MessageNumber);
// LDAP_SUCCESS when the filter text is well formed, else LDAP_FILTER_ERROR.
WINLDAPAPI ULONG LDAPAPI ldap_check_filterA(LDAP* ld, PCHAR SearchFilter);

// Modify, rename, add, compare, delete.
WINLDAPAPI ULONG LDAPAPI ldap_modifyA(LDAP* ld, PCHAR dn, LDAPModA* mods[]);
WINLDAPAPI ULONG LDAPAPI ldap_modify_sA(LDAP* ld, PCHAR dn, LDAPModA* mods[]);
WINLDAPAPI ULONG LDAPAPI ldap_modify_extA(LDAP* ld, const PCHAR dn, LDAPModA* mods[],
                                          PLDAPControlA* ServerControls,
                                          PLDAPControlA* ClientControls,
                                          ULONG* MessageNumber);
WINLDAPAPI ULONG LDAPAPI ldap_modify_ext_sA(LDAP* ld, const PCHAR dn, LDAPModA* mods[],
                                            PLDAPControlA* ServerControls,
                                            PLDAPControlA* ClientControls);
// NewParent null keeps the entry under its parent.
WINLDAPAPI ULONG LDAPAPI ldap_rename_extA(LDAP* ld, const PCHAR dn, const PCHAR NewRDN,
                                          const PCHAR NewParent, INT DeleteOldRdn,
                                          PLDAPControlA* ServerControls,
                                          PLDAPControlA* ClientControls,
                                          ULONG* MessageNumber);
WINLDAPAPI ULONG LDAPAPI ldap_rename_ext_sA(LDAP* ld, const PCHAR dn, const PCHAR NewRDN,
                                            const PCHAR NewParent, INT DeleteOldRdn,
                                            PLDAPControlA* ServerControls,
                                            PLDAPControlA* ClientControls);
// The old rename calls: NewDistinguishedName is the new RDN.
WINLDAPAPI ULONG LDAPAPI ldap_modrdn2A(LDAP* ExternalHandle,
                                       const PCHAR DistinguishedName,
                                       const PCHAR NewDistinguishedName,
                                       INT DeleteOldRdn);
WINLDAPAPI ULONG LDAPAPI ldap_modrdnA(LDAP* ExternalHandle, const PCHAR DistinguishedName,
                                      const PCHAR NewDistinguishedName);
WINLDAPAPI ULONG LDAPAPI ldap_addA(LDAP* ld, PCHAR dn, LDAPModA* attrs[]);
WINLDAPAPI ULONG LDAPAPI ldap_add_sA(LDAP* ld, PCHAR dn, LDAPModA* attrs[]);
WINLDAPAPI ULONG LDAPAPI ldap_add_extA(LDAP* ld, const PCHAR dn, LDAPModA* attrs[],
                                       PLDAPControlA* ServerControls,
                                       PLDAPControlA* ClientControls,
                                       ULONG* MessageNumber);
WINLDAPAPI ULONG LDAPAPI ldap_add_ext_sA(LDAP* ld, const PCHAR dn, LDAPModA* attrs[],
                                         PLDAPControlA* ServerControls,
                                         PLDAPControlA* ClientControls);
// The synchronous compares return LDAP_COMPARE_TRUE or LDAP_COMPARE_FALSE. The
// ext forms compare Data when it is non-null, else the text Value.
WINLDAPAPI ULONG LDAPAPI ldap_compareA(LDAP* ld, const PCHAR dn, const PCHAR attr,
                                       PCHAR value);
WINLDAPAPI ULONG LDAPAPI ldap_compare_sA(LDAP* ld, const PCHAR dn, const PCHAR attr,
                                         PCHAR value);
WINLDAPAPI ULONG LDAPAPI ldap_compare_extA(LDAP* ld, const PCHAR dn, const PCHAR Attr,
                                           const PCHAR Value, struct berval* Data,
                                           PLDAPControlA* ServerControls,
                                           PLDAPControlA* ClientControls,
                                           ULONG* MessageNumber);
WINLDAPAPI ULONG LDAPAPI ldap_compare_ext_sA(LDAP* ld, const PCHAR dn, const PCHAR Attr,
                                             const PCHAR Value, struct berval* Data,
                                             PLDAPControlA* ServerControls,
                                             PLDAPControlA* ClientControls);
WINLDAPAPI ULONG LDAPAPI ldap_deleteA(LDAP* ld, const PCHAR dn);
WINLDAPAPI ULONG LDAPAPI ldap_delete_sA(LDAP* ld, const PCHAR dn);
WINLDAPAPI ULONG LDAPAPI ldap_delete_extA(LDAP* ld, const PCHAR dn,
                                          PLDAPControlA* ServerControls,
                                          PLDAPControlA* ClientControls,
                                          ULONG* MessageNumber);
WINLDAPAPI ULONG LDAPAPI ldap_delete_ext_sA(LDAP* ld, const PCHAR dn,
                                            PLDAPControlA* ServerControls,
                                            PLDAPControlA* ClientControls);

// Results of asynchronous calls.
WINLDAPAPI ULONG LDAPAPI ldap_abandon(LDAP* ld, ULONG msgid);
// Returns the type of the message stored in *res (LDAP_RES_...), 0 when the
// time-out expired, (ULONG)-1 on failure. all: LDAP_MSG_ONE, _ALL or _RECEIVED.
WINLDAPAPI ULONG LDAPAPI ldap_result(LDAP* ld, ULONG msgid, ULONG all,
                                     struct l_timeval* timeout, LDAPMessage** res);
// Frees a whole result; LDAP_SUCCESS. Messages inside a result (entries) are freed
// with it and not on their own.
WINLDAPAPI ULONG LDAPAPI ldap_msgfree(LDAPMessage* res);
// The result code carried by res; with freeit non-zero res is freed as well.
WINLDAPAPI ULONG LDAPAPI ldap_result2error(LDAP* ld, LDAPMessage* res, ULONG freeit);
// A static text for a result code; never null.
WINLDAPAPI PCHAR LDAPAPI ldap_err2stringA(ULONG err);

// Walking a result.
WINLDAPAPI LDAPMessage* LDAPAPI ldap_first_entry(LDAP* ld, LDAPMessage* res);
WINLDAPAPI LDAPMessage* LDAPAPI ldap_next_entry(LDAP* ld, LDAPMessage* entry);
WINLDAPAPI ULONG LDAPAPI ldap_count_entries(LDAP* ld, LDAPMessage* res);
// The first attribute name of entry (ldap_memfreeA) and in *ptr a cursor that the
// caller frees with ber_free(ptr, 0) after the walk.
WINLDAPAPI PCHAR LDAPAPI ldap_first_attributeA(LDAP* ld, LDAPMessage* entry,
                                               BerElement** ptr);
WINLDAPAPI PCHAR LDAPAPI ldap_next_attributeA(LDAP* ld, LDAPMessage* entry,
                                              BerElement* ptr);
// Text values (NUL-terminated; a value with NUL bytes reads as its first part),
// null when the entry lacks the attribute.
WINLDAPAPI PCHAR* LDAPAPI ldap_get_valuesA(LDAP* ld, LDAPMessage* entry,
                                           const PCHAR attr);
// Counted values, for binary data.
WINLDAPAPI struct berval** LDAPAPI ldap_get_values_lenA(LDAP* ExternalHandle,
                                                        LDAPMessage* Message,
                                                        const PCHAR attr);
WINLDAPAPI ULONG LDAPAPI ldap_count_valuesA(PCHAR* vals);
WINLDAPAPI ULONG LDAPAPI ldap_value_freeA(PCHAR* vals);
WINLDAPAPI ULONG LDAPAPI ldap_value_free_len(struct berval** vals);
WINLDAPAPI PCHAR LDAPAPI ldap_get_dnA(LDAP* ld, LDAPMessage* entry);
WINLDAPAPI VOID LDAPAPI ldap_memfreeA(PCHAR Block);
WINLDAPAPI VOID LDAPAPI ber_free(BerElement* pBerElement, INT fbuf);
// Frees a berval that the library allocated, with its value.
WINLDAPAPI VOID LDAPAPI ber_bvfree(BERVAL* bv);

// Distinguished names. ldap_explode_dnA splits a DN into its RDNs (escapes are
// honoured; notypes 1 drops "type="), null-terminated, or null when dn is not a
// valid DN.
WINLDAPAPI PCHAR* LDAPAPI ldap_explode_dnA(const PCHAR dn, ULONG notypes);
WINLDAPAPI PCHAR LDAPAPI ldap_dn2ufnA(const PCHAR dn);
WINLDAPAPI ULONG LDAPAPI ldap_ufn2dnA(const PCHAR ufn, PCHAR* pDn);

// TLS on an open session.
WINLDAPAPI ULONG LDAPAPI ldap_start_tls_sA(PLDAP ExternalHandle, PULONG ServerReturnValue,
                                           LDAPMessage** result,
                                           PLDAPControlA* ServerControls,
                                           PLDAPControlA* ClientControls);
WINLDAPAPI BOOLEAN LDAPAPI ldap_stop_tls_s(PLDAP ExternalHandle);

// Server-side sort controls. ldap_create_sort_controlA returns one block that
// ldap_memfreeA frees whole. ldap_encode_sort_controlA fills the caller's control;
// its ldctl_oid and ldctl_value.bv_val are freed with ldap_memfreeA.
// ldap_parse_sort_controlA finds the sort response among Control (a null-terminated
// array) and returns its result code and the offending attribute (ldap_memfreeA;
// null when none).
WINLDAPAPI ULONG LDAPAPI ldap_create_sort_controlA(PLDAP ExternalHandle,
                                                   PLDAPSortKeyA* SortKeys,
                                                   UCHAR IsCritical,
                                                   PLDAPControlA* Control);
WINLDAPAPI ULONG LDAPAPI ldap_parse_sort_controlA(PLDAP ExternalHandle,
                                                  PLDAPControlA* Control, ULONG* Result,
                                                  PCHAR* Attribute);
WINLDAPAPI ULONG LDAPAPI ldap_encode_sort_controlA(PLDAP ExternalHandle,
                                                   PLDAPSortKeyA* SortKeys,
                                                   PLDAPControlA Control,
                                                   BOOLEAN Criticality);

// The result code of the last failing call on this thread.
WINLDAPAPI ULONG LDAPAPI LdapGetLastError(VOID);
// The system error code that describes an LDAP result code.
WINLDAPAPI ULONG LDAPAPI LdapMapErrorToWin32(ULONG LdapError);

KOVA_EXTERN_C_END

#endif  // KOVA_LDAP_WLDAP32_WINLDAP_H_
