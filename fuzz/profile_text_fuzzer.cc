// The parsed form of a profile file and the edits a write makes: any bytes parse,
// an edit reads back as the reader's rules say, and every value the edit does not
// concern reads as it did before.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <fuzzer/FuzzedDataProvider.h>

#include "fuzz/fuzz_input.h"
#include "profile/profile_text.h"

namespace {

using kova::fuzz::ConsumeCString;
using kova::platform::profile::ApplyEdit;
using kova::platform::profile::IsWritableEdit;
using kova::platform::profile::Profile;
using kova::platform::profile::ProfileEdit;
using kova::platform::profile::StripOneQuotePair;
using kova::platform::profile::TrimBlanks;

std::optional<std::string> Read(const Profile& profile, std::string_view section,
                                std::string_view key) {
  const Profile::Section* found = profile.FindSection(section);
  if (found == nullptr) return std::nullopt;
  const Profile::Key* entry = Profile::FindKey(*found, key);
  if (entry == nullptr) return std::nullopt;
  return std::string(StripOneQuotePair(entry->value));
}

// Every (section, key) the reader finds, with its value. Names are lower-cased
// so that the map holds one entry per name as the reader compares them.
using Reads = std::map<std::pair<std::string, std::string>, std::string>;

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
  return out;
}

Reads AllReads(const Profile& profile) {
  Reads reads;
  for (std::string_view section : profile.SectionNames()) {
    const Profile::Section* found = profile.FindSection(section);
    for (std::string_view key : Profile::KeyNames(*found)) {
      reads[{Lower(section), Lower(key)}] = *Read(profile, section, key);
    }
  }
  return reads;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const int mode = input.ConsumeIntegralInRange<int>(0, 2);  // set, remove key, section
  const std::string section_text = ConsumeCString(input, 64);
  const std::string key_text = ConsumeCString(input, 64);
  const std::string value_text = ConsumeCString(input, 256);
  std::shared_ptr<const Profile> profile =
      Profile::Parse(input.ConsumeRemainingBytesAsString());
  const Reads before = AllReads(*profile);

  ProfileEdit edit{TrimBlanks(section_text), std::nullopt, std::nullopt};
  if (mode != 2) edit.key = TrimBlanks(key_text);
  if (mode == 0) edit.value = value_text;
  if (!IsWritableEdit(edit)) return 0;

  std::optional<std::string> changed = ApplyEdit(*profile, edit);
  std::shared_ptr<const Profile> after =
      changed ? Profile::Parse(std::move(*changed)) : profile;

  if (mode == 0) {
    std::optional<std::string> read = Read(*after, edit.section, *edit.key);
    FUZZ_CHECK(read && *read == StripOneQuotePair(TrimBlanks(*edit.value)));
  }
  if (mode == 2 && !changed) FUZZ_CHECK(profile->FindSection(edit.section) == nullptr);

  // Other values are untouched. A removal uncovers a later section or key of the
  // same name, so the removed name is left out of the comparison.
  const std::string section = Lower(edit.section);
  const std::string key = edit.key ? Lower(*edit.key) : std::string();
  Reads now = AllReads(*after);
  auto concerned = [&](const std::pair<std::string, std::string>& name) {
    if (name.first != section) return false;
    return mode == 2 || name.second == key;
  };
  for (const auto& [name, value] : before) {
    if (concerned(name)) continue;
    auto it = now.find(name);
    FUZZ_CHECK(it != now.end() && it->second == value);
  }
  for (const auto& [name, value] : now) {
    if (!concerned(name)) FUZZ_CHECK(before.find(name) != before.end());
  }
  return 0;
}
