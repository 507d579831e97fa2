// Profile type codes and the file extensions that carry them.
#ifndef KOVA_MODEL_PROFILE_TYPE_H_
#define KOVA_MODEL_PROFILE_TYPE_H_

#include <string>

#include "windows.h"

namespace kova {

// The type codes of the two client applications' profile files.
constexpr LONG kProfileTypePendrel = 62;
constexpr LONG kProfileTypeLumaset = 64;

// The type code detected from the extension of `name`; 0 for a name shorter
// than 5 characters or an extension that is not detected.
LONG ProfileTypeOf(const std::string& name);

// The extension (dot included) of a type code; empty for an unknown code.
std::string ExtensionOfType(LONG code);

}  // namespace kova

#endif  // KOVA_MODEL_PROFILE_TYPE_H_
