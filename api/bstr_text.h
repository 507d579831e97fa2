// The interface's text arguments: BSTR* in, BSTR out, over the one conversion
// between UTF-16 BSTRs and the system's single-byte (ANSI) texts.
#ifndef KOVA_API_BSTR_TEXT_H_
#define KOVA_API_BSTR_TEXT_H_

#include <string>
#include <string_view>

#include "common/bstr_convert.h"
#include "oleauto.h"

namespace kova {

// The ANSI text of *text; a null pointer or a null BSTR is the empty text.
// Characters that have no ANSI form come through as the converter's default.
inline std::string BstrToAnsi(const BSTR* text) {
  return text == nullptr ? std::string() : AnsiFromBstr(*text);
}

// A new BSTR holding `text`, owned by the caller; null when out of memory.
inline BSTR AnsiToBstr(std::string_view text) { return BstrFromAnsi(text); }

}  // namespace kova

#endif  // KOVA_API_BSTR_TEXT_H_
