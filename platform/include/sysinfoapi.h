// System folders and version (area: sysinfo). Windows-only folders come from
// overridable defaults: KOVA_WINDOWS_DIR (else $HOME/.local/share/corvanta/windows)
// and KOVA_SYSTEM_DIR (else the folder of the platform library). The stand-in
// reports itself as a Windows NT 10.0 platform.
#ifndef KOVA_PLATFORM_SYSINFOAPI_H_
#define KOVA_PLATFORM_SYSINFOAPI_H_

#include "winapi_decl.h"
#include "windef.h"

#define VER_PLATFORM_WIN32_NT 2

typedef struct _OSVERSIONINFOA {
  DWORD dwOSVersionInfoSize;
  DWORD dwMajorVersion;
  DWORD dwMinorVersion;
  DWORD dwBuildNumber;
  DWORD dwPlatformId;
  CHAR szCSDVersion[128];
} OSVERSIONINFOA, *POSVERSIONINFOA, *LPOSVERSIONINFOA;

KOVA_EXTERN_C_BEGIN
// Both return the length without the NUL, or the size needed when uSize is too small.
WINBASEAPI UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize);
WINBASEAPI UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize);
WINBASEAPI BOOL WINAPI GetVersionExA(LPOSVERSIONINFOA lpVersionInformation);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_SYSINFOAPI_H_
