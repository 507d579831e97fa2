// Files, folders, enumeration and temporary names (area: files). Paths use the
// backslash; the stand-in turns it into '/' for the OS and hands paths back with
// backslashes. A path with a leading separator is absolute.
#ifndef KOVA_PLATFORM_FILEAPI_H_
#define KOVA_PLATFORM_FILEAPI_H_

#include "handleapi.h"
#include "winapi_decl.h"
#include "windef.h"

#define GENERIC_READ 0x80000000UL
#define GENERIC_WRITE 0x40000000UL
#define GENERIC_EXECUTE 0x20000000UL
#define GENERIC_ALL 0x10000000UL

#define FILE_SHARE_READ 0x00000001
#define FILE_SHARE_WRITE 0x00000002
#define FILE_SHARE_DELETE 0x00000004

#define CREATE_NEW 1
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define OPEN_ALWAYS 4
#define TRUNCATE_EXISTING 5

#define FILE_ATTRIBUTE_READONLY 0x00000001
#define FILE_ATTRIBUTE_HIDDEN 0x00000002
#define FILE_ATTRIBUTE_SYSTEM 0x00000004
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020
#define FILE_ATTRIBUTE_NORMAL 0x00000080
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100
#define INVALID_FILE_ATTRIBUTES ((DWORD)-1)
#define INVALID_FILE_SIZE ((DWORD)0xFFFFFFFF)
#define INVALID_SET_FILE_POINTER ((DWORD)-1)

#define FILE_BEGIN 0
#define FILE_CURRENT 1
#define FILE_END 2

typedef struct _WIN32_FIND_DATAA {
  DWORD dwFileAttributes;
  FILETIME ftCreationTime;
  FILETIME ftLastAccessTime;
  FILETIME ftLastWriteTime;
  DWORD nFileSizeHigh;
  DWORD nFileSizeLow;
  DWORD dwReserved0;
  DWORD dwReserved1;
  CHAR cFileName[MAX_PATH];
  CHAR cAlternateFileName[14];
} WIN32_FIND_DATAA, *PWIN32_FIND_DATAA, *LPWIN32_FIND_DATAA;

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

KOVA_EXTERN_C_BEGIN
// dwDesiredAccess: GENERIC_READ and/or GENERIC_WRITE. dwShareMode is honoured
// between handles of this process and, through advisory locks, between processes
// that use the stand-in. dwCreationDisposition: CREATE_NEW (ERROR_FILE_EXISTS when
// present), CREATE_ALWAYS (truncates; last error ERROR_ALREADY_EXISTS when it
// existed), OPEN_EXISTING (ERROR_FILE_NOT_FOUND / ERROR_PATH_NOT_FOUND), OPEN_ALWAYS,
// TRUNCATE_EXISTING. New files get mode 0666 less the umask (0444 with
// FILE_ATTRIBUTE_READONLY).
WINBASEAPI HANDLE WINAPI CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess,
                                     DWORD dwShareMode,
                                     LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                     DWORD dwCreationDisposition,
                                     DWORD dwFlagsAndAttributes, HANDLE hTemplateFile);
// Synchronous only: lpOverlapped must be null. A handle without GENERIC_READ
// (GENERIC_WRITE) cannot read (write): ERROR_ACCESS_DENIED.
WINBASEAPI BOOL WINAPI ReadFile(HANDLE hFile, LPVOID lpBuffer, DWORD nNumberOfBytesToRead,
                                LPDWORD lpNumberOfBytesRead, LPOVERLAPPED lpOverlapped);
WINBASEAPI BOOL WINAPI WriteFile(HANDLE hFile, LPCVOID lpBuffer,
                                 DWORD nNumberOfBytesToWrite,
                                 LPDWORD lpNumberOfBytesWritten, LPOVERLAPPED lpOverlapped);
WINBASEAPI DWORD WINAPI SetFilePointer(HANDLE hFile, LONG lDistanceToMove,
                                       PLONG lpDistanceToMoveHigh, DWORD dwMoveMethod);
WINBASEAPI DWORD WINAPI GetFileSize(HANDLE hFile, LPDWORD lpFileSizeHigh);
WINBASEAPI BOOL WINAPI DeleteFileA(LPCSTR lpFileName);
WINBASEAPI BOOL WINAPI CopyFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName,
                                 BOOL bFailIfExists);
// Across file systems a file is copied and removed; a folder gives
// ERROR_NOT_SAME_DEVICE, as on the platform.
WINBASEAPI BOOL WINAPI MoveFileA(LPCSTR lpExistingFileName, LPCSTR lpNewFileName);
// Folders report FILE_ATTRIBUTE_DIRECTORY, files FILE_ATTRIBUTE_ARCHIVE (as the
// platform's files normally do); FILE_ATTRIBUTE_READONLY means the owner has no
// write bit. The platform refuses to delete, overwrite or open for writing a
// read-only file (ERROR_ACCESS_DENIED), whoever asks; so does the stand-in.
WINBASEAPI DWORD WINAPI GetFileAttributesA(LPCSTR lpFileName);
WINBASEAPI BOOL WINAPI SetFileAttributesA(LPCSTR lpFileName, DWORD dwFileAttributes);
WINBASEAPI BOOL WINAPI CreateDirectoryA(LPCSTR lpPathName,
                                        LPSECURITY_ATTRIBUTES lpSecurityAttributes);
WINBASEAPI BOOL WINAPI RemoveDirectoryA(LPCSTR lpPathName);

// lpFileName is a folder followed by a pattern with '*' and '?' (matched without
// case, as on the platform); "." and ".." are listed for folders as on the platform.
WINBASEAPI HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName,
                                        LPWIN32_FIND_DATAA lpFindFileData);
WINBASEAPI BOOL WINAPI FindNextFileA(HANDLE hFindFile, LPWIN32_FIND_DATAA lpFindFileData);
WINBASEAPI BOOL WINAPI FindClose(HANDLE hFindFile);

// $TMPDIR (else /tmp), with a trailing backslash.
WINBASEAPI DWORD WINAPI GetTempPathA(DWORD nBufferLength, LPSTR lpBuffer);
// Creates <path>\<prefix:3><HEX>.tmp exclusively with mode 0600 when uUnique is 0;
// a non-zero uUnique only builds the name.
WINBASEAPI UINT WINAPI GetTempFileNameA(LPCSTR lpPathName, LPCSTR lpPrefixString,
                                        UINT uUnique, LPSTR lpTempFileName);
// There are no short names: the long path comes back when it exists.
WINBASEAPI DWORD WINAPI GetShortPathNameA(LPCSTR lpszLongPath, LPSTR lpszShortPath,
                                          DWORD cchBuffer);
WINBASEAPI DWORD WINAPI GetFullPathNameA(LPCSTR lpFileName, DWORD nBufferLength,
                                         LPSTR lpBuffer, LPSTR* lpFilePart);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_FILEAPI_H_
