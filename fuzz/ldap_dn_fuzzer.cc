// Path texts to DNs and DNs to names, with the real LDAP client library loaded
// for the splitting of DNs: any text converts or is refused without harm, and a
// path of plain names converts to a DN that parses back to its last name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_input.h"
#include "fuzz/fuzz_sandbox.h"
#include "ldap/ldap_directory.h"

namespace {

// A name that needs no escaping in a DN and holds no parent reference.
bool IsPlainName(const std::string& name) {
  if (name.empty() || name == "..") return false;
  for (char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    if (!plain) return false;
  }
  return true;
}

// An attribute type as LDAP spells one: a letter, then letters, digits, hyphens.
bool IsAttributeName(const std::string& name) {
  if (name.empty() ||
      !((name[0] >= 'a' && name[0] <= 'z') || (name[0] >= 'A' && name[0] <= 'Z')))
    return false;
  for (char c : name) {
    if (!IsPlainName(std::string(1, c)) || c == '.' || c == '_') return false;
  }
  return true;
}

struct Fixture {
  Fixture() : directory(&settings, "fuzz") {}
  kova::LDAPSettings settings;
  kova::CLDAPDirectory directory;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  (void)kova::fuzz::Sandbox::Get();
  static Fixture* fixture = new Fixture;
  kova::CLDAPDirectory& directory = fixture->directory;
  FuzzedDataProvider input(data, size);
  switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:  // the defaults: CN for folders and files
      fixture->settings.folderAttributeName.clear();
      fixture->settings.fileAttributeName.clear();
      break;
    case 1:
      fixture->settings.folderAttributeName = "ou";
      fixture->settings.fileAttributeName = "cn";
      break;
    default:
      fixture->settings.folderAttributeName = kova::fuzz::ConsumeCString(input, 12);
      fixture->settings.fileAttributeName = kova::fuzz::ConsumeCString(input, 12);
      break;
  }
  const std::string dn_text = kova::fuzz::ConsumeCString(input, 512);
  const std::string path = kova::fuzz::CString(input.ConsumeRemainingBytesAsString());

  std::string name = "sentinel";
  DWORD folder = 7;
  if (directory.ParseDN(dn_text, &name, &folder)) {
    FUZZ_CHECK(folder == 0 || folder == 1);
    FUZZ_CHECK(directory.IsFolderDN(dn_text) == (folder == 1 ? TRUE : FALSE));
  } else {
    FUZZ_CHECK(name == "sentinel" && folder == 7);
    FUZZ_CHECK(!directory.IsFolderDN(dn_text));
  }

  const std::string dn = directory.PathToDN(path);
  if (path.find('\\') == std::string::npos) FUZZ_CHECK(dn == path);
  if (!path.ends_with('\\')) FUZZ_CHECK(directory.PathToDN(path + "\\") == dn);

  // "o=base\a\b.ini" of plain names: the first RDN names the last component.
  std::vector<std::string> names;
  std::string rest = path;
  for (std::size_t slash; (slash = rest.find('\\')) != std::string::npos;) {
    names.push_back(rest.substr(0, slash));
    rest.erase(0, slash + 1);
  }
  names.push_back(rest);
  bool plain = names.size() >= 2;
  for (const std::string& component : names) plain = plain && IsPlainName(component);
  const std::string folder_attribute = directory.FolderAttributeName();
  const std::string file_attribute = directory.FileAttributeName();
  if (plain && IsAttributeName(folder_attribute) && IsAttributeName(file_attribute)) {
    const std::string based = "o=" + path;
    std::string parsed;
    DWORD kind = 7;
    FUZZ_CHECK(directory.ParseDN(directory.PathToDN(based), &parsed, &kind));
    FUZZ_CHECK(parsed == names.back());
    FUZZ_CHECK(kind == (names.back().find('.') == std::string::npos ? 1u : 0u));
  }
  return 0;
}
