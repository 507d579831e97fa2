// Named shared memory on the paging file (area: mapping).
#ifndef KOVA_PLATFORM_MEMORYAPI_H_
#define KOVA_PLATFORM_MEMORYAPI_H_

#include "handleapi.h"
#include "winapi_decl.h"
#include "windef.h"

#define PAGE_READONLY 0x02
#define PAGE_READWRITE 0x04

#define FILE_MAP_COPY 0x0001
#define FILE_MAP_WRITE 0x0002
#define FILE_MAP_READ 0x0004
#define FILE_MAP_ALL_ACCESS 0x000F001F

KOVA_EXTERN_C_BEGIN
// Only hFile == INVALID_HANDLE_VALUE (memory backed by the paging file) is
// supported. A named block lives in the calling user's private namespace with mode
// 0600. Opening an existing block returns a handle with last error
// ERROR_ALREADY_EXISTS (its size stays what its creator asked for). The block goes
// away when the last handle of any process is closed, also when a holder dies.
WINBASEAPI HANDLE WINAPI CreateFileMappingA(HANDLE hFile,
                                            LPSECURITY_ATTRIBUTES lpFileMappingAttributes,
                                            DWORD flProtect, DWORD dwMaximumSizeHigh,
                                            DWORD dwMaximumSizeLow, LPCSTR lpName);
WINBASEAPI HANDLE WINAPI OpenFileMappingA(DWORD dwDesiredAccess, BOOL bInheritHandle,
                                          LPCSTR lpName);
// dwNumberOfBytesToMap 0 maps the whole block.
WINBASEAPI LPVOID WINAPI MapViewOfFile(HANDLE hFileMappingObject, DWORD dwDesiredAccess,
                                       DWORD dwFileOffsetHigh, DWORD dwFileOffsetLow,
                                       SIZE_T dwNumberOfBytesToMap);
WINBASEAPI BOOL WINAPI UnmapViewOfFile(LPCVOID lpBaseAddress);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_MEMORYAPI_H_
