// Asking for credentials on the controlling terminal.
#ifndef KOVA_COMPONENTS_CREDENTIALS_PROMPT_TERMINAL_PROMPT_H_
#define KOVA_COMPONENTS_CREDENTIALS_PROMPT_TERMINAL_PROMPT_H_

#include <string>

namespace kova::prompt {

// Shows `host` and asks for the user name (Enter keeps *userName) and the
// password (not echoed; Enter keeps a non-empty *password) on /dev/tty. Returns
// true and updates both when the user answered both questions; false, leaving
// them alone, when the process has no controlling terminal or input ended.
bool AskOnTerminal(const std::string& host, std::string* userName, std::string* password);

}  // namespace kova::prompt

#endif  // KOVA_COMPONENTS_CREDENTIALS_PROMPT_TERMINAL_PROMPT_H_
