// Environment variables (area: sysinfo).
#ifndef KOVA_PLATFORM_PROCESSENV_H_
#define KOVA_PLATFORM_PROCESSENV_H_

#include "winapi_decl.h"
#include "windef.h"

KOVA_EXTERN_C_BEGIN
// %NAME% is replaced by the variable's value; undefined names, an unterminated
// %NAME, %% and lone percent signs stay as they are. Returns the size of the
// result including the final NUL (more than nSize: the buffer was too small).
WINBASEAPI DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst, DWORD nSize);
// Returns the length without the NUL, or, when the buffer is too small, the size
// needed including it; a missing variable gives 0 and ERROR_ENVVAR_NOT_FOUND.
WINBASEAPI DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer, DWORD nSize);
WINBASEAPI BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_PROCESSENV_H_
