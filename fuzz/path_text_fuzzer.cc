// The path-text functions and the case-insensitive ReplaceAll of the model's
// conversions, against the properties that define them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include <fuzzer/FuzzedDataProvider.h>

#include "common/path_text.h"
#include "fuzz/fuzz_input.h"
#include "model/path_form.h"

namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Upper(a[i]) != Upper(b[i])) return false;
  }
  return true;
}

void CheckPathText(std::string_view base, std::string_view path) {
  using namespace kova;
  const std::string stripped = StripTrailingBackslash(path);
  FUZZ_CHECK(path.ends_with('\\') ? stripped + "\\" == path : stripped == path);

  const std::string name = FileNameOf(path);
  FUZZ_CHECK(name.find('\\') == std::string::npos);
  const std::string before = CutAtLastBackslash(path);
  FUZZ_CHECK(path.find('\\') == std::string_view::npos ? name == path && before == path
                                                       : before + "\\" + name == path);

  const std::string parent = ParentPath(path);
  FUZZ_CHECK(stripped.find('\\') == std::string::npos
                 ? parent == stripped
                 : parent + "\\" + FileNameOf(stripped) == stripped);

  const std::string extension = ExtensionOf(path);
  FUZZ_CHECK(StripExtension(path) + extension == path);
  FUZZ_CHECK(extension.empty() ? path.find('.') == std::string_view::npos
                               : extension.front() == '.' &&
                                     extension.find('.', 1) == std::string::npos);

  // JoinPath as its definition reads.
  std::string_view relative = TrimTrailingWhiteSpace(path);
  FUZZ_CHECK(relative.empty() || !IsWhiteSpace(relative.back()));
  const bool no_relative = relative.empty();
  std::string expected;
  if (no_relative) {
    expected.clear();
  } else if (relative.find(':') != std::string_view::npos ||
             relative.starts_with("\\\\")) {
    expected = relative;
  } else {
    if (relative.starts_with('\\')) relative.remove_prefix(1);
    if (relative.ends_with('\\')) relative.remove_suffix(1);
    expected = TrimTrailingWhiteSpace(base);
    if (!expected.empty() && !expected.ends_with('\\')) expected += '\\';
    expected += relative;
  }
  FUZZ_CHECK(JoinPath(base, path) == expected);
  FUZZ_CHECK(JoinPathOrBase(base, path) == (no_relative ? std::string(base) : expected));
}

// Every match of `find`, left to right and not overlapping, found without case in
// the original text.
std::string ReplaceAllModel(std::string_view source, std::string_view find,
                            std::string_view replacement) {
  if (find.empty() || source.empty() || EqualNoCase(find, replacement))
    return std::string(source);
  std::string out;
  std::size_t i = 0;
  while (i < source.size()) {
    if (i + find.size() <= source.size() &&
        EqualNoCase(source.substr(i, find.size()), find)) {
      out += replacement;
      i += find.size();
    } else {
      out += source[i++];
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const std::string base = input.ConsumeRandomLengthString(128);
  const std::string find = input.ConsumeRandomLengthString(32);
  const std::string replacement = input.ConsumeRandomLengthString(64);
  const std::string path = input.ConsumeRemainingBytesAsString();

  CheckPathText(base, path);
  FUZZ_CHECK(kova::ReplaceAll(path, find, replacement) ==
             ReplaceAllModel(path, find, replacement));
  const std::string system = kova::ToSystemSeparators(path);
  FUZZ_CHECK(system.find('/') == std::string::npos && system.size() == path.size());
  FUZZ_CHECK(kova::ToOsSeparators(system).find('\\') == std::string::npos);
  return 0;
}
