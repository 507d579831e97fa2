// The C run-time's access test (area: files).
#ifndef KOVA_PLATFORM_IO_H_
#define KOVA_PLATFORM_IO_H_

#include "winapi_decl.h"
#include "windef.h"

KOVA_EXTERN_C_BEGIN
// mode 0 existence, 2 write, 4 read, 6 both. 0 when granted, else -1 with errno
// (ENOENT when the path does not exist, EACCES when access is denied).
WINBASEAPI int _access(const char* path, int mode);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_IO_H_
