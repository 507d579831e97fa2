// KovaLoadFile, 10 KovaSetProfileString and KovaFlushFile of a 50 KB profile in an
// LDAP Kova, against the same round trip done with the raw OpenLDAP calls
// (initialize, bind, search the contents, modify them, unbind), on the tests'
// private slapd. After the timed runs the server's own operation counters
// (cn=Monitor) give the directory operations one interface sequence costs.
#include <benchmark/benchmark.h>
#include <ldap.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "api/api_test_support.h"
#include "tests/ldap/slapd_fixture.h"
#include "tests/test_util.h"
#include "windows.h"

namespace {

using kova::test::Bstr;
using kova::test::SlapdServer;

constexpr int kSets = 10;
constexpr char kFileDn[] = "CN=big.lms,dc=kova,dc=test";

std::string Profile50K() {
  std::string text = "[S]\r\n";
  for (int i = 0; text.size() < 50 * 1024; ++i) {
    text += "Key" + std::to_string(i) + "=a value of some length for key " +
            std::to_string(i) + "\r\n";
  }
  return text;
}

// The server, a private registry with the LDAP Kova "Big" and the 50 KB file.
class Bed {
 public:
  Bed() {
    std::string error;
    if (!server_.Start(&error)) {
      std::fprintf(stderr, "slapd: %s\n", error.c_str());
      std::abort();
    }
    setenv("KOVA_REGISTRY_DIR", root_.OsPath("registry").c_str(), 1);
    setenv("TMPDIR", root_.OsPath("tmp").c_str(), 1);
    setenv("KOVA_USERDIR", "/srv/user", 1);
    setenv("KOVA_MESSAGEBOX_LOG", root_.OsPath("boxes.jsonl").c_str(), 1);
    kova::test::WriteFileBytes(root_.OsPath("tmp/.keep"), "");
    if (!server_.Add("dn: " + std::string(kFileDn) +
                         "\nobjectClass: corvantaFileBinary\ncn: big.lms\n"
                         "corvantaFileContentsBinary:: " +
                         kova::test::Base64(Profile50K()) + "\n",
                     &error)) {
      std::fprintf(stderr, "ldapadd: %s\n", error.c_str());
      std::abort();
    }
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Corvanta\\Vintrel\\Kovas\\Big", 0,
                    nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    auto text = [key](const char* name, const std::string& value) {
      RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
    };
    auto number = [key](const char* name, DWORD value) {
      RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                     sizeof value);
    };
    text("Path1", SlapdServer::base_dn());
    number("Type1", 1);
    text("Host1", server_.host());
    number("Port1", static_cast<DWORD>(server_.port()));
    text("Username1", SlapdServer::user_dn());
    text("Password1", SlapdServer::user_password());
    RegCloseKey(key);
  }

  // Completed operations of each kind so far, from cn=Monitor.
  std::map<std::string, long> OperationCounts() const {
    std::map<std::string, long> counts;
    kova::test::RunResult r = server_.RunTool(
        "ldapsearch",
        {"-LLL", "-b", "cn=Operations,cn=Monitor", "-s", "one", "monitorOpCompleted"});
    std::string kind;
    for (std::size_t at = 0; at < r.out.size();) {
      std::size_t end = r.out.find('\n', at);
      if (end == std::string::npos) end = r.out.size();
      const std::string line = r.out.substr(at, end - at);
      if (line.rfind("dn: cn=", 0) == 0) kind = line.substr(7, line.find(',') - 7);
      if (line.rfind("monitorOpCompleted: ", 0) == 0)
        counts[kind] = std::atol(line.c_str() + 20);
      at = end + 1;
    }
    return counts;
  }

  SlapdServer& server() { return server_; }
  kova::test::TestApi& api() { return api_; }

 private:
  kova::test::TempDir root_;
  SlapdServer server_;
  kova::test::TestApi api_;
};

Bed& TheBed() {
  static Bed* bed = new Bed;
  return *bed;
}

