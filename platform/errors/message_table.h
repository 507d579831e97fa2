// The stand-in's own texts for the system error codes.
#ifndef KOVA_PLATFORM_ERRORS_MESSAGE_TABLE_H_
#define KOVA_PLATFORM_ERRORS_MESSAGE_TABLE_H_

#include "windef.h"

namespace kova::platform {

// The text of `code`: one sentence ending with ".\r\n", or null when the code has
// none. Every system code of winerror.h has one (pinned by format_message_test).
const char* SystemMessageText(DWORD code);

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_ERRORS_MESSAGE_TABLE_H_
