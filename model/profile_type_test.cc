#include "model/profile_type.h"

#include <gtest/gtest.h>

#include <string>

namespace kova {
namespace {

struct TypeRow {
  LONG code;
  const char* extension;
  bool detected;
};

constexpr TypeRow kTable[] = {
    {1, ".vkt", true},  {16, ".pqm", true},  {29, ".jzq", false}, {56, ".zxr", true},
    {57, ".qvb", true}, {58, ".wjx", true},  {59, ".kqz", false}, {60, ".yvm", false},
    {62, ".pn", true},  {63, ".vqzb", true}, {64, ".lms", true},
};

std::string Upper(std::string text) {
  for (char& c : text) c = (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
  return text;
}

TEST(ProfileTypeTest, EveryCodeBothWays) {
  for (const TypeRow& row : kTable) {
    SCOPED_TRACE(row.extension);
    EXPECT_EQ(ExtensionOfType(row.code), row.extension);
    const LONG expected = row.detected ? row.code : 0;
    EXPECT_EQ(ProfileTypeOf(std::string("session") + row.extension), expected);
    EXPECT_EQ(ProfileTypeOf("Session" + Upper(row.extension)), expected);
    EXPECT_EQ(ProfileTypeOf(std::string("<Work>\\Sub\\a") + row.extension), expected);
  }
  for (LONG unknown : {0L, -1L, 2L, 28L, 61L, 65L, 0x7FFFFFFFL}) {
    SCOPED_TRACE(unknown);
    EXPECT_EQ(ExtensionOfType(unknown), "");
  }
}

TEST(ProfileTypeTest, NameRules) {
  const struct {
    const char* name;
    LONG code;
  } rows[] = {
      {"", 0},
      {".lms", 0},       // four characters: too short
      {"a.pn", 0},       // four characters
      {"ab.pn", 62},     // five
      {".vqzb", 63},     // a bare extension of five characters
      {"a.lms.pn", 62},  // the last dot counts
      {"a.pn.bak", 0},
      {"a.lms ", 0},   // no trimming
      {"lmsfile", 0},  // no dot: the whole name, which matches nothing
      {"a.l", 0},
      {"a.lmsx", 0},
      {"<Work>\\v1.lms\\plain", 0},  // the dot of a folder does not make a type
      {"x.JZQ", 0},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(ProfileTypeOf(row.name), row.code);
  }
}

}  // namespace
}  // namespace kova
