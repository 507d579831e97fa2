// The run-time binding of the LDAP client library: every entry point of the table
// is required, and each table holds its own reference on the library.
#include "ldap/ldap_api.h"

#include <gtest/gtest.h>

#include <string>

#include "files/error_message.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using test::LibDir;
using test::RunProgram;

int ResolvedEntries(const LDAPApi& api) {
  int resolved = 0;
#define KOVA_COUNT_RESOLVED(name) resolved += api.name != nullptr ? 1 : 0;
  KOVA_LDAP_ENTRY_POINTS(KOVA_COUNT_RESOLVED)
#undef KOVA_COUNT_RESOLVED
  return resolved;
}

TEST(LDAPApiTest, LoadResolvesEverySeventyEntryPoints) {
  EXPECT_EQ(kLDAPEntryPointCount, 70);
  LDAPApi api;
  EXPECT_FALSE(api.IsLoaded());
  EXPECT_EQ(ResolvedEntries(api), 0);
  ASSERT_TRUE(api.Load());
  EXPECT_TRUE(api.IsLoaded());
  EXPECT_EQ(ResolvedEntries(api), 70);
  // The error mapping goes through the library's own table.
  EXPECT_EQ(api.MapErrorToSystem(LDAP_INVALID_CREDENTIALS),
            api.LdapMapErrorToWin32(LDAP_INVALID_CREDENTIALS));
  EXPECT_NE(api.MapErrorToSystem(LDAP_INVALID_CREDENTIALS), 0u);
  api.Unload();
  EXPECT_FALSE(api.IsLoaded());
  EXPECT_EQ(ResolvedEntries(api), 0);
}

TEST(LDAPApiTest, TwoTablesHoldTheLibraryIndependently) {
  ASSERT_EQ(GetModuleHandleA("wldap32.dll"), nullptr) << "loaded before the test";
  {
    LDAPApi first;
    LDAPApi second;
    ASSERT_TRUE(first.Load());
    ASSERT_TRUE(second.Load());
    first.Unload();
    EXPECT_FALSE(first.IsLoaded());
    EXPECT_NE(GetModuleHandleA("wldap32.dll"), nullptr);
    // The second table still calls into the loaded library.
    ASSERT_TRUE(second.IsLoaded());
    std::string host = "127.0.0.1";
    LDAP* session = second.ldap_initA(host.data(), 389);
    ASSERT_NE(session, nullptr);
    EXPECT_EQ(second.ldap_unbind_s(session), ULONG(LDAP_SUCCESS));
  }
  EXPECT_EQ(GetModuleHandleA("wldap32.dll"), nullptr);
}

TEST(LDAPApiTest, AnUnloadedTableReleasesNothingAndMapsToTheLoadFailure) {
  LDAPApi api;
  api.Unload();
  api.Unload();
  EXPECT_FALSE(api.IsLoaded());
  EXPECT_EQ(api.MapErrorToSystem(LDAP_SERVER_DOWN), DWORD(ERROR_MOD_NOT_FOUND));
}

std::string MessageFor(DWORD code) {
  std::string text;
  ComposeErrorMessage(code, nullptr, kMessageCaption, &text);
  return text;
}

// The library in the private folder lacks ldap_start_tls_sA, which no storage
// operation calls; binding must fail all the same. A process of its own, because
// this one may already hold the real library under the same file name.
TEST(LDAPApiTest, ALibraryLackingOneEntryPointDoesNotBind) {
  const test::RunResult partial = RunProgram(
      "ldap_probe", {"load"}, {{"KOVA_SYSTEM_DIR", LibDir() + "/wldap32-partial"}});
  ASSERT_EQ(partial.exit_code, 0) << partial.err;
  EXPECT_NE(partial.out.find("loaded=0\n"), std::string::npos) << partial.out;
  // Connecting fails without calling through the table and says why.
  EXPECT_NE(partial.out.find("connect=0\n"), std::string::npos) << partial.out;
  EXPECT_NE(partial.out.find("text=LDAP: " + MessageFor(ERROR_PROC_NOT_FOUND)),
            std::string::npos)
      << partial.out;

  const test::RunResult complete = RunProgram("ldap_probe", {"load"});
  ASSERT_EQ(complete.exit_code, 0) << complete.err;
  EXPECT_NE(complete.out.find("loaded=1\n"), std::string::npos) << complete.out;
}

}  // namespace
}  // namespace kova
