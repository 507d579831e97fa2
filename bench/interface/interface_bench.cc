// KovaFindInit on a folder of 10,000 profile files against a plain readdir listing
// of the same folder, and KovaLoadFile with 100 KovaGetProfileString calls on a
// 1,000-key profile against 100 GetPrivateProfileStringA calls on the same file.
// The component is registered in a private registry folder and created by ProgID,
// as a client creates it.
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "api/api_test_support.h"
#include "kova_intr_api.h"
#include "objbase.h"
#include "oleauto.h"
#include "windows.h"

namespace {

constexpr int kProfileFiles = 10000;
constexpr int kKeys = 1000;
constexpr int kReads = 100;

std::string SystemForm(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

using kova::test::Bstr;

// A private registry, TMPDIR and user directory; a Kova "Bench" whose folder holds
// the 10,000 files below Sessions and the 1,000-key profile big.lms; the component
// registered and created.
class Bed {
 public:
  Bed() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kova-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    root_ = pattern;
    const std::filesystem::path kova = root_ / "kova";
    std::filesystem::create_directories(kova / "Sessions");
    std::filesystem::create_directories(kova / "Empty");
    std::filesystem::create_directories(root_ / "registry");
    std::filesystem::create_directories(root_ / "tmp");
    setenv("KOVA_REGISTRY_DIR", (root_ / "registry").c_str(), 1);
    setenv("TMPDIR", (root_ / "tmp").c_str(), 1);
    setenv("KOVA_USERDIR", (root_ / "user").c_str(), 1);

    char name[32];
    for (int i = 0; i < kProfileFiles; ++i) {
      std::snprintf(name, sizeof(name), "s%05d.lms", i);
      std::ofstream(kova / "Sessions" / name) << "[Session]\r\nHost=h\r\n";
    }
    std::ofstream big(kova / "big.lms");
    for (int i = 0; i < kKeys; ++i) {
      if (i % 100 == 0) big << "[Section" << i / 100 << "]\r\n";
      big << "Key" << i << "=value of key " << i << "\r\n";
    }
    big.close();
    sessions_os_ = (kova / "Sessions").string();
    big_system_ = SystemForm((kova / "big.lms").string());

    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Corvanta\\Vintrel\\Kovas\\Bench", 0,
                        nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      std::abort();
    }
    const std::string path1 = SystemForm(kova.string());
    RegSetValueExA(key, "Path1", 0, REG_SZ, reinterpret_cast<const BYTE*>(path1.c_str()),
                   static_cast<DWORD>(path1.size() + 1));
    RegCloseKey(key);

    HMODULE server = LoadLibraryA("KovaIntr.dll");
    auto registerServer = server != nullptr
                              ? reinterpret_cast<HRESULT (*)()>(reinterpret_cast<void*>(
                                    GetProcAddress(server, "DllRegisterServer")))
                              : nullptr;
    if (registerServer == nullptr || FAILED(registerServer())) std::abort();
    CoInitialize(nullptr);
    CLSID clsid;
    if (FAILED(CLSIDFromProgID(u"KovaIntr.KovaIntrApi", &clsid)) ||
        FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IKovaIntrApi,
                                reinterpret_cast<void**>(&api_)))) {
      std::abort();
    }
  }
  ~Bed() {
    api_->Release();
    CoUninitialize();
    std::filesystem::remove_all(root_);
  }

  IKovaIntrApi* api() const { return api_; }
  const std::string& sessions_os() const { return sessions_os_; }
  const std::string& big_system() const { return big_system_; }

 private:
  std::filesystem::path root_;
  std::string sessions_os_;
  std::string big_system_;
  IKovaIntrApi* api_ = nullptr;
};

Bed& TheBed() {
  static Bed* bed = new Bed;
  return *bed;
}

