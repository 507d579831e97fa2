// The stand-in's umbrella header: the Windows functions, types and codes that the
// system calls, under their Windows names. Code above platform/ includes this (or
// one area header) and never a POSIX header.
#ifndef KOVA_PLATFORM_WINDOWS_H_
#define KOVA_PLATFORM_WINDOWS_H_

#include "windef.h"
#include "winerror.h"
#include "errhandlingapi.h"
#include "handleapi.h"
#include "synchapi.h"
#include "fileapi.h"
#include "memoryapi.h"
#include "winreg.h"
#include "winbase.h"
#include "processenv.h"
#include "processthreadsapi.h"
#include "sysinfoapi.h"
#include "winnls.h"
#include "libloaderapi.h"
#include "winuser.h"

#endif  // KOVA_PLATFORM_WINDOWS_H_
