// Texts inside the COM area: GUID text forms and the UTF-16 <-> "ANSI" seam.
#ifndef KOVA_PLATFORM_COM_COM_TEXT_H_
#define KOVA_PLATFORM_COM_COM_TEXT_H_

#include <string>
#include <string_view>

#include "guiddef.h"
#include "wtypes.h"

namespace kova::com {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case.
std::string GuidToText(REFGUID guid);
// Exactly the braced form, either case; false for anything else.
[[nodiscard]] bool TextToGuid(std::u16string_view text, GUID* guid);
[[nodiscard]] bool TextToGuid(std::string_view text, GUID* guid);

// ASCII letters compare without case (registry names, member names).
bool EqualsNoCase(std::string_view a, std::string_view b);
bool EqualsNoCase(std::u16string_view a, std::u16string_view b);

// Through the platform's code-page conversion (UTF-8 is the ANSI code page).
std::u16string Widen(std::string_view text);
std::string Narrow(std::u16string_view text);
// A null pointer is the empty text.
std::u16string_view OleView(const OLECHAR* text);
std::string NarrowOle(const OLECHAR* text);

// A new BSTR with the text, or null when out of memory.
BSTR AllocBstr(std::string_view text);
BSTR AllocBstr(std::u16string_view text);

}  // namespace kova::com

#endif  // KOVA_PLATFORM_COM_COM_TEXT_H_
