// The registry's text form (hive files, kovareg imports): any bytes parse or fail
// cleanly, and a tree built from a parsed file is written so that reading the
// written text back builds the same tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "registry/hive_format.h"

namespace {

using kova::platform::FormatRegText;
using kova::platform::ParseRegText;
using kova::platform::RegKey;
using kova::platform::RegStatement;
using kova::platform::RegTextError;

// Applies the statements of one file to a tree in file order, as a hive load
// does (the root each statement names is not told apart here).
void Apply(const std::vector<RegStatement>& statements, RegKey* root) {
  for (const RegStatement& s : statements) {
    switch (s.kind) {
      case RegStatement::Kind::kKey:
        root->AddPath(s.path);
        break;
      case RegStatement::Kind::kDeleteKey:
        if (s.path.empty()) {
          root->RemoveAllSubkeys();
          root->RemoveAllValues();
        } else if (RegKey* parent = root->FindPath(
                       std::vector<std::string>(s.path.begin(), s.path.end() - 1))) {
          parent->RemoveSubkey(s.path.back());
        }
        break;
      case RegStatement::Kind::kValue:
        root->AddPath(s.path)->SetValue(s.name, s.type, s.data);
        break;
      case RegStatement::Kind::kDeleteValue:
        if (RegKey* key = root->FindPath(s.path)) key->RemoveValue(s.name);
        break;
    }
  }
}

bool SameTree(const RegKey& a, const RegKey& b) {
  if (a.name() != b.name() || a.values().size() != b.values().size() ||
      a.subkeys().size() != b.subkeys().size()) {
    return false;
  }
  for (std::size_t i = 0; i < a.values().size(); ++i) {
    const auto& x = a.values()[i];
    const auto& y = b.values()[i];
    if (x.name != y.name || x.type != y.type || x.data != y.data) return false;
  }
  for (std::size_t i = 0; i < a.subkeys().size(); ++i) {
    if (!SameTree(*a.subkeys()[i], *b.subkeys()[i])) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<RegStatement> statements;
  RegTextError error;
  if (!ParseRegText(text, &statements, &error)) {
    // A refusal names a line of the text and a reason.
    FUZZ_CHECK(error.line >= 1 && !error.reason.empty());
    return 0;
  }
  for (const RegStatement& s : statements) {
    FUZZ_CHECK(s.line >= 1);
  }

  RegKey tree("");
  Apply(statements, &tree);
  const std::string written = FormatRegText(tree, "HKEY_CURRENT_USER", false);
  std::vector<RegStatement> reread;
  FUZZ_CHECK(ParseRegText(written, &reread, &error));
  RegKey again("");
  Apply(reread, &again);
  FUZZ_CHECK(SameTree(tree, again));
  FUZZ_CHECK(FormatRegText(again, "HKEY_CURRENT_USER", false) == written);
  return 0;
}
