// The line syntax of kovactl: one call per line.
//
//   [$name =] Operation [argument ...]      # comment
//
// Arguments: integers (decimal, or hexadecimal with 0x; optional sign),
// "strings" (\" and \\ are escapes; any other backslash is itself, so
// "<Work>\a.lms" needs no doubling), true / false, $name (a session variable,
// passed by reference so the operation may change it) and out (a fresh empty
// out placeholder whose value is printed). "$name =" stores the operation's
// return value. Blank lines and lines starting with # are skipped.
#ifndef KOVA_TOOLS_KOVACTL_SCRIPT_H_
#define KOVA_TOOLS_KOVACTL_SCRIPT_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kova::kovactl {

struct Argument {
  enum class Kind { kNumber, kText, kBool, kVariable, kOut };
  Kind kind = Kind::kNumber;
  std::int32_t number = 0;
  bool flag = false;
  std::string text;  // kText: the text; kVariable: the name without '$'
};

struct Call {
  std::string assign_to;  // empty: the return value is printed only
  std::string operation;
  std::vector<Argument> arguments;
};

// Parses one line. Returns false with a message for a syntax error; true with
// `is_call` false for a blank or comment line.
[[nodiscard]] bool ParseLine(std::string_view line, Call* call, bool* is_call,
                             std::string* error);

}  // namespace kova::kovactl

#endif  // KOVA_TOOLS_KOVACTL_SCRIPT_H_
