#include "macros/ui_language.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/text.h"
#include "macros/registry_text.h"

namespace kova {

namespace {

// Every language setting is read into a buffer of this size.
constexpr DWORD kValueSize = kRegistryTextBufferSize;
// GetUILanguageCode's buffer: a full value plus the dot.
constexpr DWORD kCodeBufferSize = 261;

constexpr char kNoLanguage[] = "NOLANGUAGE";

struct LanguageRow {
  WORD primary;
  const char* code;
};

// Searched in this order; a language not listed has no code of its own.
constexpr std::array<LanguageRow, 8> kLanguages = {{
    {LANG_NEUTRAL, kNoLanguage},
    {LANG_ENGLISH, "eng"},
    {LANG_FRENCH, "fra"},
    {LANG_SPANISH, "esp"},
    {LANG_GERMAN, "deu"},
    {LANG_ITALIAN, "ita"},
    {LANG_JAPANESE, "jpn"},
    {LANG_PORTUGUESE, "prt"},
}};

const char* CodeOfLanguage(LANGID language) {
  const WORD primary = PRIMARYLANGID(language);
  for (const LanguageRow& row : kLanguages) {
    if (row.primary == primary) return row.code;
  }
  return kNoLanguage;
}

// Frees a module loaded by LoadLibraryA.
class ScopedModule {
 public:
  explicit ScopedModule(const char* name) : module_(LoadLibraryA(name)) {}
  ~ScopedModule() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  ScopedModule(const ScopedModule&) = delete;
  ScopedModule& operator=(const ScopedModule&) = delete;

  HMODULE get() const { return module_; }

 private:
  HMODULE module_;
};

// The user-interface language where the system has one, else the user's default.
LANGID UserLanguage() {
  using UILanguageQuery = LANGID(WINAPI*)();
  ScopedModule kernel("kernel32.dll");
  if (kernel.get() != nullptr) {
    // Through the generic function pointer type, which any function pointer
    // converts to and from.
    auto query = reinterpret_cast<UILanguageQuery>(reinterpret_cast<void (*)()>(
        GetProcAddress(kernel.get(), "GetUserDefaultUILanguage")));
    if (query != nullptr) return query();
  }
  return GetUserDefaultLangID();
}

// Reads a setting into a zeroed buffer; false when it could not be read.
bool ReadSetting(const char* key, const char* value_name, char (&buffer)[kValueSize],
                 int hive_flags) {
  std::memset(buffer, 0, kValueSize);
  if (ReadRegistryValue(key, value_name, buffer, kValueSize, hive_flags) == ERROR_SUCCESS)
    return true;
  std::memset(buffer, 0, kValueSize);
  return false;
}

// Copies the code into the caller's buffer and gives it its leading dot.
DWORD Deliver(std::string_view code, char* buffer, DWORD size) {
  CopyTruncated(buffer, size, code);
  if (buffer[0] != '\0' && buffer[0] != '.') {
    char dotted[kValueSize];
    dotted[0] = '.';
    CopyTruncated(dotted + 1, kValueSize - 1, buffer);
    CopyTruncated(buffer, size, dotted);
  }
  return ERROR_SUCCESS;
}

// The first word of a list separated by spaces and tabs.
std::string_view FirstToken(std::string_view list) {
  constexpr std::string_view kSeparators = " \t";
  const std::size_t start = list.find_first_not_of(kSeparators);
  if (start == std::string_view::npos) return {};
  const std::size_t end = list.find_first_of(kSeparators, start);
  return list.substr(start, end == std::string_view::npos ? end : end - start);
}

}  // namespace

LONG ReadRegistryValue(const char* key_path, const char* value_name, char* buffer,
                       DWORD size, int hive_flags) {
  std::array<HKEY, 2> order = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
  std::size_t count = 2;
  switch (hive_flags) {
    case kHiveUserOnly:
      count = 1;
      break;
    case kHiveMachineOnly:
      order[0] = HKEY_LOCAL_MACHINE;
      count = 1;
      break;
    case kHiveMachineThenUser:
      order = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
      break;
    default:
      break;
  }
  LONG status = ERROR_FILE_NOT_FOUND;
  for (std::size_t i = 0; i < count; ++i) {
    bool key_opened = false;
    status =
        QueryRegistryValue(order[i], key_path, value_name, buffer, size, &key_opened);
    if (key_opened) return status;
  }
  return status;
}

DWORD GetUILanguageExtension(const char* key_path, char* buffer, DWORD size) {
  if (buffer == nullptr || size == 0) return ERROR_FUNCTION_FAILED;

  char method_text[kValueSize];
  long method = 0;
  if (ReadSetting(key_path, "Language Search Method", method_text, kHiveUserThenMachine))
    method = std::strtol(method_text, nullptr, 10);
  if (method >= 2) method = 0;

  char default_language[kValueSize] = {};
  LANGID user_language = 0;
  if (method == 1) {
    (void)ReadSetting(key_path, "Default UI Language", default_language,
                      kHiveUserThenMachine);
  } else {
    user_language = UserLanguage();
  }

  char available[kValueSize];
  (void)ReadSetting(key_path, "Available UI Languages", available, kHiveMachineThenUser);

  const char* user_code = CodeOfLanguage(user_language);
  if (method != 1 && std::strstr(available, user_code) != nullptr)
    return Deliver(user_code, buffer, size);
  if (method == 1 && default_language[0] != '\0' &&
      std::strstr(available, default_language) != nullptr)
    return Deliver(default_language, buffer, size);

  // An empty global default would match any list and deliver no code at all.
  if (ReadSetting(key_path, "Global Default UI Language", default_language,
                  kHiveMachineOnly) &&
      default_language[0] != '\0' && std::strstr(available, default_language) != nullptr)
    return Deliver(default_language, buffer, size);

  const std::string_view first = FirstToken(available);
  if (first.empty()) return ERROR_FUNCTION_FAILED;
  return Deliver(first, buffer, size);
}

std::string GetUILanguageCode() {
  char extension[kCodeBufferSize] = {};
  if (GetUILanguageExtension(kUILanguageKey, extension, sizeof(extension)) !=
      ERROR_SUCCESS)
    return "";
  const char* code = extension[0] == '.' ? extension + 1 : extension;
  return std::string(BoundedText(code, sizeof(extension) - (code - extension)));
}

}  // namespace kova
