// Small helpers for reading fuzz inputs.
#ifndef KOVA_FUZZ_FUZZ_INPUT_H_
#define KOVA_FUZZ_FUZZ_INPUT_H_

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

// A property of the code under test; its failure is a finding, reported with the
// condition and its place before the process aborts for libFuzzer.
#define FUZZ_CHECK(condition)                                                  \
  do {                                                                         \
    if (!(condition)) {                                                        \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, \
                   #condition);                                                \
      std::abort();                                                            \
    }                                                                          \
  } while (false)

namespace kova::fuzz {

// A text as a C string argument carries it: up to its first NUL.
inline std::string CString(std::string text) {
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

inline std::string ConsumeCString(FuzzedDataProvider& input, std::size_t max_length) {
  return CString(input.ConsumeRandomLengthString(max_length));
}

}  // namespace kova::fuzz

#endif  // KOVA_FUZZ_FUZZ_INPUT_H_
