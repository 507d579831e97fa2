// Languages and locales from the POSIX locale environment.
#include <cstdlib>
#include <optional>
#include <string_view>

#include "errhandlingapi.h"
#include "sysinfo/ascii_text.h"
#include "winerror.h"
#include "winnls.h"

namespace {

struct CountryRow {
  const char* country;  // ISO 3166 code as in "fr_CA"
  WORD sublanguage;
};

struct LanguageRow {
  const char* language;  // ISO 639 code as in "fr_CA"
  WORD primary;
  WORD default_sublanguage;  // for a locale without a country or with another one
  CountryRow countries[6];
};

// The common languages. Sub-language numbers are the platform's.
constexpr LanguageRow kLanguages[] = {
    {"ar", LANG_ARABIC, 1, {{"SA", 1}, {"EG", 3}}},
    {"cs", LANG_CZECH, 1, {}},
    {"da", LANG_DANISH, 1, {}},
    {"de", LANG_GERMAN, 1, {{"DE", 1}, {"CH", 2}, {"AT", 3}, {"LU", 4}, {"LI", 5}}},
    {"el", LANG_GREEK, 1, {}},
    {"en",
     LANG_ENGLISH,
     1,
     {{"US", 1}, {"GB", 2}, {"AU", 3}, {"CA", 4}, {"NZ", 5}, {"IE", 6}}},
    {"es", LANG_SPANISH, 3, {{"ES", 3}, {"MX", 2}, {"AR", 11}, {"CO", 9}, {"CL", 13}}},
    {"fi", LANG_FINNISH, 1, {}},
    {"fr", LANG_FRENCH, 1, {{"FR", 1}, {"BE", 2}, {"CA", 3}, {"CH", 4}, {"LU", 5}}},
    {"he", LANG_HEBREW, 1, {}},
    {"hu", LANG_HUNGARIAN, 1, {}},
    {"it", LANG_ITALIAN, 1, {{"IT", 1}, {"CH", 2}}},
    {"ja", LANG_JAPANESE, 1, {}},
    {"ko", LANG_KOREAN, 1, {}},
    {"nb", LANG_NORWEGIAN, 1, {}},
    {"nl", LANG_DUTCH, 1, {{"NL", 1}, {"BE", 2}}},
    {"nn", LANG_NORWEGIAN, 2, {}},
    {"no", LANG_NORWEGIAN, 1, {}},
    {"pl", LANG_POLISH, 1, {}},
    {"pt", LANG_PORTUGUESE, 1, {{"BR", 1}, {"PT", 2}}},
    {"ru", LANG_RUSSIAN, 1, {}},
    {"sv", LANG_SWEDISH, 1, {{"SE", 1}, {"FI", 2}}},
    {"tr", LANG_TURKISH, 1, {}},
    {"zh", LANG_CHINESE, 2, {{"TW", 1}, {"CN", 2}, {"HK", 3}, {"SG", 4}, {"MO", 5}}},
};

constexpr LANGID kEnglishUs = MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US);
constexpr LANGID kUnknownLanguage = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);

// The locale that decides messages, in POSIX precedence; an empty variable counts
// as unset.
std::string_view MessagesLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return value;
  }
  return {};
}

// "language[_COUNTRY][.codeset][@modifier]" -> language identifier.
LANGID LangIdFromLocale(std::string_view locale) {
  if (locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C."))
    return kEnglishUs;
  locale = locale.substr(0, locale.find_first_of(".@"));
  const std::size_t underscore = locale.find('_');
  const std::string_view language = locale.substr(0, underscore);
  const std::string_view country = underscore == std::string_view::npos
                                       ? std::string_view()
                                       : locale.substr(underscore + 1);
  for (const LanguageRow& row : kLanguages) {
    if (!kova::platform::EqualsIgnoreAsciiCase(language, row.language)) continue;
    WORD sublanguage = row.default_sublanguage;
    for (const CountryRow& c : row.countries) {
      if (c.country != nullptr &&
          kova::platform::EqualsIgnoreAsciiCase(country, c.country)) {
        sublanguage = c.sublanguage;
        break;
      }
    }
    return MAKELANGID(row.primary, sublanguage);
  }
  return kUnknownLanguage;
}

bool IsKnownLanguage(LANGID lang) {
  for (const LanguageRow& row : kLanguages) {
    if (PRIMARYLANGID(lang) == row.primary) return true;
  }
  return lang == kUnknownLanguage;
}

LANGID UserLangId() { return LangIdFromLocale(MessagesLocale()); }

thread_local std::optional<LCID> thread_locale;

}  // namespace

// There is one language setting on Linux, so the user interface language, the user
// and the system defaults all come from the messages locale (LC_ALL, LC_MESSAGES,
// LANG); see winnls.h for the mapping. Read at each call. Pinned by locale_test.
extern "C" LANGID WINAPI GetUserDefaultUILanguage(void) { return UserLangId(); }
extern "C" LANGID WINAPI GetUserDefaultLangID(void) { return UserLangId(); }
extern "C" LANGID WINAPI GetSystemDefaultLangID(void) { return UserLangId(); }
extern "C" LCID WINAPI GetUserDefaultLCID(void) {
  return MAKELCID(UserLangId(), SORT_DEFAULT);
}
extern "C" LCID WINAPI GetSystemDefaultLCID(void) {
  return MAKELCID(UserLangId(), SORT_DEFAULT);
}

// Per thread, starting as the user default when the thread first asks, as on the
// platform. Pinned by locale_test.
extern "C" LCID WINAPI GetThreadLocale(void) {
  if (!thread_locale) thread_locale = GetUserDefaultLCID();
  return *thread_locale;
}

// Accepts LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT and the locales of the known
// languages with the default sort; anything else fails with
// ERROR_INVALID_PARAMETER as the platform refuses locales it does not have.
extern "C" BOOL WINAPI SetThreadLocale(LCID Locale) {
  if (Locale == LOCALE_USER_DEFAULT) Locale = GetUserDefaultLCID();
  if (Locale == LOCALE_SYSTEM_DEFAULT) Locale = GetSystemDefaultLCID();
  if ((Locale >> 16) != SORT_DEFAULT || !IsKnownLanguage(LANGIDFROMLCID(Locale))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  thread_locale = Locale;
  return TRUE;
}
