// Replacer expansion over a shared replacer record whose bytes another component
// of the process may have written as it liked (slots without their NUL included),
// on texts of any length with any replacer names and environment references.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_sandbox.h"
#include "macros/replacers.h"
#include "macros/shared_memory.h"

namespace {

constexpr char kBlockName[] = "Corvanta - Fuzz - Replacers";

// The expanding object and a second view of its block, through which the fuzzed
// record is written as another component would write it.
struct Fixture {
  Fixture() : replacers(true, kBlockName) {
    (void)kova::CreateNamedSharedMemory(kBlockName, kova::kReplacerRecordSize, &mapping,
                                        &view);
    FUZZ_CHECK(replacers.IsAttached() && view != nullptr);
  }
  kova::CReplacers replacers;
  HANDLE mapping = nullptr;
  void* view = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)kova::fuzz::Sandbox::Get();
  static Fixture fixture;
  FuzzedDataProvider input(data, size);
  const std::string record = input.ConsumeBytesAsString(
      input.ConsumeIntegralInRange<std::size_t>(0, kova::kReplacerRecordSize));
  std::memset(fixture.view, 0, kova::kReplacerRecordSize);
  std::memcpy(fixture.view, record.data(), record.size());
  if (input.ConsumeBool())
    fixture.replacers.SetUserDir(input.ConsumeRandomLengthString(600).c_str());

  // Texts reach the expansion as C strings.
  const std::string original = kova::fuzz::CString(input.ConsumeRemainingBytesAsString());
  std::string text = original;
  fixture.replacers.Expand(text);
  // Only replacers and environment references change a text.
  if (original.find_first_of("$%") == std::string::npos) FUZZ_CHECK(text == original);
  return 0;
}
