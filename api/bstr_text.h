// The one conversion between the interface's UTF-16 BSTRs and the system's
// single-byte (ANSI) texts.
#ifndef KOVA_API_BSTR_TEXT_H_
#define KOVA_API_BSTR_TEXT_H_

#include <string>
#include <string_view>

#include "oleauto.h"

namespace kova {

// The ANSI text of *text; a null pointer or a null BSTR is the empty text.
// Characters that have no ANSI form come through as the converter's default.
std::string BstrToAnsi(const BSTR* text);

// A new BSTR holding `text`, owned by the caller; null when out of memory.
BSTR AnsiToBstr(std::string_view text);

}  // namespace kova

#endif  // KOVA_API_BSTR_TEXT_H_
