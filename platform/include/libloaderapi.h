// Modules (area: loader).
//
// Names: LoadLibraryA("x.dll") and LoadLibraryA("x") load the shared library
// "libx.so"; "x." loads the file "x"; a name with another extension
// ("libx.so.1") is the file itself. The name is tried as given, then in lower
// case, as the platform's names ignore case. A name with a folder part (either
// separator) loads from that folder only. A name without one is, in order: a
// loaded module of that file name, the file in the folder of the module that
// calls LoadLibraryA, in the system folder (GetSystemDirectoryA: by default the
// folder of the stand-in), then on the usual library path (LD_LIBRARY_PATH, run
// paths, the system's library folders).
// The system libraries' names (kernel32.dll, advapi32.dll, user32.dll,
// shell32.dll, ole32.dll, oleaut32.dll, dbghelp.dll, imagehlp.dll) stand for the
// platform stand-in itself (libkovaplatform.so).
//
// Handles: an HMODULE is the dynamic loader's handle of the module (an address,
// not the module's base address as on the platform); LoadLibraryA,
// GetModuleHandleA and GetModuleHandleExA give the same handle for a module, and a
// handle that names no loaded module is refused rather than followed. Each
// LoadLibraryA and each counting GetModuleHandleExA is paired with a FreeLibrary;
// the module is unloaded when the last reference goes. Module file names are
// handed back with backslashes.
#ifndef KOVA_PLATFORM_LIBLOADERAPI_H_
#define KOVA_PLATFORM_LIBLOADERAPI_H_

#include "winapi_decl.h"
#include "windef.h"

#define MAKEINTRESOURCEA(i) ((LPSTR)((ULONG_PTR)((WORD)(i))))
#define IS_INTRESOURCE(r) ((((ULONG_PTR)(r)) >> 16) == 0)

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004

KOVA_EXTERN_C_BEGIN
// Null and ERROR_MOD_NOT_FOUND when no file is found or it does not load.
WINBASEAPI HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName);
// FALSE and ERROR_INVALID_HANDLE for a null or unknown handle.
WINBASEAPI BOOL WINAPI FreeLibrary(HMODULE hLibModule);
// lpProcName is a name, or an ordinal made with MAKEINTRESOURCEA. Ordinal n
// resolves the exported symbol "kova_ordinal_<n>" (decimal): a module that exports
// by ordinal defines that alias. Only the module's own exports are found, not those
// of the libraries it depends on (null hModule: the main program's). A missing
// export gives null and ERROR_PROC_NOT_FOUND; an unknown handle ERROR_MOD_NOT_FOUND.
WINBASEAPI FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName);
// A null hModule names the main program. Returns the length without the NUL; a
// buffer too small receives the path cut to nSize - 1 characters and a NUL, and
// the result is nSize with ERROR_INSUFFICIENT_BUFFER, as on the platform.
WINBASEAPI DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename, DWORD nSize);
// A loaded module by name, without loading it or taking a reference; null
// lpModuleName is the main program. Not loaded: null and ERROR_MOD_NOT_FOUND.
WINBASEAPI HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName);
// With GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, lpModuleName is an address inside
// the module. Takes a reference unless GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
// GET_MODULE_HANDLE_EX_FLAG_PIN keeps the module loaded until the process ends.
WINBASEAPI BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName,
                                          HMODULE* phModule);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_LIBLOADERAPI_H_
