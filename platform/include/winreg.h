// The registry (area: registry). Each hive is a text file in the registry editor's
// export format (doc/hive-format.md): HKEY_CURRENT_USER is
// $KOVA_REGISTRY_DIR/user.reg (else ${XDG_CONFIG_HOME:-$HOME/.config}/corvanta/user.reg),
// HKEY_LOCAL_MACHINE is $KOVA_REGISTRY_DIR/system.reg (else /etc/corvanta/system.reg),
// HKEY_CLASSES_ROOT merges HKCU\Software\Classes over HKLM\Software\Classes.
// A change made by another process is seen at the next open of a key; every write
// is atomic and serialised between processes. Key and value names compare without
// case and keep their case. Functions return a system error code (ERROR_SUCCESS).
#ifndef KOVA_PLATFORM_WINREG_H_
#define KOVA_PLATFORM_WINREG_H_

#include "winapi_decl.h"
#include "windef.h"

typedef DWORD REGSAM;
typedef DWORD ACCESS_MASK;

#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)((LONG)0x80000000))
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)((LONG)0x80000001))
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)((LONG)0x80000002))
#define HKEY_USERS ((HKEY)(ULONG_PTR)((LONG)0x80000003))

#define REG_NONE 0
#define REG_SZ 1
#define REG_EXPAND_SZ 2
#define REG_BINARY 3
#define REG_DWORD 4
#define REG_DWORD_LITTLE_ENDIAN 4
#define REG_DWORD_BIG_ENDIAN 5
#define REG_LINK 6
#define REG_MULTI_SZ 7
#define REG_QWORD 11

#define KEY_QUERY_VALUE 0x0001
#define KEY_SET_VALUE 0x0002
#define KEY_CREATE_SUB_KEY 0x0004
#define KEY_ENUMERATE_SUB_KEYS 0x0008
#define KEY_NOTIFY 0x0010
#define KEY_CREATE_LINK 0x0020
#define KEY_WOW64_64KEY 0x0100
#define KEY_WOW64_32KEY 0x0200
#define KEY_READ 0x20019
#define KEY_WRITE 0x20006
#define KEY_EXECUTE 0x20019
#define KEY_ALL_ACCESS 0xF003F

#define REG_OPTION_NON_VOLATILE 0x00000000
#define REG_OPTION_VOLATILE 0x00000001
#define REG_CREATED_NEW_KEY 0x00000001
#define REG_OPENED_EXISTING_KEY 0x00000002

KOVA_EXTERN_C_BEGIN
WINADVAPI LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions,
                                       REGSAM samDesired, PHKEY phkResult);
WINADVAPI LSTATUS WINAPI RegOpenKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
WINADVAPI LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved,
                                         LPSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                                         const LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                         PHKEY phkResult, LPDWORD lpdwDisposition);
WINADVAPI LSTATUS WINAPI RegCreateKeyA(HKEY hKey, LPCSTR lpSubKey, PHKEY phkResult);
WINADVAPI LSTATUS WINAPI RegCloseKey(HKEY hKey);
// Text values: the size counts the terminating NUL. A buffer too small gives
// ERROR_MORE_DATA with the size needed and the buffer untouched; a null lpData asks
// for the size only. REG_EXPAND_SZ comes back unexpanded.
WINADVAPI LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved,
                                          LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
// The default value of a subkey; a key without one gives the empty text (size 1).
WINADVAPI LSTATUS WINAPI RegQueryValueA(HKEY hKey, LPCSTR lpSubKey, LPSTR lpData,
                                        PLONG lpcbData);
WINADVAPI LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved,
                                        DWORD dwType, const BYTE* lpData, DWORD cbData);
// Sets the default value (REG_SZ) of a subkey, creating it.
WINADVAPI LSTATUS WINAPI RegSetValueA(HKEY hKey, LPCSTR lpSubKey, DWORD dwType,
                                      LPCSTR lpData, DWORD cbData);
WINADVAPI LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName,
                                       LPDWORD lpcchName, LPDWORD lpReserved, LPSTR lpClass,
                                       LPDWORD lpcchClass, PFILETIME lpftLastWriteTime);
WINADVAPI LSTATUS WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName);
WINADVAPI LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName,
                                       LPDWORD lpcchValueName, LPDWORD lpReserved,
                                       LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
WINADVAPI LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass,
                                          LPDWORD lpReserved, LPDWORD lpcSubKeys,
                                          LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                          LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                                          LPDWORD lpcbMaxValueLen,
                                          LPDWORD lpcbSecurityDescriptor,
                                          PFILETIME lpftLastWriteTime);
// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED otherwise, as on the platform).
WINADVAPI LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
// Deletes a key with all its subkeys and values; a null lpSubKey empties hKey.
WINADVAPI LSTATUS WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);
WINADVAPI LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// Every change is already in the hive file: a no-op that checks the handle.
WINADVAPI LSTATUS WINAPI RegFlushKey(HKEY hKey);

// Stand-in extension, no platform counterpart. Operations on a hive whose file is
// damaged fail with ERROR_REGISTRY_CORRUPT; this gives the reason for the hive of
// hKey (for HKEY_CLASSES_ROOT, the first damaged of the two) as
// "<file>: line <n>: <reason>". Returns the length without the NUL when it fits
// cchText, else the size needed with the NUL (lpText untouched); 0 when the hive is
// sound or hKey is not a key.
WINADVAPI DWORD WINAPI KovaRegGetHiveDamage(HKEY hKey, LPSTR lpText, DWORD cchText);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_WINREG_H_
