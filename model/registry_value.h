// Reads of Kova definition values: every value goes through a 261-byte buffer,
// and a value that does not fit, or cannot be read, counts as absent.
#ifndef KOVA_MODEL_REGISTRY_VALUE_H_
#define KOVA_MODEL_REGISTRY_VALUE_H_

#include <string>

#include "windows.h"

namespace kova {

constexpr DWORD kRegistryValueBufferSize = 261;

// The value as text (up to its first NUL), whatever its type.
[[nodiscard]] bool ReadValueText(HKEY key, const char* name, std::string* text);
// The value when it is a REG_DWORD of exactly four bytes.
[[nodiscard]] bool ReadValueDword(HKEY key, const char* name, DWORD* value);

}  // namespace kova

#endif  // KOVA_MODEL_REGISTRY_VALUE_H_
