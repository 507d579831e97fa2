// Process and thread identities (area: sysinfo).
#ifndef KOVA_PLATFORM_PROCESSTHREADSAPI_H_
#define KOVA_PLATFORM_PROCESSTHREADSAPI_H_

#include "winapi_decl.h"
#include "windef.h"

KOVA_EXTERN_C_BEGIN
WINBASEAPI DWORD WINAPI GetCurrentProcessId(void);
WINBASEAPI DWORD WINAPI GetCurrentThreadId(void);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_PROCESSTHREADSAPI_H_
