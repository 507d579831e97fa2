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
// gives "Unknown Error"; code 0 means no system text, as does a code the system
// has no text for). The context is cut to 1023 characters and the whole message
// to 1299 bytes, at a character boundary. With `errorText` the message replaces
// its contents and nothing is shown; otherwise it is shown in a modal message box
// (no owner window) with `caption` (null: kMessageCaption) and the error icon,
// and the call returns when the box is closed. Never fails visibly.
void ComposeErrorMessage(DWORD code, const char* contextText, const char* caption,
                         std::string* errorText);

}  // namespace kova

#endif  // KOVA_FILES_ERROR_MESSAGE_H_
