// GetPrivateProfileStringA of random keys of an unchanged 1,000-key profile (served
// by the cache), against parsing the whole file for every read with this parser and
// with libinih's.
#include <benchmark/benchmark.h>
#include <ini.h>
#include <strings.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "base/os_path.h"
#include "profile/profile_store.h"
#include "profile/profile_text.h"
#include "winbase.h"

namespace {

constexpr int kSections = 10;
constexpr int kKeysPerSection = 100;

struct Query {
  std::string section;
  std::string key;
};

// A profile of 10 sections of 100 keys each in a private folder, and 4096 random
// keys of it to read.
class ProfileFixture {
 public:
  ProfileFixture() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern =
        std::string(tmp && *tmp ? tmp : "/tmp") + "/profile-bench-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) std::abort();
    folder_ = pattern;
    os_path_ = folder_ + "/bench.ini";
    win_path_ = kova::platform::FromOsPath(os_path_);

    std::string bytes = "; benchmark profile\r\n";
    for (int s = 0; s < kSections; ++s) {
      bytes += "[Section" + std::to_string(s) + "]\r\n";
      for (int k = 0; k < kKeysPerSection; ++k) {
        bytes += "Key" + std::to_string(k) + " = value of key " + std::to_string(k) +
                 " in section " + std::to_string(s) + "\r\n";
      }
    }
    std::ofstream(os_path_, std::ios::binary) << bytes;
    // Let the file settle, so that the cache may trust its stamp.
    usleep(100000);

    std::mt19937 random(42);
    std::uniform_int_distribution<int> section(0, kSections - 1),
        key(0, kKeysPerSection - 1);
    for (int i = 0; i < 4096; ++i) {
      queries_.push_back({"section" + std::to_string(section(random)),
                          "KEY" + std::to_string(key(random))});
    }
  }
  ~ProfileFixture() {
    unlink(os_path_.c_str());
    rmdir(folder_.c_str());
  }

  const std::string& os_path() const { return os_path_; }
  const std::string& win_path() const { return win_path_; }
  const Query& query(std::size_t i) const { return queries_[i & 4095]; }

 private:
  std::string folder_, os_path_, win_path_;
  std::vector<Query> queries_;
};

const ProfileFixture& Fixture() {
  static const ProfileFixture fixture;
  return fixture;
}

void BM_CachedRead(benchmark::State& state) {
  const ProfileFixture& fixture = Fixture();
  char value[256];
  std::size_t i = 0;
  const auto before = kova::platform::profile::GetProfileCacheStats();
  for (auto _ : state) {
    const Query& q = fixture.query(i++);
    DWORD n = GetPrivateProfileStringA(q.section.c_str(), q.key.c_str(), "", value,
                                       sizeof value, fixture.win_path().c_str());
    benchmark::DoNotOptimize(n);
    if (n == 0) state.SkipWithError("key not found");
  }
  const auto after = kova::platform::profile::GetProfileCacheStats();
  state.counters["parses"] = static_cast<double>(after.parses - before.parses);
}
BENCHMARK(BM_CachedRead);

std::string ReadFile(const std::string& os_path) {
  std::ifstream in(os_path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The same read with the file read and parsed by this parser every time.
void BM_ParseEveryRead(benchmark::State& state) {
  using kova::platform::profile::Profile;
  const ProfileFixture& fixture = Fixture();
  char value[256];
  std::size_t i = 0;
  for (auto _ : state) {
    const Query& q = fixture.query(i++);
    std::shared_ptr<const Profile> profile = Profile::Parse(ReadFile(fixture.os_path()));
    const Profile::Section* section = profile->FindSection(q.section);
    const Profile::Key* key = section ? Profile::FindKey(*section, q.key) : nullptr;
    if (key == nullptr) {
      state.SkipWithError("key not found");
      break;
    }
    std::string_view text = kova::platform::profile::StripOneQuotePair(key->value);
    std::size_t n = std::min(text.size(), sizeof value - 1);
    text.copy(value, n);
    value[n] = '\0';
    benchmark::DoNotOptimize(value);
  }
}
BENCHMARK(BM_ParseEveryRead);

struct InihQuery {
  const Query* query;
  std::string value;
  bool found = false;
};

int InihHandler(void* user, const char* section, const char* name, const char* value) {
  auto* q = static_cast<InihQuery*>(user);
  if (!q->found && strcasecmp(section, q->query->section.c_str()) == 0 &&
      strcasecmp(name, q->query->key.c_str()) == 0) {
    q->value = value;
    q->found = true;
  }
  return 1;
}

// The same read with libinih parsing the file every time.
void BM_InihEveryRead(benchmark::State& state) {
  const ProfileFixture& fixture = Fixture();
  std::size_t i = 0;
  for (auto _ : state) {
    InihQuery q{&fixture.query(i++), {}, false};
    if (ini_parse(fixture.os_path().c_str(), InihHandler, &q) != 0 || !q.found) {
      state.SkipWithError("inih failed");
      break;
    }
    benchmark::DoNotOptimize(q.value);
  }
}
BENCHMARK(BM_InihEveryRead);

}  // namespace

BENCHMARK_MAIN();