void BM_ReaddirListing(benchmark::State& state) {
  Bed& bed = TheBed();
  for (auto _ : state) {
    std::vector<std::string> names;
    DIR* dir = opendir(bed.sessions_os().c_str());
    while (dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
    closedir(dir);
    benchmark::DoNotOptimize(names.data());
  }
}
BENCHMARK(BM_ReaddirListing)->Unit(benchmark::kMillisecond);

// The listing with the attributes, size and times of every entry, which the
// platform's search reports and so the enumeration pays for: its floor.
void BM_ReaddirStatListing(benchmark::State& state) {
  Bed& bed = TheBed();
  for (auto _ : state) {
    std::vector<std::string> names;
    DIR* dir = opendir(bed.sessions_os().c_str());
    while (dirent* entry = readdir(dir)) {
      struct stat st;
      if (fstatat(dirfd(dir), entry->d_name, &st, 0) == 0)
        names.emplace_back(entry->d_name);
    }
    closedir(dir);
    benchmark::DoNotOptimize(names.data());
  }
}
BENCHMARK(BM_ReaddirStatListing)->Unit(benchmark::kMillisecond);

void BM_KovaFindInit(benchmark::State& state) {
  Bed& bed = TheBed();
  Bstr folder("<Bench>\\Sessions");
  Bstr extension(".lms");
  for (auto _ : state) {
    KOVA_LONG_PTR handle = 0;
    LONG count = 0;
    bed.api()->KovaFindInit(&handle, folder.in(), extension.in(), APP_LUMASET, &count);
    if (count != kProfileFiles) state.SkipWithError("wrong count");
    bed.api()->KovaUnInitialize(handle);
  }
}
BENCHMARK(BM_KovaFindInit)->Unit(benchmark::kMillisecond);

// The same call on an empty folder: what a search costs before its first entry
// (the new session reads the Kova definitions and attaches its replacer block).
void BM_KovaFindInitEmptyFolder(benchmark::State& state) {
  Bed& bed = TheBed();
  Bstr folder("<Bench>\\Empty");
  Bstr extension(".lms");
  for (auto _ : state) {
    KOVA_LONG_PTR handle = 0;
    LONG count = -1;
    bed.api()->KovaFindInit(&handle, folder.in(), extension.in(), APP_LUMASET, &count);
    if (count != 0) state.SkipWithError("wrong count");
    bed.api()->KovaUnInitialize(handle);
  }
}
BENCHMARK(BM_KovaFindInitEmptyFolder)->Unit(benchmark::kMicrosecond);

void BM_PlatformProfileReads(benchmark::State& state) {
  Bed& bed = TheBed();
  char value[260];
  char section[32], key[32];
  for (auto _ : state) {
    for (int i = 0; i < kReads; ++i) {
      const int k = (i * 37) % kKeys;
      std::snprintf(section, sizeof(section), "Section%d", k / 100);
      std::snprintf(key, sizeof(key), "Key%d", k);
      GetPrivateProfileStringA(section, key, "", value, sizeof(value),
                               bed.big_system().c_str());
    }
  }
}
BENCHMARK(BM_PlatformProfileReads)->Unit(benchmark::kMicrosecond);

void BM_KovaLoadFileAndReads(benchmark::State& state) {
  Bed& bed = TheBed();
  Bstr path("<Bench>\\big.lms");
  Bstr empty("");
  std::vector<Bstr*> sections, keys;
  for (int i = 0; i < kReads; ++i) {
    const int k = (i * 37) % kKeys;
    sections.push_back(new Bstr("Section" + std::to_string(k / 100)));
    keys.push_back(new Bstr("Key" + std::to_string(k)));
  }
  for (auto _ : state) {
    KOVA_LONG_PTR handle = 0;
    bed.api()->KovaLoadFile(&handle, path.in());
    for (int i = 0; i < kReads; ++i) {
      BSTR value = nullptr;
      bed.api()->KovaGetProfileString(handle, sections[i]->in(), keys[i]->in(),
                                      empty.in(), &value, 260);
      if (value == nullptr || SysStringLen(value) == 0) state.SkipWithError("no value");
      SysFreeString(value);
    }
    bed.api()->KovaUnInitialize(handle);
  }
  for (Bstr* b : sections) delete b;
  for (Bstr* b : keys) delete b;
}
BENCHMARK(BM_KovaLoadFileAndReads)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
