// The replacer rules in the order in which an expansion applies them.
#ifndef KOVA_MACROS_REPLACER_RULES_H_
#define KOVA_MACROS_REPLACER_RULES_H_

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace kova {

class CReplacers;

struct ReplacerRule {
  // The replacer as it must appear in a text, both dollar signs included.
  const char* name;
  // The value that replaces every occurrence; nullopt leaves them in the text.
  // Called only when the name occurs.
  std::optional<std::string> (*value)(CReplacers& replacers);
  // Applied to the whole text after the replacement, or null.
  void (*after)(std::string& text);
};

std::span<const ReplacerRule> ReplacerRules();

// Replaces every non-overlapping occurrence of `name`, left to right; an inserted
// value is not searched again. Returns the number of replacements.
std::size_t ReplaceAll(std::string& text, std::string_view name, std::string_view value);

// Turns every "Program Files" of the text into "Program Files (x86)", except
// where it already reads "Program Files (x86)".
void WidenProgramFiles(std::string& text);

}  // namespace kova

#endif  // KOVA_MACROS_REPLACER_RULES_H_
