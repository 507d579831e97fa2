// The user-interface language of Kova display names, and registry reads by hive
// order.
#ifndef KOVA_MACROS_UI_LANGUAGE_H_
#define KOVA_MACROS_UI_LANGUAGE_H_

#include <string>

#include "windows.h"

namespace kova {

// The key of the language settings.
constexpr char kUILanguageKey[] = "Software\\Corvanta\\Vintrel\\12.00\\Locale";

// Hive orders of ReadRegistryValue.
constexpr int kHiveUserThenMachine = 0;
constexpr int kHiveUserOnly = 1;
constexpr int kHiveMachineOnly = 2;
constexpr int kHiveMachineThenUser = 4;

// Opens `key_path` with KEY_QUERY_VALUE in each hive of the order until one opens,
// then reads `value_name` into `buffer` (`size` bytes). Returns the registry
// status: 0 on success; when no hive opens, the status of the last attempt. A value
// missing from the first hive that opens is not looked for in the next one. Other
// flag values read as kHiveUserThenMachine. On success the buffer holds a
// NUL-terminated text; a value that fills it without a NUL gives ERROR_MORE_DATA.
LONG ReadRegistryValue(const char* key_path, const char* value_name, char* buffer,
                       DWORD size, int hive_flags);

// The language code with a leading dot (".eng") in `buffer` of `size` characters:
// 0 on success, else ERROR_FUNCTION_FAILED (1627).
DWORD GetUILanguageExtension(const char* key_path, char* buffer, DWORD size);

// The language code without the dot ("eng"), or the empty text.
std::string GetUILanguageCode();

}  // namespace kova

#endif  // KOVA_MACROS_UI_LANGUAGE_H_
