// The fixture of the fault tests on an LDAP Kova: the suite's private slapd and
// the test's own folder there (LdapStoreTest), a Kova named after the test with
// one LDAP path, and a client of the interface.
#ifndef KOVA_TESTS_FAULTS_LDAP_KOVA_TEST_H_
#define KOVA_TESTS_FAULTS_LDAP_KOVA_TEST_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ldap/ldap_test_support.h"
#include "model/test_support.h"
#include "tests/faults/kova_client.h"
#include "tests/test_util.h"

namespace kova::test {

class LdapKovaTest : public LdapStoreTest {
 protected:
  LdapKovaTest() : user_dir_("KOVA_USERDIR", std::string("/srv/user")) {}

  void SetUp() override {
    LdapStoreTest::SetUp();
    if (HasFatalFailure()) return;
    // A Kova name of the test's own: the LDAP information block is per Kova name.
    name_ = std::string("K") +
            ::testing::UnitTest::GetInstance()->current_test_info()->name();
  }
  void TearDown() override {
    client_.reset();
    LdapStoreTest::TearDown();
  }

  // The test's Kova with one LDAP path on `port` (the server's when 0), with the
  // writer's credentials unless `password` is given.
  void DefineKova(DWORD port = 0, DWORD connect_timeout = 120,
                  const std::string& password = std::string()) {
    kova::test::DefineKova(
        HKEY_CURRENT_USER, name_,
        {{"Path1", folder()},
         {"Type1", DWORD{1}},
         {"Host1", settings_.host},
         {"Port1", port != 0 ? port : settings_.port},
         {"Username1", settings_.userName},
         {"Password1", password.empty() ? settings_.password : password},
         {"ConnectTimeout1", connect_timeout}});
  }
  std::string KovaPath(const std::string& relative) const {
    return "<" + name_ + ">\\" + relative;
  }
  KOVA_LONG_PTR Load(const std::string& relative) {
    return client_->Load(KovaPath(relative));
  }
  void UnInitialize(KOVA_LONG_PTR handle) { client_->UnInitialize(handle); }
  std::string Get(KOVA_LONG_PTR h, const std::string& key) {
    return client_->Get(h, key);
  }
  void Set(KOVA_LONG_PTR h, const std::string& key, const std::string& value) {
    client_->Set(h, key, value);
  }
  // The one contents value of `dn`, or how many it has.
  std::string Stored(const std::string& dn) {
    const auto values = StoredContents(dn);
    return values.size() == 1 ? values[0]
                              : "<" + std::to_string(values.size()) + " values>";
  }
  // The private temporary folder, and the contents of the files in it.
  std::string TempDir() const {
    const char* dir = std::getenv("TMPDIR");
    return dir != nullptr ? dir : "";
  }
  std::vector<std::string> TempContents() {
    std::vector<std::string> contents;
    for (const std::string& name : TempFiles())
      contents.push_back(ReadFileBytes(TempDir() + "/" + name));
    return contents;
  }

  std::unique_ptr<KovaClient> client_ = std::make_unique<KovaClient>();
  TestApi& api_ = client_->api();
  ScopedEnv user_dir_;
  std::string name_;
};

}  // namespace kova::test

#endif  // KOVA_TESTS_FAULTS_LDAP_KOVA_TEST_H_
