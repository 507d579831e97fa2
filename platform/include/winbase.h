// Private-profile files (area: profile), system messages (area: errors) and the
// user name (area: sysinfo).
#ifndef KOVA_PLATFORM_WINBASE_H_
#define KOVA_PLATFORM_WINBASE_H_

#include <cstdarg>

#include "winapi_decl.h"
#include "windef.h"

#define FORMAT_MESSAGE_ALLOCATE_BUFFER 0x00000100
#define FORMAT_MESSAGE_IGNORE_INSERTS 0x00000200
#define FORMAT_MESSAGE_FROM_STRING 0x00000400
#define FORMAT_MESSAGE_FROM_HMODULE 0x00000800
#define FORMAT_MESSAGE_FROM_SYSTEM 0x00001000
#define FORMAT_MESSAGE_ARGUMENT_ARRAY 0x00002000
#define FORMAT_MESSAGE_MAX_WIDTH_MASK 0x000000FF

#define LMEM_FIXED 0x0000
#define LMEM_ZEROINIT 0x0040
#define LPTR (LMEM_FIXED | LMEM_ZEROINIT)

#define UNLEN 256

KOVA_EXTERN_C_BEGIN
// Private-profile files (doc/profile-format.md). Sections and keys compare without
// case; a file name without a folder lies in the Windows directory. Reads of an
// unchanged file are served from a per-process cache validated by the file's
// identity, size and modification time; writes replace the file atomically.
WINBASEAPI DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                                 LPCSTR lpDefault, LPSTR lpReturnedString,
                                                 DWORD nSize, LPCSTR lpFileName);
WINBASEAPI UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                             INT nDefault, LPCSTR lpFileName);
WINBASEAPI BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                                  LPCSTR lpString, LPCSTR lpFileName);
WINBASEAPI DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer, DWORD nSize,
                                                       LPCSTR lpFileName);

// System message texts. With FORMAT_MESSAGE_ALLOCATE_BUFFER, lpBuffer receives a
// pointer (cast to LPSTR*; null on failure) that the caller frees with LocalFree.
// Returns the number of characters without the final NUL; every system text is one
// sentence ending with "\r\n", the same for every dwLanguageId. A code without a
// text gives 0 and ERROR_MR_MID_NOT_FOUND; a fixed buffer too small gives 0 and
// ERROR_INSUFFICIENT_BUFFER. FORMAT_MESSAGE_FROM_STRING formats lpSource.
// Without FORMAT_MESSAGE_IGNORE_INSERTS: %1..%99 insert the arguments (read as
// pointer-sized values from the va_list, or from a DWORD_PTR array with
// FORMAT_MESSAGE_ARGUMENT_ARRAY) with an optional !format! of wsprintfA's
// conversions (default !s!); %n is a line break, %0 ends the text, and %% %. %!
// and "% " give the character. An insert without arguments fails with
// ERROR_INVALID_PARAMETER. The line-width bits are ignored.
WINBASEAPI DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID lpSource, DWORD dwMessageId,
                                       DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                                       va_list* Arguments);
// LMEM_FIXED blocks (the pointer is the handle), cleared with LMEM_ZEROINIT; other
// flags fail with ERROR_INVALID_PARAMETER. LocalFree returns null on success.
WINBASEAPI HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes);
WINBASEAPI HLOCAL WINAPI LocalFree(HLOCAL hMem);

// The login name of the effective user (password database, else $USER).
// *pcbBuffer counts the final NUL, on success and, with ERROR_INSUFFICIENT_BUFFER,
// as the size needed when the buffer is too small.
WINADVAPI BOOL WINAPI GetUserNameA(LPSTR lpBuffer, LPDWORD pcbBuffer);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_WINBASE_H_
