// A second process for the profile tests.
//
//   profile_test_writer set FILE SECTION KEY VALUE
//   profile_test_writer keys FILE SECTION PREFIX COUNT
//       sets PREFIX0..PREFIX<COUNT-1> to v0..v<COUNT-1>, one write each
//   profile_test_writer generations FILE SECTION COUNT
//       rewrites keys k0000..k<COUNT-1> for ever with GenerationValue: the file
//       always holds keys 0..j-1 at generation g+1 and the rest at g
//   profile_test_writer limited FILE LIMIT SECTION KEY VALUE
//       writes once with the file-size limit LIMIT and SIGXFSZ ignored, then prints
//       "<result> <last error>"
//
// Exits 0 when every write succeeded, else 1 with the failing call on stderr.
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "errhandlingapi.h"
#include "profile/profile_test_writer.h"
#include "winbase.h"

namespace {

int Fail(const std::string& what) {
  std::fprintf(stderr, "%s failed, last error %lu\n", what.c_str(),
               static_cast<unsigned long>(GetLastError()));
  return 1;
}

int Generations(const char* file, const char* section, int count) {
  // Continue from the state the file is in: the first key whose generation is
  // below key 0's is where the previous writer stopped.
  auto generation_of = [&](int k) {
    char value[256];
    GetPrivateProfileStringA(section, kova::test::GenerationKey(k).c_str(), "", value,
                             sizeof value, file);
    return std::atol(value);
  };
  long generation = generation_of(0);
  int next = 0;
  while (next < count && generation_of(next) == generation) ++next;
  if (next == count) {
    ++generation;
    next = 0;
  }
  for (;; ++generation, next = 0) {
    for (int k = next; k < count; ++k) {
      std::string key = kova::test::GenerationKey(k);
      std::string value = kova::test::GenerationValue(generation, k);
      if (!WritePrivateProfileStringA(section, key.c_str(), value.c_str(), file))
        return Fail("write " + key);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "set" && argc == 6) {
    return WritePrivateProfileStringA(argv[3], argv[4], argv[5], argv[2]) ? 0
                                                                          : Fail("set");
  }
  if (mode == "keys" && argc == 6) {
    int count = std::atoi(argv[5]);
    for (int i = 0; i < count; ++i) {
      std::string key = argv[4] + std::to_string(i);
      std::string value = "v" + std::to_string(i);
      if (!WritePrivateProfileStringA(argv[3], key.c_str(), value.c_str(), argv[2]))
        return Fail("write " + key);
    }
    return 0;
  }
  if (mode == "generations" && argc == 5)
    return Generations(argv[2], argv[3], std::atoi(argv[4]));
  if (mode == "limited" && argc == 7) {
    rlimit limit{static_cast<rlim_t>(std::atoll(argv[3])),
                 static_cast<rlim_t>(std::atoll(argv[3]))};
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0) return Fail("setrlimit");
    std::signal(SIGXFSZ, SIG_IGN);
    SetLastError(0);
    BOOL ok = WritePrivateProfileStringA(argv[4], argv[5], argv[6], argv[2]);
    std::printf("%d %lu\n", ok, static_cast<unsigned long>(GetLastError()));
    return 0;
  }
  std::fprintf(stderr, "usage: profile_test_writer set|keys|generations|limited ...\n");
  return 2;
}
