// kovareg: reads and changes the registry hives from the command line. The
// arguments as parsed, and the commands, each calling the registry functions.
#ifndef KOVA_TOOLS_KOVAREG_REG_TOOL_H_
#define KOVA_TOOLS_KOVAREG_REG_TOOL_H_

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kova::kovareg {

struct Options {
  std::string command;               // query, add, delete, import, export
  std::string key;                   // KEY (query, add, delete, export)
  std::string file;                  // FILE (import, export)
  std::optional<std::string> value;  // /v NAME
  bool default_value = false;        // /ve
  bool all_values = false;           // /va
  std::optional<std::string> type;   // /t TYPE
  std::optional<std::string> data;   // /d DATA
  std::string separator = "\\0";     // /s SEP of add (REG_MULTI_SZ items)
  bool recursive = false;            // /s of query
  bool force = false;                // /f
  bool yes = false;                  // /y
  bool help = false;
};

// False with a message for arguments that do not make a command.
[[nodiscard]] bool ParseArguments(const std::vector<std::string>& args, Options* options,
                                  std::string* error);

std::string UsageText();

// Runs the command; returns the exit code (0 success, 1 failure). Results go to
// `out`, messages about failures to `err`.
int Run(const Options& options, std::ostream& out, std::ostream& err);

}  // namespace kova::kovareg

#endif  // KOVA_TOOLS_KOVAREG_REG_TOOL_H_
