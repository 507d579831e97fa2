// The key and value texts that profile_test_writer's "generations" mode writes and
// that the tests check.
#ifndef KOVA_PLATFORM_PROFILE_PROFILE_TEST_WRITER_H_
#define KOVA_PLATFORM_PROFILE_PROFILE_TEST_WRITER_H_

#include <cstdio>
#include <string>

namespace kova::test {

inline std::string GenerationKey(int k) {
  char key[16];
  std::snprintf(key, sizeof key, "k%04d", k);
  return key;
}

// "<generation>:" and 60 letters that depend on the key, so that a cut or shifted
// line cannot pass for a whole one.
inline std::string GenerationValue(long generation, int k) {
  return std::to_string(generation) + ":" +
         std::string(60, static_cast<char>('a' + k % 26));
}

}  // namespace kova::test

#endif  // KOVA_PLATFORM_PROFILE_PROFILE_TEST_WRITER_H_
