// The entry points of the platform LDAP client library that the storage binds, in
// table order, as an X-macro: KOVA_LDAP_ENTRY_POINTS(X) expands X(name) once per
// entry point. The list includes nothing so that code which must not see the
// library's declarations (a stand-in build of the library for the tests) can
// use it too.
#ifndef KOVA_LDAP_LDAP_ENTRY_POINTS_H_
#define KOVA_LDAP_LDAP_ENTRY_POINTS_H_

#define KOVA_LDAP_ENTRY_POINTS(X) \
  X(ldap_initA)                   \
  X(cldap_openA)                  \
  X(ldap_openA)                   \
  X(ldap_sslinitA)                \
  X(ldap_connect)                 \
  X(ldap_unbind)                  \
  X(ldap_unbind_s)                \
  X(ldap_set_option)              \
  X(ldap_get_option)              \
  X(ldap_bindA)                   \
  X(ldap_bind_sA)                 \
  X(ldap_simple_bindA)            \
  X(ldap_simple_bind_sA)          \
  X(ldap_sasl_bindA)              \
  X(ldap_searchA)                 \
  X(ldap_search_sA)               \
  X(ldap_search_stA)              \
  X(ldap_search_extA)             \
  X(ldap_check_filterA)           \
  X(ldap_modifyA)                 \
  X(ldap_modify_sA)               \
  X(ldap_modify_extA)             \
  X(ldap_modify_ext_sA)           \
  X(ldap_rename_extA)             \
  X(ldap_rename_ext_sA)           \
  X(ldap_addA)                    \
  X(ldap_add_sA)                  \
  X(ldap_add_extA)                \
  X(ldap_add_ext_sA)              \
  X(ldap_compareA)                \
  X(ldap_compare_sA)              \
  X(ldap_compare_extA)            \
  X(ldap_compare_ext_sA)          \
  X(ldap_deleteA)                 \
  X(ldap_delete_sA)               \
  X(ldap_delete_extA)             \
  X(ldap_delete_ext_sA)           \
  X(ldap_abandon)                 \
  X(ldap_result)                  \
  X(ldap_msgfree)                 \
  X(ldap_result2error)            \
  X(ldap_err2stringA)             \
  X(ldap_first_entry)             \
  X(ldap_next_entry)              \
  X(ldap_count_entries)           \
  X(ldap_first_attributeA)        \
  X(ldap_next_attributeA)         \
  X(ldap_get_valuesA)             \
  X(ldap_get_values_lenA)         \
  X(ldap_count_valuesA)           \
  X(ldap_value_freeA)             \
  X(ldap_value_free_len)          \
  X(ldap_startup)                 \
  X(ldap_cleanup)                 \
  X(ldap_memfreeA)                \
  X(ldap_get_dnA)                 \
  X(ldap_explode_dnA)             \
  X(ldap_start_tls_sA)            \
  X(ldap_stop_tls_s)              \
  X(ldap_dn2ufnA)                 \
  X(ldap_ufn2dnA)                 \
  X(ldap_create_sort_controlA)    \
  X(ldap_parse_sort_controlA)     \
  X(ldap_encode_sort_controlA)    \
  X(ber_bvfree)                   \
  X(ber_free)                     \
  X(ldap_modrdn2A)                \
  X(ldap_modrdnA)                 \
  X(LdapGetLastError)             \
  X(LdapMapErrorToWin32)

#endif  // KOVA_LDAP_LDAP_ENTRY_POINTS_H_
