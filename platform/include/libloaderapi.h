// Modules (area: loader). LoadLibraryA("x.dll") loads the shared library libx.so,
// searched first in the folder of the module that asks, then on the usual library
// path. The system libraries' names (kernel32.dll, advapi32.dll, user32.dll,
// shell32.dll, ole32.dll, oleaut32.dll, dbghelp.dll) load the platform stand-in
// itself. Module file names are handed back with backslashes.
#ifndef KOVA_PLATFORM_LIBLOADERAPI_H_
#define KOVA_PLATFORM_LIBLOADERAPI_H_

#include "winapi_decl.h"
#include "windef.h"

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

KOVA_EXTERN_C_BEGIN
WINBASEAPI HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// lpProcName is a name, or an ordinal made with MAKEINTRESOURCEA. Ordinal n
// resolves the exported symbol "kova_ordinal_<n>" (decimal): a module that exports
// by ordinal defines that alias.
WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// A null hModule names the main program.
WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
WINBASEAPI HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, lpModuleName is an address inside
// the module.
WINBASEAPI BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName,
                                          HMODULE* phModule);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_LIBLOADERAPI_H_
