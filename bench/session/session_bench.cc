// KovaInitialize + KovaUnInitialize with 100 Kovas defined for the user and 100
// for the machine: both hives read, the Kovas sorted by "OrderIndex", the default
// chosen and the replacer block attached, for every session.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "api/api_test_support.h"
#include "windows.h"

namespace {

constexpr int kKovasPerHive = 100;

void SetText(HKEY key, const char* name, const std::string& value) {
  RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>(value.size() + 1));
}

void SetNumber(HKEY key, const char* name, DWORD value) {
  RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof value);
}

// A private registry with the Kovas, each with two paths, display names in two
// languages and an order index; the user's Kovas come in reverse order.
class Bed {
 public:
  Bed() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/kova-session-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    std::filesystem::create_directories(root_ / "registry");
    setenv("KOVA_REGISTRY_DIR", (root_ / "registry").c_str(), 1);
    setenv("KOVA_USERDIR", "/srv/user", 1);
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      const char* owner = hive == HKEY_CURRENT_USER ? "User" : "Machine";
      for (int i = 0; i < kKovasPerHive; ++i) {
        const std::string name = owner + std::to_string(i);
        HKEY key = nullptr;
        const std::string path = "Software\\Corvanta\\Vintrel\\Kovas\\" + name;
        if (RegCreateKeyExA(hive, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) != ERROR_SUCCESS) {
          std::abort();
        }
        SetText(key, "Path1", "$USERDIR$Kovas\\" + name);
        SetText(key, "Path2", "\\srv\\kovas\\" + name);
        SetText(key, "DisplayName.eng", name + " files");
        SetText(key, "DisplayName.deu", name + " Dateien");
        SetNumber(key, "OrderIndex", hive == HKEY_CURRENT_USER ? kKovasPerHive - i : i);
        RegCloseKey(key);
      }
    }
  }
  ~Bed() { std::filesystem::remove_all(root_); }

  kova::test::TestApi& api() { return api_; }

 private:
  std::filesystem::path root_;
  kova::test::TestApi api_;
};

void BM_SessionWith200Kovas(benchmark::State& state) {
  static Bed* bed = new Bed;
  for (auto _ : state) {
    KOVA_LONG_PTR handle = 0;
    if (bed->api().KovaInitialize(&handle) != S_OK) state.SkipWithError("no session");
    bed->api().KovaUnInitialize(handle);
  }
}
BENCHMARK(BM_SessionWith200Kovas)->Unit(benchmark::kMicrosecond);

// The same with a look-up that needs every Kova's root: a path in the last Kova.
void BM_FileExistsInTheLastOf200Kovas(benchmark::State& state) {
  static Bed* bed = new Bed;
  kova::test::Bstr path("<Machine99>\\a.lms");
  for (auto _ : state) benchmark::DoNotOptimize(bed->api().KovaFileExists(0, path.in()));
}
BENCHMARK(BM_FileExistsInTheLastOf200Kovas)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
