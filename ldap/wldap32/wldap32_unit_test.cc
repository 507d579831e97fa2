// The parts of the LDAP client library that need no directory server: error codes,
// argument checks, sessions before their first contact, DNs, filters and sort
// controls.
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "winldap.h"

namespace {

constexpr ULONG kSentinel = 0xdeadbeef;

// Seeds the thread's last error through a failing call with a known code.
void SeedLastError() {
  ASSERT_EQ(cldap_openA(const_cast<PCHAR>("x"), 0), nullptr);
  ASSERT_EQ(LdapGetLastError(), static_cast<ULONG>(LDAP_NOT_SUPPORTED));
}

std::vector<std::string> Strings(PCHAR* values) {
  std::vector<std::string> out;
  for (ULONG i = 0; values != nullptr && values[i] != nullptr; ++i)
    out.emplace_back(values[i]);
  return out;
}

std::string Bytes(const berval& bv) { return std::string(bv.bv_val, bv.bv_len); }

struct Session {
  explicit Session(const char* host = "127.0.0.1", ULONG port = 1)
      : ld(ldap_initA(const_cast<PCHAR>(host), port)) {}
  ~Session() {
    if (ld != nullptr) ldap_unbind(ld);
  }
  LDAP* ld;
};

TEST(LdapMapErrorToWin32Test, MapsEveryCodeOfThePlatformTable) {
  const std::vector<std::pair<ULONG, ULONG>> table = {
      {0, 0},     {1, 110},   {2, 124},   {3, 1460},  {4, 234},   {7, 5},     {8, 5},
      {9, 234},   {10, 234},  {11, 1816}, {12, 1003}, {16, 87},   {18, 87},   {19, 87},
      {20, 183},  {21, 123},  {32, 2},    {34, 87},   {48, 5},    {49, 1323}, {50, 5},
      {51, 170},  {52, 55},   {53, 1003}, {60, 8261}, {61, 8262}, {64, 87},   {65, 87},
      {66, 1003}, {67, 5},    {68, 183},  {69, 5},    {70, 122},  {71, 1003}, {81, 58},
      {83, 59},   {84, 59},   {85, 1053}, {86, 1323}, {87, 87},   {88, 1223}, {89, 87},
      {90, 8},    {91, 1225}, {92, 1003}, {93, 1168}, {94, 234},  {95, 234}};
  for (ULONG code = 0; code <= 0x200; ++code) {
    SCOPED_TRACE(code);
    ULONG expected = 8341;
    for (const auto& [ldap, win32] : table)
      if (ldap == code) expected = win32;
    EXPECT_EQ(LdapMapErrorToWin32(code), expected);
  }
  EXPECT_EQ(LdapMapErrorToWin32(0xffffffff), 8341u);
}

TEST(LdapErrorTest, EveryCodeHasAText) {
  EXPECT_STREQ(ldap_err2stringA(LDAP_SUCCESS), "Success");
  EXPECT_STREQ(ldap_err2stringA(LDAP_NO_SUCH_OBJECT), "No such object");
  for (ULONG code : {0x31u, 0x51u, 0x55u, 0x61u, 0x1234u}) {
    SCOPED_TRACE(code);
    ASSERT_NE(ldap_err2stringA(code), nullptr);
    EXPECT_GT(std::strlen(ldap_err2stringA(code)), 0u);
  }
  EXPECT_STRNE(ldap_err2stringA(LDAP_SERVER_DOWN), ldap_err2stringA(LDAP_TIMEOUT));
}

TEST(LdapErrorTest, LastErrorIsTheLastFailureOfTheThread) {
  SeedLastError();
  // A successful call leaves it alone.
  Session s;
  ASSERT_NE(s.ld, nullptr);
  EXPECT_EQ(LdapGetLastError(), static_cast<ULONG>(LDAP_NOT_SUPPORTED));
  EXPECT_EQ(ldap_search_sA(nullptr, nullptr, 0, nullptr, nullptr, 0, nullptr),
            static_cast<ULONG>(LDAP_PARAM_ERROR));
  EXPECT_EQ(LdapGetLastError(), static_cast<ULONG>(LDAP_PARAM_ERROR));
  ULONG other_thread = kSentinel;
  std::thread([&] { other_thread = LdapGetLastError(); }).join();
  EXPECT_EQ(other_thread, static_cast<ULONG>(LDAP_SUCCESS));
}

// Every entry point refuses a null session or required pointer with
// LDAP_PARAM_ERROR instead of crashing.
TEST(LdapArgumentsTest, NullArgumentsAreRefused) {
  Session s;
  ASSERT_NE(s.ld, nullptr);
  LDAP* ld = s.ld;
  LDAPMessage* res = reinterpret_cast<LDAPMessage*>(kSentinel);
  ULONG number = kSentinel;
  char dn[] = "cn=x,dc=kova,dc=test";
  struct Row {
    const char* name;
    ULONG result;
    ULONG expected;
  };
  const ULONG no_message = static_cast<ULONG>(-1);
  const ULONG param = LDAP_PARAM_ERROR;
  const std::vector<Row> rows = {
      {"connect", ldap_connect(nullptr, nullptr), param},
      {"unbind", ldap_unbind(nullptr), param},
      {"unbind_s", ldap_unbind_s(nullptr), param},
      {"set_option", ldap_set_option(nullptr, LDAP_OPT_SIZELIMIT, &number), param},
      {"set_option value", ldap_set_option(ld, LDAP_OPT_SIZELIMIT, nullptr), param},
      {"get_option", ldap_get_option(ld, LDAP_OPT_SIZELIMIT, nullptr), param},
      {"bind_s", ldap_bind_sA(nullptr, nullptr, nullptr, LDAP_AUTH_SIMPLE), param},
      {"bind", ldap_bindA(nullptr, nullptr, nullptr, LDAP_AUTH_SIMPLE), no_message},
      {"simple_bind_s", ldap_simple_bind_sA(nullptr, nullptr, nullptr), param},
      {"simple_bind", ldap_simple_bindA(nullptr, nullptr, nullptr), no_message},
      {"sasl_bind",
       static_cast<ULONG>(
           ldap_sasl_bindA(ld, dn, nullptr, nullptr, nullptr, nullptr, nullptr)),
       param},
      {"search", ldap_searchA(nullptr, dn, 0, nullptr, nullptr, 0), no_message},
      {"search scope", ldap_searchA(ld, dn, 3, nullptr, nullptr, 0), no_message},
      {"search_s result", ldap_search_sA(ld, dn, 0, nullptr, nullptr, 0, nullptr), param},
      {"search_st", ldap_search_stA(nullptr, dn, 0, nullptr, nullptr, 0, nullptr, &res),
       param},
      {"search_ext number",
       ldap_search_extA(ld, dn, 0, nullptr, nullptr, 0, nullptr, nullptr, 0, 0, nullptr),
       param},
      {"check_filter", ldap_check_filterA(ld, nullptr), param},
      {"modify", ldap_modifyA(ld, dn, nullptr), no_message},
      {"modify_s", ldap_modify_sA(ld, nullptr, nullptr), param},
      {"modify_ext", ldap_modify_extA(nullptr, dn, nullptr, nullptr, nullptr, &number),
       param},
      {"modify_ext_s", ldap_modify_ext_sA(ld, dn, nullptr, nullptr, nullptr), param},
      {"rename_ext",
       ldap_rename_extA(ld, dn, nullptr, nullptr, 1, nullptr, nullptr, &number), param},
      {"rename_ext_s", ldap_rename_ext_sA(ld, nullptr, dn, nullptr, 1, nullptr, nullptr),
       param},
      {"modrdn2", ldap_modrdn2A(ld, dn, nullptr, 1), no_message},
      {"modrdn", ldap_modrdnA(nullptr, dn, dn), no_message},
      {"add", ldap_addA(ld, dn, nullptr), no_message},
      {"add_s", ldap_add_sA(ld, dn, nullptr), param},
      {"add_ext", ldap_add_extA(ld, nullptr, nullptr, nullptr, nullptr, &number), param},
      {"add_ext_s", ldap_add_ext_sA(nullptr, dn, nullptr, nullptr, nullptr), param},
      {"compare", ldap_compareA(ld, dn, nullptr, nullptr), no_message},
      {"compare_s", ldap_compare_sA(ld, dn, dn, nullptr), param},
      {"compare_ext",
       ldap_compare_extA(ld, dn, dn, nullptr, nullptr, nullptr, nullptr, &number), param},
      {"compare_ext_s",
       ldap_compare_ext_sA(nullptr, dn, dn, dn, nullptr, nullptr, nullptr), param},
      {"delete", ldap_deleteA(ld, nullptr), no_message},
      {"delete_s", ldap_delete_sA(nullptr, dn), param},
      {"delete_ext", ldap_delete_extA(ld, dn, nullptr, nullptr, nullptr), param},
      {"delete_ext_s", ldap_delete_ext_sA(ld, nullptr, nullptr, nullptr), param},
      {"abandon", ldap_abandon(nullptr, 1), param},
      {"result", ldap_result(ld, 1, LDAP_MSG_ALL, nullptr, nullptr), no_message},
      {"result2error", ldap_result2error(ld, nullptr, 0), param},
      {"count_entries", ldap_count_entries(ld, nullptr), no_message},
      {"ufn2dn", ldap_ufn2dnA(nullptr, nullptr), param},
      {"start_tls", ldap_start_tls_sA(nullptr, nullptr, nullptr, nullptr, nullptr),
       param},
      {"create_sort", ldap_create_sort_controlA(ld, nullptr, 0, nullptr), param},
      {"encode_sort", ldap_encode_sort_controlA(ld, nullptr, nullptr, 0), param},
      {"parse_sort", ldap_parse_sort_controlA(ld, nullptr, nullptr, nullptr), param},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(row.result, row.expected);
  }
  // Nothing listens on port 1: the search fails at its first contact and leaves a
  // null (freeable) result.
  EXPECT_EQ(ldap_search_sA(ld, dn, 0, nullptr, nullptr, 0, &res),
            static_cast<ULONG>(LDAP_SERVER_DOWN));
  EXPECT_EQ(res, nullptr);
  EXPECT_EQ(ldap_msgfree(res), static_cast<ULONG>(LDAP_SUCCESS));

  // Pointer-returning calls give null and record the code.
  SeedLastError();
  EXPECT_EQ(ldap_first_entry(ld, nullptr), nullptr);
  EXPECT_EQ(LdapGetLastError(), param);
  SeedLastError();
  BerElement* cursor = reinterpret_cast<BerElement*>(kSentinel);
  EXPECT_EQ(ldap_first_attributeA(ld, nullptr, &cursor), nullptr);
  EXPECT_EQ(cursor, nullptr);
  EXPECT_EQ(LdapGetLastError(), param);
  EXPECT_EQ(ldap_next_entry(nullptr, nullptr), nullptr);
  EXPECT_EQ(ldap_next_attributeA(ld, nullptr, nullptr), nullptr);
  EXPECT_EQ(ldap_get_valuesA(ld, nullptr, dn), nullptr);
  EXPECT_EQ(ldap_get_values_lenA(ld, nullptr, dn), nullptr);
  EXPECT_EQ(ldap_get_dnA(nullptr, nullptr), nullptr);
  EXPECT_EQ(ldap_explode_dnA(nullptr, 0), nullptr);
  EXPECT_EQ(ldap_dn2ufnA(nullptr), nullptr);
  EXPECT_EQ(ldap_stop_tls_s(nullptr), 0);
  // The release calls accept null.
  EXPECT_EQ(ldap_msgfree(nullptr), static_cast<ULONG>(LDAP_SUCCESS));
  EXPECT_EQ(ldap_value_freeA(nullptr), static_cast<ULONG>(LDAP_SUCCESS));
  EXPECT_EQ(ldap_value_free_len(nullptr), static_cast<ULONG>(LDAP_SUCCESS));
  EXPECT_EQ(ldap_count_valuesA(nullptr), 0u);
  ldap_memfreeA(nullptr);
  ber_free(nullptr, 0);
  ber_bvfree(nullptr);
}

TEST(LdapSessionTest, InitAcceptsHostListsAndRefusesBadPorts) {
  struct Row {
    const char* host;
    ULONG port;
    bool ok;
  };
  const std::vector<Row> rows = {
      {"127.0.0.1", 0, true},    {"a.example b.example:1389", 389, true},
      {"[::1]:636", 0, true},    {"::1", 389, true},
      {nullptr, 0, true},        {"host:99999", 389, false},
      {"host:12ab", 389, false}, {"host:", 389, false},
      {"[::1", 389, false},      {"host", 70000, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.host ? row.host : "(null)");
    SeedLastError();
    LDAP* ld = ldap_initA(const_cast<PCHAR>(row.host), row.port);
    EXPECT_EQ(ld != nullptr, row.ok);
    if (ld == nullptr) {
      EXPECT_EQ(LdapGetLastError(), static_cast<ULONG>(LDAP_PARAM_ERROR));
      continue;
    }
    EXPECT_STREQ(ld->ld_host, row.host ? row.host : "localhost");
    EXPECT_EQ(ldap_unbind(ld), static_cast<ULONG>(LDAP_SUCCESS));
  }
}

TEST(LdapSessionTest, ConnectionlessSessionsAreNotSupported) {
  EXPECT_EQ(cldap_openA(const_cast<PCHAR>("127.0.0.1"), 389), nullptr);
  EXPECT_EQ(LdapGetLastError(), static_cast<ULONG>(LDAP_NOT_SUPPORTED));
}

TEST(LdapSessionTest, OptionsRoundTripBeforeTheFirstContact) {
  Session s("first.example second.example", 0);
  ASSERT_NE(s.ld, nullptr);
  ULONG value = kSentinel;
  // The platform's documented default protocol version.
  ASSERT_EQ(ldap_get_option(s.ld, LDAP_OPT_PROTOCOL_VERSION, &value), 0u);
  EXPECT_EQ(value, static_cast<ULONG>(LDAP_VERSION2));
  ULONG three = LDAP_VERSION3;
  ASSERT_EQ(ldap_set_option(s.ld, LDAP_OPT_PROTOCOL_VERSION, &three), 0u);
  EXPECT_EQ(s.ld->ld_version, three);
  ULONG four = 4;
  SeedLastError();
  EXPECT_EQ(ldap_set_option(s.ld, LDAP_OPT_PROTOCOL_VERSION, &four),
            static_cast<ULONG>(LDAP_PARAM_ERROR));
  EXPECT_EQ(LdapGetLastError(), static_cast<ULONG>(LDAP_PARAM_ERROR));
  EXPECT_EQ(s.ld->ld_version, three);

  struct Row {
    int option;
    ULONG set;
    ULONG LDAP::*field;
  };
  for (const Row& row : {Row{LDAP_OPT_SIZELIMIT, 25, &LDAP::ld_sizelimit},
                         Row{LDAP_OPT_TIMELIMIT, 7, &LDAP::ld_timelimit},
                         Row{LDAP_OPT_DEREF, LDAP_DEREF_ALWAYS, &LDAP::ld_deref}}) {
    SCOPED_TRACE(row.option);
    ASSERT_EQ(ldap_set_option(s.ld, row.option, &row.set), 0u);
    EXPECT_EQ(s.ld->*row.field, row.set);
    value = kSentinel;
    ASSERT_EQ(ldap_get_option(s.ld, row.option, &value), 0u);
    EXPECT_EQ(value, row.set);
  }
  ULONG bad_deref = 4;
  EXPECT_EQ(ldap_set_option(s.ld, LDAP_OPT_DEREF, &bad_deref),
            static_cast<ULONG>(LDAP_PARAM_ERROR));

  // Switches take LDAP_OPT_ON / LDAP_OPT_OFF themselves or a ULONG.
  ASSERT_EQ(ldap_set_option(s.ld, LDAP_OPT_REFERRALS, LDAP_OPT_OFF), 0u);
  ASSERT_EQ(ldap_get_option(s.ld, LDAP_OPT_REFERRALS, &value), 0u);
  EXPECT_EQ(value, 0u);
  ULONG on = 1;
  ASSERT_EQ(ldap_set_option(s.ld, LDAP_OPT_REFERRALS, &on), 0u);
  ASSERT_EQ(ldap_get_option(s.ld, LDAP_OPT_REFERRALS, &value), 0u);
  EXPECT_EQ(value, 1u);

  PCHAR host = nullptr;
  ASSERT_EQ(ldap_get_option(s.ld, LDAP_OPT_HOST_NAME, &host), 0u);
  EXPECT_STREQ(host, "first.example");

  ASSERT_EQ(ldap_get_option(s.ld, LDAP_OPT_SSL, &value), 0u);
  EXPECT_EQ(value, 0u);
  ASSERT_EQ(ldap_set_option(s.ld, LDAP_OPT_SSL, LDAP_OPT_ON), 0u);
  ASSERT_EQ(ldap_get_option(s.ld, LDAP_OPT_SSL, &value), 0u);
  EXPECT_EQ(value, 1u);
  // The protocol version survives the change of scheme.
  EXPECT_EQ(ldap_get_option(s.ld, LDAP_OPT_PROTOCOL_VERSION, &value), 0u);
  EXPECT_EQ(value, three);

  SeedLastError();
  EXPECT_EQ(ldap_set_option(s.ld, LDAP_OPT_SIGN, LDAP_OPT_ON),
            static_cast<ULONG>(LDAP_PARAM_ERROR));
  EXPECT_EQ(ldap_get_option(s.ld, 0x7777, &value), static_cast<ULONG>(LDAP_PARAM_ERROR));
}

TEST(LdapSessionTest, StartupAndCleanupNeedNothing) {
  LDAP_VERSION_INFO info{sizeof(info), 0, 0};
  HANDLE instance = nullptr;
  EXPECT_EQ(ldap_startup(&info, &instance), 0u);
  EXPECT_EQ(info.lv_major, static_cast<ULONG>(LAPI_MAJOR_VER1));
  EXPECT_NE(instance, nullptr);
  EXPECT_EQ(ldap_cleanup(instance), 0u);
}

TEST(LdapDnTest, ExplodeKeepsEscapesQuotesAndMultiValuedRdns) {
  struct Row {
    const char* dn;
    std::vector<std::string> with_types;
    std::vector<std::string> values;
  };
  const std::vector<Row> rows = {
      {"CN=a.ini,CN=Sessions,DC=kova,DC=test",
       {"CN=a.ini", "CN=Sessions", "DC=kova", "DC=test"},
       {"a.ini", "Sessions", "kova", "test"}},
      {"CN=a\\,b,DC=kova", {"CN=a\\,b", "DC=kova"}, {"a\\,b", "kova"}},
      {"cn=x\\2Cy ,  dc=k", {"cn=x\\2Cy", "dc=k"}, {"x\\2Cy", "k"}},
      {"cn=\"q, r\",dc=k", {"cn=\"q, r\"", "dc=k"}, {"\"q, r\"", "k"}},
      {"cn=a+sn=b,dc=k", {"cn=a+sn=b", "dc=k"}, {"a+b", "k"}},
      {"cn=a;dc=k", {"cn=a", "dc=k"}, {"a", "k"}},
      {"cn=a\\+b\\=c,dc=k", {"cn=a\\+b\\=c", "dc=k"}, {"a\\+b\\=c", "k"}},
      {"", {}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.dn);
    for (ULONG notypes : {0u, 1u}) {
      PCHAR* parts = ldap_explode_dnA(const_cast<PCHAR>(row.dn), notypes);
      ASSERT_NE(parts, nullptr);
      EXPECT_EQ(Strings(parts), notypes ? row.values : row.with_types);
      EXPECT_EQ(ldap_count_valuesA(parts), row.values.size());
      EXPECT_EQ(ldap_value_freeA(parts), 0u);
    }
  }
  for (const char* bad : {"CN=a.ini,garbage", "no-equals-sign", "cn=a,,dc=k", "=x"}) {
    SCOPED_TRACE(bad);
    SeedLastError();
    EXPECT_EQ(ldap_explode_dnA(const_cast<PCHAR>(bad), 0), nullptr);
    EXPECT_EQ(LdapGetLastError(), static_cast<ULONG>(LDAP_INVALID_DN_SYNTAX));
  }
}

TEST(LdapDnTest, UserFriendlyNames) {
  PCHAR ufn = ldap_dn2ufnA(const_cast<PCHAR>("cn=Jane Doe,ou=Sales,dc=kova"));
  ASSERT_NE(ufn, nullptr);
  EXPECT_STREQ(ufn, "Jane Doe, Sales, kova");
  ldap_memfreeA(ufn);
  EXPECT_EQ(ldap_dn2ufnA(const_cast<PCHAR>("garbage")), nullptr);

  struct Row {
    const char* ufn;
    const char* dn;
  };
  for (const Row& row :
       {Row{"Jane Doe, Sales", "CN=Jane Doe,OU=Sales"},
        Row{"cn=a,dc=kova", "cn=a,dc=kova"}, Row{"Jane, o=Acme", "CN=Jane,o=Acme"},
        Row{"trailing\\", "trailing\\"}}) {
    SCOPED_TRACE(row.ufn);
    PCHAR dn = reinterpret_cast<PCHAR>(kSentinel);
    ASSERT_EQ(ldap_ufn2dnA(const_cast<PCHAR>(row.ufn), &dn), 0u);
    EXPECT_STREQ(dn, row.dn);
    ldap_memfreeA(dn);
  }
}

TEST(LdapFilterTest, CheckFilterFollowsTheFilterSyntax) {
  Session s;
  ASSERT_NE(s.ld, nullptr);
  const std::vector<const char*> good = {"(objectClass=*)",
                                         "objectClass=*",
                                         "(cn=a*b*c)",
                                         "(&(cn=a)(|(sn=b)(!(sn=c))))",
                                         "(cn>=m)",
                                         "(cn~=smith)",
                                         "(cn=a\\2ab)",
                                         "(cn:caseExactMatch:=Fred)",
                                         "(:dn:2.5.13.5:=x)",
                                         "(cn;lang-de=x)",
                                         "(&)",
                                         "(cn=\\(x\\))",
                                         "(cn:=x)"};
  const std::vector<const char*> bad = {
      "",         "(cn=a",    "cn=a)",   "(cn=a)(sn=b)", "((cn=a))",
      "(=a)",     "(cn>=a*)", "(c n=a)", "(cn=a\\zz)",   "(&(cn=a)sn=b)",
      "(cn=a(b)", "(!)",      "(:=x)"};
  for (const char* f : good) {
    SCOPED_TRACE(f);
    EXPECT_EQ(ldap_check_filterA(s.ld, const_cast<PCHAR>(f)), 0u);
  }
  for (const char* f : bad) {
    SCOPED_TRACE(f);
    SeedLastError();
    EXPECT_EQ(ldap_check_filterA(s.ld, const_cast<PCHAR>(f)),
              static_cast<ULONG>(LDAP_FILTER_ERROR));
    EXPECT_EQ(LdapGetLastError(), static_cast<ULONG>(LDAP_FILTER_ERROR));
  }
  // Nesting deeper than the checker follows is refused rather than recursed into.
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "(!";
  deep += "(cn=a)" + std::string(1000, ')');
  EXPECT_EQ(ldap_check_filterA(s.ld, deep.data()), static_cast<ULONG>(LDAP_FILTER_ERROR));
}

TEST(LdapSortControlTest, EncodesTheRequestAsRfc2891) {
  Session s;
  ASSERT_NE(s.ld, nullptr);
  LDAPSortKeyA cn{const_cast<PCHAR>("cn"), nullptr, 0};
  LDAPSortKeyA sn{const_cast<PCHAR>("sn"), const_cast<PCHAR>("2.5.13.3"), 1};
  PLDAPSortKeyA one[] = {&cn, nullptr};
  PLDAPSortKeyA two[] = {&cn, &sn, nullptr};

  LDAPControlA control{};
  ASSERT_EQ(ldap_encode_sort_controlA(s.ld, one, &control, 1), 0u);
  EXPECT_STREQ(control.ldctl_oid, LDAP_SERVER_SORT_OID);
  EXPECT_EQ(Bytes(control.ldctl_value), std::string("\x30\x06\x30\x04\x04\x02"
                                                    "cn",
                                                    8));
  EXPECT_EQ(control.ldctl_iscritical, 1);
  ldap_memfreeA(control.ldctl_oid);
  ldap_memfreeA(control.ldctl_value.bv_val);

  PLDAPControlA made = nullptr;
  ASSERT_EQ(ldap_create_sort_controlA(s.ld, two, 0, &made), 0u);
  ASSERT_NE(made, nullptr);
  EXPECT_STREQ(made->ldctl_oid, LDAP_SERVER_SORT_OID);
  EXPECT_EQ(made->ldctl_iscritical, 0);
  const std::string expected = std::string(
      "\x30\x19\x30\x04\x04\x02"
      "cn"
      "\x30\x11\x04\x02"
      "sn"
      "\x80\x08"
      "2.5.13.3"
      "\x81\x01\xff",
      27);
  EXPECT_EQ(Bytes(made->ldctl_value), expected);
  ldap_memfreeA(reinterpret_cast<PCHAR>(made));

  PLDAPSortKeyA none[] = {nullptr};
  EXPECT_EQ(ldap_create_sort_controlA(s.ld, none, 0, &made),
            static_cast<ULONG>(LDAP_PARAM_ERROR));
}

TEST(LdapSortControlTest, ParsesTheResponseAmongOtherControls) {
  Session s;
  ASSERT_NE(s.ld, nullptr);
  auto make = [](const char* oid, const std::string& value) {
    LDAPControlA c{};
    c.ldctl_oid = const_cast<PCHAR>(oid);
    c.ldctl_value.bv_len = static_cast<ULONG>(value.size());
    c.ldctl_value.bv_val = const_cast<PCHAR>(value.data());
    return c;
  };
  const std::string success("\x30\x03\x0a\x01\x00", 5);
  const std::string no_attribute(
      "\x30\x07\x0a\x01\x10\x80\x02"
      "cn",
      9);
  const std::string other_value = "xyz";
  const std::string not_a_sequence("\x04\x01", 2);
  LDAPControlA other = make("1.2.3.4", other_value);
  LDAPControlA ok = make(LDAP_SERVER_RESP_SORT_OID, success);
  LDAPControlA failed = make(LDAP_SERVER_RESP_SORT_OID, no_attribute);
  LDAPControlA broken = make(LDAP_SERVER_RESP_SORT_OID, not_a_sequence);

  ULONG result = kSentinel;
  PCHAR attribute = reinterpret_cast<PCHAR>(kSentinel);
  PLDAPControlA with_ok[] = {&other, &ok, nullptr};
  ASSERT_EQ(ldap_parse_sort_controlA(s.ld, with_ok, &result, &attribute), 0u);
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(attribute, nullptr);

  PLDAPControlA with_failed[] = {&failed, nullptr};
  ASSERT_EQ(ldap_parse_sort_controlA(s.ld, with_failed, &result, &attribute), 0u);
  EXPECT_EQ(result, static_cast<ULONG>(LDAP_NO_SUCH_ATTRIBUTE));
  EXPECT_STREQ(attribute, "cn");
  ldap_memfreeA(attribute);

  PLDAPControlA without[] = {&other, nullptr};
  EXPECT_EQ(ldap_parse_sort_controlA(s.ld, without, &result, &attribute),
            static_cast<ULONG>(LDAP_CONTROL_NOT_FOUND));
  EXPECT_EQ(LdapGetLastError(), static_cast<ULONG>(LDAP_CONTROL_NOT_FOUND));
  PLDAPControlA with_broken[] = {&broken, nullptr};
  EXPECT_NE(ldap_parse_sort_controlA(s.ld, with_broken, &result, &attribute), 0u);
}

}  // namespace
