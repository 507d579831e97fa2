// A client process for the fault tests: drives the interface the way a client
// program does, from its command line, and prints what came back.
//
//   set KOVAPATH SECTION PREFIX COUNT     sets PREFIX<i>=v<i> for i < COUNT
//   flush KOVAPATH KEY PREFIX COUNT       sets KEY=PREFIX<i> and flushes, COUNT times
//   limited BYTES KOVAPATH SECTION KEY VALUE
//                                         one set with files limited to BYTES
//   hold KOVAPATH                         loads the file, prints "ready", waits
//   get KOVAPATH SECTION KEY              prints the value (or "<none>")
//
// Every command prints "hr=<n>" lines for the calls that failed and exits 0 when
// all of them succeeded, 1 otherwise; 2 for a bad command line.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "api/api_test_support.h"

namespace {

using kova::test::Bstr;
using kova::test::OutBstr;
using kova::test::TestApi;

int failures = 0;

void Check(const char* what, HRESULT hr) {
  if (hr == S_OK) return;
  ++failures;
  std::printf("%s: hr=%ld\n", what, static_cast<long>(hr));
}

KOVA_LONG_PTR Load(TestApi& api, const std::string& path) {
  KOVA_LONG_PTR handle = 0;
  Bstr file(path);
  Check("KovaLoadFile", api.KovaLoadFile(&handle, file.in()));
  return handle;
}

void Set(TestApi& api, KOVA_LONG_PTR h, const std::string& section,
         const std::string& key, const std::string& value) {
  Bstr s(section), k(key), v(value);
  Check("KovaSetProfileString", api.KovaSetProfileString(h, s.in(), k.in(), v.in()));
}

int Run(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  TestApi api;
  if (command == "set" && argc == 6) {
    const KOVA_LONG_PTR h = Load(api, argv[2]);
    const int count = std::atoi(argv[5]);
    for (int i = 0; i < count; ++i)
      Set(api, h, argv[3], argv[4] + std::to_string(i), "v" + std::to_string(i));
    Check("KovaUnInitialize", api.KovaUnInitialize(h));
    return failures == 0 ? 0 : 1;
  }
  if (command == "flush" && argc == 6) {
    const KOVA_LONG_PTR h = Load(api, argv[2]);
    const int count = std::atoi(argv[5]);
    for (int i = 0; i < count; ++i) {
      Set(api, h, "S", argv[3], argv[4] + std::to_string(i));
      Check("KovaFlushFile", api.KovaFlushFile(h));
    }
    Check("KovaUnInitialize", api.KovaUnInitialize(h));
    return failures == 0 ? 0 : 1;
  }
  if (command == "limited" && argc == 7) {
    // The write that crosses the limit fails with EFBIG instead of ending the
    // process.
    signal(SIGXFSZ, SIG_IGN);
    const rlim_t bytes = std::strtoul(argv[2], nullptr, 10);
    const rlimit limit = {bytes, bytes};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    const KOVA_LONG_PTR h = Load(api, argv[3]);
    Set(api, h, argv[4], argv[5], argv[6]);
    Check("KovaUnInitialize", api.KovaUnInitialize(h));
    return failures == 0 ? 0 : 1;
  }
  if (command == "hold" && argc == 3) {
    const KOVA_LONG_PTR h = Load(api, argv[2]);
    std::printf("ready %ld\n", static_cast<long>(h));
    std::fflush(stdout);
    for (;;) pause();
  }
  if (command == "get" && argc == 5) {
    const KOVA_LONG_PTR h = Load(api, argv[2]);
    Bstr s(argv[3]), k(argv[4]), d("<none>");
    OutBstr value;
    Check("KovaGetProfileString",
          api.KovaGetProfileString(h, s.in(), k.in(), d.in(), value.out(), 260));
    std::printf("%s\n", value.text().c_str());
    Check("KovaUnInitialize", api.KovaUnInitialize(h));
    return failures == 0 ? 0 : 1;
  }
  std::fprintf(stderr, "usage: fault_client set|flush|limited|hold|get ...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) { return Run(argc, argv); }
