// Kernel handles (files, find handles, file mappings) and their release.
#ifndef KOVA_PLATFORM_HANDLEAPI_H_
#define KOVA_PLATFORM_HANDLEAPI_H_

#include "winapi_decl.h"
#include "windef.h"

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)

KOVA_EXTERN_C_BEGIN
// Closes a file or file-mapping handle. An unknown handle gives FALSE and
// ERROR_INVALID_HANDLE. Find handles are closed with FindClose.
WINBASEAPI BOOL WINAPI CloseHandle(HANDLE hObject);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_HANDLEAPI_H_
