// Profile files through the platform functions: what WritePrivateProfileStringA
// stores, GetPrivateProfileStringA reads back trimmed and with one pair of
// enclosing quotes stripped; what WriteProfileStringQuoted stores reads back
// exactly as written. The file starts with fuzzed bytes, and a read into a short
// buffer gives the value cut to the buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "files/profile_quoting.h"
#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_sandbox.h"
#include "profile/profile_text.h"
#include "windows.h"

namespace {

using kova::fuzz::ConsumeCString;
using kova::platform::profile::IsWritableEdit;
using kova::platform::profile::ProfileEdit;
using kova::platform::profile::StripOneQuotePair;
using kova::platform::profile::TrimBlanks;

constexpr char kDefault[] = "\x01no value";

std::string ReadValue(const std::string& section, const std::string& key,
                      const std::string& file, DWORD size) {
  std::vector<char> buffer(size, '\x7f');
  const DWORD length = GetPrivateProfileStringA(section.c_str(), key.c_str(), kDefault,
                                                buffer.data(), size, file.c_str());
  FUZZ_CHECK(length < size && buffer[length] == '\0');
  return std::string(buffer.data(), length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string file = kova::fuzz::Sandbox::Get().OsPath("work/fuzz.ini");
  FuzzedDataProvider input(data, size);
  const bool quoted = input.ConsumeBool();
  const std::string section = ConsumeCString(input, 48);
  const std::string key = ConsumeCString(input, 48);
  const std::string value = ConsumeCString(input, 5000);
  const DWORD short_size = input.ConsumeIntegralInRange<DWORD>(1, 64);
  {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    const std::string initial = input.ConsumeRemainingBytesAsString();
    out.write(initial.data(), std::streamsize(initial.size()));
    FUZZ_CHECK(out.good());
  }

  const BOOL written = quoted
                           ? kova::WriteProfileStringQuoted(section.c_str(), key.c_str(),
                                                            value.c_str(), file.c_str())
                           : WritePrivateProfileStringA(section.c_str(), key.c_str(),
                                                        value.c_str(), file.c_str());
  // Whether the platform could store the texts at all does not depend on the
  // quoting: line breaks and key names that read as something else are refused.
  ProfileEdit edit{TrimBlanks(section), TrimBlanks(key), std::string_view(value)};
  if (!IsWritableEdit(edit)) {
    FUZZ_CHECK(!written);
    return 0;
  }
  FUZZ_CHECK(written);

  const std::string expected =
      quoted ? value : std::string(StripOneQuotePair(TrimBlanks(value)));
  FUZZ_CHECK(ReadValue(section, key, file, DWORD(expected.size() + 2)) == expected);
  FUZZ_CHECK(ReadValue(section, key, file, short_size) ==
             expected.substr(0, short_size - 1));
  return 0;
}
