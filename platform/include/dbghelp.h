// Image-help's folder creation (area: files).
#ifndef KOVA_PLATFORM_DBGHELP_H_
#define KOVA_PLATFORM_DBGHELP_H_

#include "winapi_decl.h"
#include "windef.h"

KOVA_EXTERN_C_BEGIN
// Creates every missing folder of DirPath up to its last backslash (the part after
// it is taken as a file name and not created). TRUE when all of them exist
// afterwards.
WINBASEAPI BOOL WINAPI MakeSureDirectoryPathExists(LPCSTR DirPath);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_DBGHELP_H_
