// Per-thread last error (area: errors).
#ifndef KOVA_PLATFORM_ERRHANDLINGAPI_H_
#define KOVA_PLATFORM_ERRHANDLINGAPI_H_

#include "winapi_decl.h"
#include "windef.h"

KOVA_EXTERN_C_BEGIN
// The calling thread's last error code. Every stand-in function that documents a
// last error sets it; successful calls leave it alone unless the platform documents
// otherwise.
WINBASEAPI DWORD WINAPI GetLastError(void);
WINBASEAPI void WINAPI SetLastError(DWORD dwErrCode);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_ERRHANDLINGAPI_H_
