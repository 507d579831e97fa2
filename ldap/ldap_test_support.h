// The fixture of the LDAP storage tests: the suite's private slapd, a folder entry
// of the test's own below the base, a private registry, temporary folder and
// message-box log, and what the real ldap-utils say about the directory.
#ifndef KOVA_LDAP_LDAP_TEST_SUPPORT_H_
#define KOVA_LDAP_LDAP_TEST_SUPPORT_H_

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/text.h"
#include "ldap/ldap_directory.h"
#include "tests/ldap/slapd_fixture.h"
#include "tests/test_util.h"

namespace kova::test {

class LdapStoreTest : public SlapdTest {
 protected:
  LdapStoreTest() {
    for (const char* sub : {"registry", "tmp", "home", "local"})
      std::filesystem::create_directories(root_.OsPath(sub));
    auto set = [this](const char* name, const std::string& value) {
      env_.push_back(std::make_unique<ScopedEnv>(name, value));
    };
    set("KOVA_REGISTRY_DIR", root_.OsPath("registry"));
    set("TMPDIR", root_.OsPath("tmp"));
    set("HOME", root_.OsPath("home"));
    set("KOVA_MESSAGEBOX_LOG", root_.OsPath("messageboxes.jsonl"));
  }

  void SetUp() override {
    SlapdTest::SetUp();
    if (HasFatalFailure()) return;
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    folder_ = std::string("CN=") + info->name() + "," + SlapdServer::base_dn();
    std::string error;
    ASSERT_TRUE(server().Add(FolderLdif(folder_, info->name()), &error)) << error;
    settings_.host = server().host();
    settings_.port = static_cast<DWORD>(server().port());
    settings_.userName = SlapdServer::user_dn();
    settings_.password = SlapdServer::user_password();
    settings_.authentication = kLDAPAuthSimple;
  }

  // A back end on the test's settings with a Kova name of the test's own, so
  // that no shared information block outlives the test.
  std::unique_ptr<CLDAPDirectory> NewDirectory() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    return std::make_unique<CLDAPDirectory>(
        &settings_,
        std::string("ldapstore-") + info->name() + "-" + std::to_string(++directories_));
  }

  // The test's folder entry, "CN=<test name>,dc=kova,dc=test".
  const std::string& folder() const { return folder_; }
  std::string Below(const std::string& rdn) const { return rdn + "," + folder_; }

  static std::string FolderLdif(const std::string& dn, const std::string& name) {
    return "dn: " + dn + "\nobjectClass: corvantaFolder\ncn: " + name + "\n";
  }
  static std::string FileLdif(const std::string& dn, const std::string& name,
                              const std::vector<std::string>& contents) {
    std::string ldif =
        "dn: " + dn + "\nobjectClass: corvantaFileBinary\ncn: " + name + "\n";
    for (const std::string& value : contents)
      ldif += "corvantaFileContentsBinary:: " + Base64(value) + "\n";
    return ldif;
  }
  void AddFolder(const std::string& dn, const std::string& name) {
    std::string error;
    ASSERT_TRUE(server().Add(FolderLdif(dn, name), &error)) << error;
  }
  void AddFile(const std::string& dn, const std::string& name,
               const std::vector<std::string>& contents) {
    std::string error;
    ASSERT_TRUE(server().Add(FileLdif(dn, name, contents), &error)) << error;
  }

  // The DNs ldapsearch finds below `base` (scope "base", "one" or "sub"),
  // lower-cased, in the server's order; empty when the search fails.
  std::vector<std::string> SearchDNs(const std::string& base, const std::string& scope) {
    RunResult r = server().RunTool(
        "ldapsearch", {"-LLL", "-o", "ldif-wrap=no", "-b", base, "-s", scope, "1.1"});
    std::vector<std::string> dns;
    if (r.exit_code != 0) return dns;
    std::size_t at = 0;
    while ((at = r.out.find("dn: ", at)) != std::string::npos) {
      const std::size_t end = r.out.find('\n', at);
      dns.push_back(ToLowerAscii(r.out.substr(at + 4, end - at - 4)));
      at = end;
    }
    return dns;
  }
  bool EntryExists(const std::string& dn) { return SearchDNs(dn, "base").size() == 1; }

  // The values of one attribute of `dn`, byte for byte (ldapsearch -tt).
  std::vector<std::string> StoredValues(const std::string& dn,
                                        const std::string& attribute) {
    TempDir values;
    RunResult r = server().RunTool(
        "ldapsearch", {"-LLL", "-o", "ldif-wrap=no", "-tt", "-T", values.os_path(), "-b",
                       dn, "-s", "base", attribute});
    std::vector<std::string> out;
    static constexpr char kUrl[] = "file://";
    std::size_t at = 0;
    while ((at = r.out.find(kUrl, at)) != std::string::npos) {
      const std::size_t end = r.out.find('\n', at);
      out.push_back(ReadFileBytes(r.out.substr(at + 7, end - at - 7)));
      at = end;
    }
    return out;
  }
  std::vector<std::string> StoredContents(const std::string& dn) {
    return StoredValues(dn, "corvantaFileContentsBinary");
  }

  // Files in the private temporary folder.
  std::vector<std::string> TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_.OsPath("tmp")))
      names.push_back(entry.path().filename().string());
    return names;
  }
  std::vector<std::string> MessageBoxLines() const {
    std::vector<std::string> lines;
    std::ifstream in(root_.OsPath("messageboxes.jsonl"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // A path below the test's local folder in the system's form, and in the OS's.
  std::string LocalWin(const std::string& relative) const {
    return root_.WinPath("local/" + relative);
  }
  std::string LocalOs(const std::string& relative) const {
    return root_.OsPath("local/" + relative);
  }

  LDAPSettings settings_;

 private:
  TempDir root_;
  std::vector<std::unique_ptr<ScopedEnv>> env_;
  std::string folder_;
  int directories_ = 0;
};

}  // namespace kova::test

#endif  // KOVA_LDAP_LDAP_TEST_SUPPORT_H_
