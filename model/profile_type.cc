#include "model/profile_type.h"

#include <string_view>

#include "common/text.h"

namespace kova {
namespace {

struct ProfileType {
  LONG code;
  const char* extension;
};

// In detection order; the codes that a name never yields come last.
constexpr ProfileType kProfileTypes[] = {
    {1, ".vkt"},  {62, ".pn"},  {63, ".vqzb"}, {64, ".lms"}, {58, ".wjx"}, {56, ".zxr"},
    {57, ".qvb"}, {16, ".pqm"}, {29, ".jzq"},  {59, ".kqz"}, {60, ".yvm"},
};
constexpr int kDetectedTypes = 8;

}  // namespace

LONG ProfileTypeOf(const std::string& name) {
  if (name.size() < 5) return 0;
  std::string_view extension = name;
  const std::string_view::size_type dot = extension.rfind('.');
  if (dot != std::string_view::npos) extension.remove_prefix(dot);
  for (int i = 0; i < kDetectedTypes; ++i) {
    if (EqualsIgnoreCase(extension, kProfileTypes[i].extension))
      return kProfileTypes[i].code;
  }
  return 0;
}

std::string ExtensionOfType(LONG code) {
  for (const ProfileType& type : kProfileTypes) {
    if (type.code == code) return type.extension;
  }
  return {};
}

}  // namespace kova
