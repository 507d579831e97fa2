// Languages, locales and code-page conversion (area: sysinfo).
//
// Language: Linux has one setting where the platform has several, so the user
// interface language, the user and the system default languages and locales all
// come from the messages locale: the first non-empty one of LC_ALL, LC_MESSAGES
// and LANG, read at each call. "language[_COUNTRY][.codeset][@modifier]" maps
// through a table of the common languages: fr_FR.UTF-8 is 0x040c (French,
// France), fr_CA 0x0c0c, en_US 0x0409, en_GB 0x0809, de_DE 0x0407, es_ES 0x0c0a,
// it_IT 0x0410, ja_JP 0x0411, nl_NL 0x0413, pt_BR 0x0416, pt_PT 0x0816. A known
// language with an unknown or missing country gets its default sub-language
// ("fr" and "fr_SN" are 0x040c, "es" 0x0c0a). "C", "POSIX", "C.UTF-8" and an
// unset locale are English (US), 0x0409. A language not in the table is
// MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL) (0): no known language, so that a
// caller falls back to its own default instead of assuming English.
//
// Code pages: "ANSI" is UTF-8 (the process code page is 65001), so CP_ACP,
// CP_OEMCP, CP_THREAD_ACP and CP_UTF8 all convert between UTF-8 and UTF-16 WCHAR
// texts (surrogate pairs for characters beyond U+FFFF). Other code pages fail with
// ERROR_INVALID_PARAMETER.
#ifndef KOVA_PLATFORM_WINNLS_H_
#define KOVA_PLATFORM_WINNLS_H_

#include "winapi_decl.h"
#include "windef.h"

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_THREAD_ACP 3
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_ERR_INVALID_CHARS 0x00000008
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

#define LANG_NEUTRAL 0x00
#define LANG_ARABIC 0x01
#define LANG_CHINESE 0x04
#define LANG_CZECH 0x05
#define LANG_DANISH 0x06
#define LANG_GERMAN 0x07
#define LANG_GREEK 0x08
#define LANG_ENGLISH 0x09
#define LANG_SPANISH 0x0a
#define LANG_FINNISH 0x0b
#define LANG_FRENCH 0x0c
#define LANG_HEBREW 0x0d
#define LANG_HUNGARIAN 0x0e
#define LANG_ITALIAN 0x10
#define LANG_JAPANESE 0x11
#define LANG_KOREAN 0x12
#define LANG_DUTCH 0x13
#define LANG_NORWEGIAN 0x14
#define LANG_POLISH 0x15
#define LANG_PORTUGUESE 0x16
#define LANG_RUSSIAN 0x19
#define LANG_SWEDISH 0x1d
#define LANG_TURKISH 0x1f
#define SUBLANG_NEUTRAL 0x00
#define SUBLANG_DEFAULT 0x01
#define SUBLANG_SYS_DEFAULT 0x02
#define SUBLANG_ENGLISH_US 0x01
#define SUBLANG_ENGLISH_UK 0x02
#define SUBLANG_FRENCH 0x01
#define SUBLANG_FRENCH_CANADIAN 0x03
#define SUBLANG_GERMAN 0x01
#define SUBLANG_SPANISH_MODERN 0x03
#define SUBLANG_ITALIAN 0x01
#define SUBLANG_DUTCH 0x01
#define SUBLANG_PORTUGUESE_BRAZILIAN 0x01
#define SUBLANG_PORTUGUESE 0x02
#define SORT_DEFAULT 0x0

#define MAKELANGID(p, s) ((((WORD)(s)) << 10) | (WORD)(p))
#define PRIMARYLANGID(lgid) ((WORD)(lgid) & 0x3ff)
#define SUBLANGID(lgid) ((WORD)(lgid) >> 10)
#define MAKELCID(lgid, srtid) ((DWORD)((((DWORD)((WORD)(srtid))) << 16) | ((DWORD)((WORD)(lgid)))))
#define LANGIDFROMLCID(lcid) ((WORD)(lcid))
#define LANG_SYSTEM_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_SYS_DEFAULT)
#define LANG_USER_DEFAULT MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT)
#define LOCALE_SYSTEM_DEFAULT MAKELCID(LANG_SYSTEM_DEFAULT, SORT_DEFAULT)
#define LOCALE_USER_DEFAULT MAKELCID(LANG_USER_DEFAULT, SORT_DEFAULT)

KOVA_EXTERN_C_BEGIN
WINBASEAPI LANGID WINAPI GetUserDefaultUILanguage(void);
WINBASEAPI LANGID WINAPI GetUserDefaultLangID(void);
WINBASEAPI LANGID WINAPI GetSystemDefaultLangID(void);
WINBASEAPI LCID WINAPI GetUserDefaultLCID(void);
WINBASEAPI LCID WINAPI GetSystemDefaultLCID(void);
// The calling thread's locale; starts as the user default. SetThreadLocale accepts
// LOCALE_USER_DEFAULT, LOCALE_SYSTEM_DEFAULT and locales of the known languages
// with the default sort, else FALSE and ERROR_INVALID_PARAMETER.
WINBASEAPI LCID WINAPI GetThreadLocale(void);
WINBASEAPI BOOL WINAPI SetThreadLocale(LCID Locale);

// cbMultiByte / cchWideChar -1: the input is NUL-terminated and the NUL is
// converted too. A zero output size asks for the size needed. A buffer too small
// gives 0 and ERROR_INSUFFICIENT_BUFFER (nothing is written). Each ill-formed UTF-8
// subpart becomes U+FFFD; under MB_ERR_INVALID_CHARS the call fails with
// ERROR_NO_UNICODE_TRANSLATION instead. A lone surrogate becomes U+FFFD (EF BF BD),
// or fails likewise under WC_ERR_INVALID_CHARS. CP_UTF8 takes no default
// character (ERROR_INVALID_PARAMETER); the other UTF-8 code pages accept one and
// use it for a lone surrogate, reporting it through lpUsedDefaultChar.
WINBASEAPI int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCCH lpMultiByteStr,
                                          int cbMultiByte, LPWSTR lpWideCharStr,
                                          int cchWideChar);
WINBASEAPI int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWCH lpWideCharStr,
                                          int cchWideChar, LPSTR lpMultiByteStr,
                                          int cbMultiByte, LPCCH lpDefaultChar,
                                          LPBOOL lpUsedDefaultChar);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_WINNLS_H_
