// The directory object without a server: error texts and codes, the shared
// block's part in them, credentials kept in the settings and the block, and the
// failures that need no directory server.
#include "ldap/ldap_directory.h"

#include <gtest/gtest.h>

#include <string>

#include "files/error_message.h"
#include "objbase.h"
#include "tests/test_util.h"

namespace kova {
namespace {

std::string UniqueKova() {
  const ::testing::TestInfo* info =
      ::testing::UnitTest::GetInstance()->current_test_info();
  return std::string("dir-") + info->name() + "-" + std::to_string(GetCurrentProcessId());
}

class LDAPDirectoryTest : public test::IsolatedTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(api_.Load());
    ASSERT_GE(CoInitialize(nullptr), 0);
  }
  void TearDown() override { CoUninitialize(); }

  // "LDAP: " and the system text for an LDAP result code.
  std::string TextFor(ULONG ldapCode) {
    std::string text;
    ComposeErrorMessage(api_.LdapMapErrorToWin32(ldapCode), nullptr, kMessageCaption,
                        &text);
    return "LDAP: " + text;
  }

  LDAPApi api_;
  std::string kova_ = UniqueKova();
};

TEST_F(LDAPDirectoryTest, ReportErrorMapsTheCodeAndShowsOnlyWhenAsked) {
  CLDAPDirectory directory(nullptr, kova_);
  EXPECT_EQ(directory.GetCurrentError(), api_.LdapMapErrorToWin32(0));
  EXPECT_EQ(directory.GetErrorText(), "LDAP: Unknown Error");

  std::string text = "sentinel";
  directory.ReportError(LDAP_NO_SUCH_OBJECT, FALSE, &text);
  EXPECT_EQ(text, TextFor(LDAP_NO_SUCH_OBJECT));
  EXPECT_EQ(directory.GetCurrentError(), api_.LdapMapErrorToWin32(LDAP_NO_SUCH_OBJECT));
  EXPECT_TRUE(MessageBoxLines().empty());
  // Without the show flag the shared last error is left alone.
  CLDAPSharedInfo shared(kova_);
  EXPECT_EQ(shared.GetLastLDAPError(), 0u);

  directory.ReportError(LDAP_INSUFFICIENT_RIGHTS, TRUE, nullptr);
  EXPECT_EQ(shared.GetLastLDAPError(), ULONG(LDAP_INSUFFICIENT_RIGHTS));
  const std::vector<std::string> boxes = MessageBoxLines();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("\"caption\":\"Corvanta\""), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("\"text\":\"LDAP: "), std::string::npos) << boxes[0];

  // A reported code of 0 records it and says nothing.
  text = "sentinel";
  directory.ReportError(0, FALSE, &text);
  EXPECT_EQ(text, "sentinel");
  EXPECT_EQ(MessageBoxLines().size(), 1u);
}

TEST_F(LDAPDirectoryTest, TheSharedLastErrorOutranksTheObjectsOwn) {
  CLDAPDirectory first(nullptr, kova_);
  CLDAPDirectory second(nullptr, kova_);
  std::string text;
  second.ReportError(LDAP_NO_SUCH_OBJECT, FALSE, &text);
  first.ReportError(LDAP_INVALID_CREDENTIALS, TRUE, &text);
  EXPECT_EQ(second.GetCurrentError(), api_.LdapMapErrorToWin32(LDAP_INVALID_CREDENTIALS));
  EXPECT_EQ(second.GetErrorText(), TextFor(LDAP_INVALID_CREDENTIALS));
  CLDAPSharedInfo(kova_).SetLastLDAPError(0);
  EXPECT_EQ(second.GetCurrentError(), api_.LdapMapErrorToWin32(LDAP_NO_SUCH_OBJECT));
}

TEST_F(LDAPDirectoryTest, CredentialsGoIntoTheSettingsAndTheSharedBlock) {
  LDAPSettings settings;
  settings.host = "ldap.example";
  CLDAPDirectory directory(&settings, kova_);
  directory.SetUserName("cn=someone");
  directory.SetPassword(std::string(300, 'p'));
  EXPECT_EQ(settings.userName, "cn=someone");
  EXPECT_EQ(directory.GetUserName(), "cn=someone");
  EXPECT_EQ(settings.password, std::string(300, 'p'));
  EXPECT_EQ(directory.GetHost(), "ldap.example");
  CLDAPSharedInfo shared(kova_);
  EXPECT_EQ(shared.GetUserName(), "cn=someone");
  EXPECT_EQ(shared.GetPassword(), std::string(259, 'p'));
}

TEST_F(LDAPDirectoryTest, WithoutAPromptComponentEveryConnectFailsAsCancelled) {
  LDAPSettings settings;
  settings.host = "127.0.0.1";
  settings.port = 9;
  settings.password = "stored";
  CLDAPDirectory directory(&settings, kova_);
  for (int attempt = 1; attempt <= 2; ++attempt) {
    SCOPED_TRACE(attempt);
    std::string text;
    EXPECT_FALSE(directory.Connect(&text));
    EXPECT_EQ(text, TextFor(LDAP_USER_CANCELLED));
    EXPECT_EQ(directory.GetCurrentError(), api_.LdapMapErrorToWin32(LDAP_USER_CANCELLED));
    // No prompt was shown, so nothing was cancelled: the next attempt asks again.
    EXPECT_EQ(MessageBoxLines().size(), std::size_t(attempt));
    EXPECT_EQ(settings.password, "stored");
    EXPECT_FALSE(CLDAPSharedInfo(kova_).IsCancelled());
  }
}

TEST_F(LDAPDirectoryTest, AFailedAnonymousBindKeepsEveryProcessFromTrying) {
  LDAPSettings settings;
  settings.host = "127.0.0.1";
  settings.port = 9;  // nothing listens: the bind's own connect fails
  settings.authentication = kLDAPAuthAnonymous;
  CLDAPDirectory directory(&settings, kova_);
  std::string text;
  EXPECT_FALSE(directory.Connect(&text));
  EXPECT_EQ(text, TextFor(LDAP_SERVER_DOWN));
  EXPECT_EQ(MessageBoxLines().size(), 1u);
  CLDAPSharedInfo shared(kova_);
  EXPECT_TRUE(shared.IsCancelled());
  EXPECT_EQ(shared.GetLastLDAPError(), ULONG(LDAP_SERVER_DOWN));
  // The cancelled flag answers first: no box, the shared error's text.
  EXPECT_FALSE(directory.Connect(&text));
  EXPECT_EQ(MessageBoxLines().size(), 1u);
}

TEST_F(LDAPDirectoryTest, DisconnectWithoutASessionSucceeds) {
  CLDAPDirectory directory(nullptr, kova_);
  EXPECT_TRUE(directory.Disconnect());
  EXPECT_TRUE(directory.Disconnect());
}

}  // namespace
}  // namespace kova
