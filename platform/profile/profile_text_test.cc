// The parsed form and its edits against a plain model of sections and keys.
#include "profile/profile_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace kova::platform::profile {
namespace {

TEST(ProfileTextTest, NamesFoldOnlyAsciiLetters) {
  FoldedEqual equal;
  FoldedHash hash;
  EXPECT_TRUE(equal("Section_1", "sECTION_1"));
  EXPECT_EQ(hash("Section_1"), hash("sECTION_1"));
  EXPECT_FALSE(equal("a", "b"));
  EXPECT_FALSE(equal("ab", "a"));
  EXPECT_FALSE(equal("\xC4", "\xE4"));  // bytes above 0x7F compare as they are
  EXPECT_FALSE(equal("[", "{"));
}

// A model of a profile built only by edits: sections and keys in order, names
// compared without case, spelling of the first write kept.
struct Model {
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>>
      sections;

  static bool Same(const std::string& a, std::string_view b) {
    return FoldedEqual()(a, b);
  }

  // Applies the edit; false when it changes nothing.
  bool Apply(const ProfileEdit& edit) {
    auto section = sections.begin();
    while (section != sections.end() && !Same(section->first, edit.section)) ++section;
    if (!edit.key) {
      if (section == sections.end()) return false;
      sections.erase(section);
      return true;
    }
    if (section == sections.end()) {
      if (!edit.value) return false;
      sections.push_back({std::string(edit.section),
                          {{std::string(*edit.key), std::string(*edit.value)}}});
      return true;
    }
    auto& keys = section->second;
    auto key = keys.begin();
    while (key != keys.end() && !Same(key->first, *edit.key)) ++key;
    if (!edit.value) {
      if (key == keys.end()) return false;
      keys.erase(key);
      return true;
    }
    if (key == keys.end()) {
      keys.push_back({std::string(*edit.key), std::string(*edit.value)});
      return true;
    }
    if (key->second == *edit.value) return false;
    key->second = std::string(*edit.value);
    return true;
  }

  std::string Bytes() const {
    std::string bytes;
    for (const auto& [name, keys] : sections) {
      bytes += "[" + name + "]\r\n";
      for (const auto& [key, value] : keys) bytes += key + "=" + value + "\r\n";
    }
    return bytes;
  }
};

TEST(ProfileTextTest, RandomEditsMatchTheModel) {
  const std::vector<std::string> sections = {"Alpha", "ALPHA", "beta", "Gamma", ""};
  const std::vector<std::string> keys = {"k1", "K1", "key two", "x", "", "#hash"};
  const std::vector<std::string> values = {"1", "", "'quoted'", "a=b", "v ; c", "2"};
  std::mt19937 random(12345);
  auto pick = [&random](const std::vector<std::string>& from) -> const std::string& {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };

  Model model;
  std::shared_ptr<const Profile> profile = Profile::Parse("");
  for (int step = 0; step < 2000; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    ProfileEdit edit{pick(sections), pick(keys), pick(values)};
    int kind = std::uniform_int_distribution<int>(0, 9)(random);
    if (kind == 0) edit.key.reset();
    if (kind == 1 || kind == 2) edit.value.reset();

    std::optional<std::string> bytes = ApplyEdit(*profile, edit);
    ASSERT_EQ(bytes.has_value(), model.Apply(edit));
    if (bytes) profile = Profile::Parse(std::move(*bytes));
    ASSERT_EQ(profile->bytes(), model.Bytes());

    for (const auto& [name, entries] : model.sections) {
      const Profile::Section* section = profile->FindSection(name);
      ASSERT_NE(section, nullptr) << name;
      for (const auto& [key, value] : entries) {
        const Profile::Key* found = Profile::FindKey(*section, key);
        ASSERT_NE(found, nullptr) << key;
        ASSERT_EQ(found->name, key);
        ASSERT_EQ(found->value, value);
      }
    }
  }
}

}  // namespace
}  // namespace kova::platform::profile
