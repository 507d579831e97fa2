// System folders and version (area: sysinfo). Windows-only folders come from
// overridable defaults: KOVA_WINDOWS_DIR (else $HOME/.local/share/corvanta/windows)
// and KOVA_SYSTEM_DIR (else the folder of the platform library). The stand-in
// reports itself as Windows NT 10.0 (build KOVA_VERSION_BUILD, no service pack).
#ifndef KOVA_PLATFORM_SYSINFOAPI_H_
#define KOVA_PLATFORM_SYSINFOAPI_H_

#include "winapi_decl.h"
#include "windef.h"

#define VER_PLATFORM_WIN32_NT 2
#define VER_NT_WORKSTATION 0x0000001

#define KOVA_VERSION_MAJOR 10
#define KOVA_VERSION_MINOR 0
#define KOVA_VERSION_BUILD 19045

typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

typedef struct _OSVERSIONINFOEXA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
  WORD wServicePackMajor;
  WORD wServicePackMinor;
  WORD wSuiteMask;
  BYTE wProductType;
  BYTE wReserved;
} OSVERSIONINFOEXA, *POSVERSIONINFOEXA, *LPOSVERSIONINFOEXA;

KOVA_EXTERN_C_BEGIN
// Both return the length without the NUL, or the size needed when uSize is too small.
WINBASEAPI UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);
WINBASEAPI UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
// dwOSVersionInfoSize must be sizeof(OSVERSIONINFOA) or sizeof(OSVERSIONINFOEXA)
// (else FALSE and ERROR_INSUFFICIENT_BUFFER). Unlike the platform, the answer does
// not depend on an application manifest.
WINBASEAPI BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_SYSINFOAPI_H_
