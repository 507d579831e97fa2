// Sets COUNT values PREFIX0 .. PREFIX<COUNT-1> (REG_DWORD, the value is the
// index) under HKEY_CURRENT_USER\KEY, one RegSetValueExA each, so that two of
// these running at once race for the hive file.
// Usage: registry_test_writer KEY PREFIX COUNT
#include <cstdio>
#include <cstdlib>
#include <string>

#include "winerror.h"
#include "winreg.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: registry_test_writer KEY PREFIX COUNT\n");
    return 2;
  }
  HKEY key;
  LSTATUS status = RegCreateKeyExA(HKEY_CURRENT_USER, argv[1], 0, nullptr, 0,
                                   KEY_ALL_ACCESS, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) {
    std::fprintf(stderr, "RegCreateKeyExA: %ld\n", static_cast<long>(status));
    return 1;
  }
  int count = std::atoi(argv[3]);
  for (DWORD i = 0; i < static_cast<DWORD>(count); ++i) {
    std::string name = argv[2] + std::to_string(i);
    status = RegSetValueExA(key, name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&i), sizeof i);
    if (status != ERROR_SUCCESS) {
      std::fprintf(stderr, "RegSetValueExA %s: %ld\n", name.c_str(),
                   static_cast<long>(status));
      return 1;
    }
  }
  RegCloseKey(key);
  return 0;
}
