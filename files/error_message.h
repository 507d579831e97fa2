// The one routine that turns a system error code and a context text into a
// message for the user.
#ifndef KOVA_FILES_ERROR_MESSAGE_H_
#define KOVA_FILES_ERROR_MESSAGE_H_

#include <string>

#include "windows.h"

namespace kova {

// The caption of every message box the system shows.
constexpr char kMessageCaption[] = "Corvanta";

// Builds "<context>\n<system text for code>" (either part may be absent; neither
// gives "Unknown Error"). With `errorText` the message goes there and nothing
// is shown; otherwise it is shown in a message box with `caption` (null: the
// system's caption) and the error icon.
void ComposeErrorMessage(DWORD code, const char* contextText, const char* caption,
                         std::string* errorText);

}  // namespace kova

#endif  // KOVA_FILES_ERROR_MESSAGE_H_