// One client's sequence; the values change every run so every flush writes.
void InterfaceSequence(Bed& bed, int run) {
  KOVA_LONG_PTR handle = 0;
  Bstr path("<Big>\\big.lms"), section("S");
  bed.api().KovaLoadFile(&handle, path.in());
  for (int i = 0; i < kSets; ++i) {
    Bstr key("Key" + std::to_string(i * 97));
    Bstr value("run " + std::to_string(run));
    bed.api().KovaSetProfileString(handle, section.in(), key.in(), value.in());
  }
  bed.api().KovaFlushFile(handle);
  bed.api().KovaUnInitialize(handle);
}

void BM_InterfaceLoadSetFlush(benchmark::State& state) {
  Bed& bed = TheBed();
  int run = 0;
  for (auto _ : state) InterfaceSequence(bed, ++run);
}
BENCHMARK(BM_InterfaceLoadSetFlush)->Unit(benchmark::kMillisecond);

void BM_RawLibldapRoundTrip(benchmark::State& state) {
  Bed& bed = TheBed();
  const std::string uri = bed.server().uri();
  int run = 0;
  for (auto _ : state) {
    LDAP* ld = nullptr;
    if (ldap_initialize(&ld, uri.c_str()) != LDAP_SUCCESS) {
      state.SkipWithError("initialize");
      break;
    }
    int version = LDAP_VERSION3;
    ldap_set_option(ld, LDAP_OPT_PROTOCOL_VERSION, &version);
    berval password{static_cast<ber_len_t>(std::strlen(SlapdServer::user_password())),
                    const_cast<char*>(SlapdServer::user_password())};
    ldap_sasl_bind_s(ld, SlapdServer::user_dn(), LDAP_SASL_SIMPLE, &password, nullptr,
                     nullptr, nullptr);
    char attribute[] = "corvantaFileContentsBinary";
    char* attributes[] = {attribute, nullptr};
    LDAPMessage* result = nullptr;
    std::string contents;
    if (ldap_search_ext_s(ld, kFileDn, LDAP_SCOPE_BASE, "(objectClass=*)", attributes, 0,
                          nullptr, nullptr, nullptr, 0, &result) == LDAP_SUCCESS) {
      if (LDAPMessage* entry = ldap_first_entry(ld, result)) {
        if (berval** values = ldap_get_values_len(ld, entry, attribute)) {
          contents.assign(values[0]->bv_val, values[0]->bv_len);
          ldap_value_free_len(values);
        }
      }
    }
    ldap_msgfree(result);
    contents += "Run=" + std::to_string(++run) + "\r\n";
    berval value{static_cast<ber_len_t>(contents.size()), contents.data()};
    berval* values[] = {&value, nullptr};
    LDAPMod mod{};
    mod.mod_op = LDAP_MOD_REPLACE | LDAP_MOD_BVALUES;
    mod.mod_type = attribute;
    mod.mod_bvalues = values;
    LDAPMod* mods[] = {&mod, nullptr};
    ldap_modify_ext_s(ld, kFileDn, mods, nullptr, nullptr);
    ldap_unbind_ext_s(ld, nullptr, nullptr);
  }
}
BENCHMARK(BM_RawLibldapRoundTrip)->Unit(benchmark::kMillisecond);

// Not timed: the directory operations of one interface sequence, by kind.
void BM_InterfaceOperationCount(benchmark::State& state) {
  Bed& bed = TheBed();
  for (auto _ : state) {
    const auto before = bed.OperationCounts();
    InterfaceSequence(bed, 0x7FFF);
    const auto after = bed.OperationCounts();
    long total = 0;
    for (const auto& [kind, count] : after) {
      const auto it = before.find(kind);
      const long done = count - (it == before.end() ? 0 : it->second);
      state.counters[kind] = static_cast<double>(done);
      total += done;
    }
    // The counter search itself is one bind, one search and one unbind.
    state.counters["total"] = static_cast<double>(total);
  }
}
BENCHMARK(BM_InterfaceOperationCount)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
