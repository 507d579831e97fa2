// Critical sections and interlocked operations (area: sync).
#ifndef KOVA_PLATFORM_SYNCHAPI_H_
#define KOVA_PLATFORM_SYNCHAPI_H_

#include "winapi_decl.h"
#include "windef.h"

// A recursive lock, as on the platform: the owning thread may enter it again and
// must leave it as often. The storage is opaque and large enough for a
// recursive pthread mutex.
typedef struct _RTL_CRITICAL_SECTION {
  alignas(16) unsigned char opaque[64];
} CRITICAL_SECTION, *PCRITICAL_SECTION, *LPCRITICAL_SECTION;

KOVA_EXTERN_C_BEGIN
WINBASEAPI void WINAPI InitializeCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINBASEAPI void WINAPI EnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINBASEAPI BOOL WINAPI TryEnterCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINBASEAPI void WINAPI LeaveCriticalSection(LPCRITICAL_SECTION lpCriticalSection);
WINBASEAPI void WINAPI DeleteCriticalSection(LPCRITICAL_SECTION lpCriticalSection);

// Full-barrier atomic operations on 32-bit values; each returns the new value
// (exchange: the old one).
WINBASEAPI LONG WINAPI InterlockedIncrement(LONG volatile* Addend);
WINBASEAPI LONG WINAPI InterlockedDecrement(LONG volatile* Addend);
WINBASEAPI LONG WINAPI InterlockedExchange(LONG volatile* Target, LONG Value);
WINBASEAPI LONG WINAPI InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange,
                                                 LONG Comparand);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_SYNCHAPI_H_
