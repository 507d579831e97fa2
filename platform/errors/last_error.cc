// The last error is per thread, as on the platform.
#include "errhandlingapi.h"

namespace {
thread_local DWORD last_error = 0;
}  // namespace

extern "C" DWORD WINAPI GetLastError(void) { return last_error; }

extern "C" void WINAPI SetLastError(DWORD dwErrCode) { last_error = dwErrCode; }
