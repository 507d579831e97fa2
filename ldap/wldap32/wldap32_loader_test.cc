// The storage binds the library at run time: LoadLibraryA("wldap32.dll") and
// GetProcAddress of every entry point by its exact name.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "libloaderapi.h"
#include "winldap.h"

namespace {

TEST(LdapLoaderTest, ThePlatformLoaderResolvesAllSeventyEntryPoints) {
  HMODULE module = LoadLibraryA("wldap32.dll");
  ASSERT_NE(module, nullptr);
  // Resolved through the loader, each name is the function this test links.
  const std::vector<std::pair<const char*, void*>> entries = {
      {"ldap_initA", reinterpret_cast<void*>(&ldap_initA)},
      {"cldap_openA", reinterpret_cast<void*>(&cldap_openA)},
      {"ldap_openA", reinterpret_cast<void*>(&ldap_openA)},
      {"ldap_sslinitA", reinterpret_cast<void*>(&ldap_sslinitA)},
      {"ldap_connect", reinterpret_cast<void*>(&ldap_connect)},
      {"ldap_unbind", reinterpret_cast<void*>(&ldap_unbind)},
      {"ldap_unbind_s", reinterpret_cast<void*>(&ldap_unbind_s)},
      {"ldap_set_option", reinterpret_cast<void*>(&ldap_set_option)},
      {"ldap_get_option", reinterpret_cast<void*>(&ldap_get_option)},
      {"ldap_bindA", reinterpret_cast<void*>(&ldap_bindA)},
      {"ldap_bind_sA", reinterpret_cast<void*>(&ldap_bind_sA)},
      {"ldap_simple_bindA", reinterpret_cast<void*>(&ldap_simple_bindA)},
      {"ldap_simple_bind_sA", reinterpret_cast<void*>(&ldap_simple_bind_sA)},
      {"ldap_sasl_bindA", reinterpret_cast<void*>(&ldap_sasl_bindA)},
      {"ldap_searchA", reinterpret_cast<void*>(&ldap_searchA)},
      {"ldap_search_sA", reinterpret_cast<void*>(&ldap_search_sA)},
      {"ldap_search_stA", reinterpret_cast<void*>(&ldap_search_stA)},
      {"ldap_search_extA", reinterpret_cast<void*>(&ldap_search_extA)},
      {"ldap_check_filterA", reinterpret_cast<void*>(&ldap_check_filterA)},
      {"ldap_modifyA", reinterpret_cast<void*>(&ldap_modifyA)},
      {"ldap_modify_sA", reinterpret_cast<void*>(&ldap_modify_sA)},
      {"ldap_modify_extA", reinterpret_cast<void*>(&ldap_modify_extA)},
      {"ldap_modify_ext_sA", reinterpret_cast<void*>(&ldap_modify_ext_sA)},
      {"ldap_rename_extA", reinterpret_cast<void*>(&ldap_rename_extA)},
      {"ldap_rename_ext_sA", reinterpret_cast<void*>(&ldap_rename_ext_sA)},
      {"ldap_addA", reinterpret_cast<void*>(&ldap_addA)},
      {"ldap_add_sA", reinterpret_cast<void*>(&ldap_add_sA)},
      {"ldap_add_extA", reinterpret_cast<void*>(&ldap_add_extA)},
      {"ldap_add_ext_sA", reinterpret_cast<void*>(&ldap_add_ext_sA)},
      {"ldap_compareA", reinterpret_cast<void*>(&ldap_compareA)},
      {"ldap_compare_sA", reinterpret_cast<void*>(&ldap_compare_sA)},
      {"ldap_compare_extA", reinterpret_cast<void*>(&ldap_compare_extA)},
      {"ldap_compare_ext_sA", reinterpret_cast<void*>(&ldap_compare_ext_sA)},
      {"ldap_deleteA", reinterpret_cast<void*>(&ldap_deleteA)},
      {"ldap_delete_sA", reinterpret_cast<void*>(&ldap_delete_sA)},
      {"ldap_delete_extA", reinterpret_cast<void*>(&ldap_delete_extA)},
      {"ldap_delete_ext_sA", reinterpret_cast<void*>(&ldap_delete_ext_sA)},
      {"ldap_abandon", reinterpret_cast<void*>(&ldap_abandon)},
      {"ldap_result", reinterpret_cast<void*>(&ldap_result)},
      {"ldap_msgfree", reinterpret_cast<void*>(&ldap_msgfree)},
      {"ldap_result2error", reinterpret_cast<void*>(&ldap_result2error)},
      {"ldap_err2stringA", reinterpret_cast<void*>(&ldap_err2stringA)},
      {"ldap_first_entry", reinterpret_cast<void*>(&ldap_first_entry)},
      {"ldap_next_entry", reinterpret_cast<void*>(&ldap_next_entry)},
      {"ldap_count_entries", reinterpret_cast<void*>(&ldap_count_entries)},
      {"ldap_first_attributeA", reinterpret_cast<void*>(&ldap_first_attributeA)},
      {"ldap_next_attributeA", reinterpret_cast<void*>(&ldap_next_attributeA)},
      {"ldap_get_valuesA", reinterpret_cast<void*>(&ldap_get_valuesA)},
      {"ldap_get_values_lenA", reinterpret_cast<void*>(&ldap_get_values_lenA)},
      {"ldap_count_valuesA", reinterpret_cast<void*>(&ldap_count_valuesA)},
      {"ldap_value_freeA", reinterpret_cast<void*>(&ldap_value_freeA)},
      {"ldap_value_free_len", reinterpret_cast<void*>(&ldap_value_free_len)},
      {"ldap_startup", reinterpret_cast<void*>(&ldap_startup)},
      {"ldap_cleanup", reinterpret_cast<void*>(&ldap_cleanup)},
      {"ldap_memfreeA", reinterpret_cast<void*>(&ldap_memfreeA)},
      {"ldap_get_dnA", reinterpret_cast<void*>(&ldap_get_dnA)},
      {"ldap_explode_dnA", reinterpret_cast<void*>(&ldap_explode_dnA)},
      {"ldap_start_tls_sA", reinterpret_cast<void*>(&ldap_start_tls_sA)},
      {"ldap_stop_tls_s", reinterpret_cast<void*>(&ldap_stop_tls_s)},
      {"ldap_dn2ufnA", reinterpret_cast<void*>(&ldap_dn2ufnA)},
      {"ldap_ufn2dnA", reinterpret_cast<void*>(&ldap_ufn2dnA)},
      {"ldap_create_sort_controlA", reinterpret_cast<void*>(&ldap_create_sort_controlA)},
      {"ldap_parse_sort_controlA", reinterpret_cast<void*>(&ldap_parse_sort_controlA)},
      {"ldap_encode_sort_controlA", reinterpret_cast<void*>(&ldap_encode_sort_controlA)},
      {"ber_bvfree", reinterpret_cast<void*>(&ber_bvfree)},
      {"ber_free", reinterpret_cast<void*>(&ber_free)},
      {"ldap_modrdn2A", reinterpret_cast<void*>(&ldap_modrdn2A)},
      {"ldap_modrdnA", reinterpret_cast<void*>(&ldap_modrdnA)},
      {"LdapGetLastError", reinterpret_cast<void*>(&LdapGetLastError)},
      {"LdapMapErrorToWin32", reinterpret_cast<void*>(&LdapMapErrorToWin32)},
  };
  ASSERT_EQ(entries.size(), 70u);
  for (const auto& [name, linked] : entries) {
    SCOPED_TRACE(name);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(module, name)), linked);
  }
  // Names are exact: no other spelling and nothing beyond the table is exported.
  for (const char* absent : {"ldap_inita", "ldap_init", "ldap_search_ext_sA",
                             "ldap_initialize", "LdapGetLastErrorA"}) {
    SCOPED_TRACE(absent);
    EXPECT_EQ(GetProcAddress(module, absent), nullptr);
  }
  auto map = reinterpret_cast<ULONG (*)(ULONG)>(
      reinterpret_cast<void*>(GetProcAddress(module, "LdapMapErrorToWin32")));
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map(LDAP_INVALID_CREDENTIALS), 1323u);
  EXPECT_TRUE(FreeLibrary(module));
}

}  // namespace
