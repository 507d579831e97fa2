// Shell file operations (area: files).
#ifndef KOVA_PLATFORM_SHELLAPI_H_
#define KOVA_PLATFORM_SHELLAPI_H_

#include "winapi_decl.h"
#include "windef.h"

#define FO_MOVE 0x0001
#define FO_COPY 0x0002
#define FO_DELETE 0x0003
#define FO_RENAME 0x0004

typedef WORD FILEOP_FLAGS;
#define FOF_MULTIDESTFILES 0x0001
#define FOF_CONFIRMMOUSE 0x0002
#define FOF_SILENT 0x0004
#define FOF_RENAMEONCOLLISION 0x0008
#define FOF_NOCONFIRMATION 0x0010
#define FOF_WANTMAPPINGHANDLE 0x0020
#define FOF_ALLOWUNDO 0x0040
#define FOF_FILESONLY 0x0080
#define FOF_SIMPLEPROGRESS 0x0100
#define FOF_NOCONFIRMMKDIR 0x0200
#define FOF_NOERRORUI 0x0400
#define FOF_NOCOPYSECURITYATTRIBS 0x0800

typedef struct _SHFILEOPSTRUCTA {
  HWND hwnd;
  UINT wFunc;
  LPCSTR pFrom;  // double-NUL-terminated list of sources
  LPCSTR pTo;    // double-NUL-terminated destination (one, or one per source)
  FILEOP_FLAGS fFlags;
  BOOL fAnyOperationsAborted;
  LPVOID hNameMappings;
  LPCSTR lpszProgressTitle;
} SHFILEOPSTRUCTA, *LPSHFILEOPSTRUCTA;

KOVA_EXTERN_C_BEGIN
// Copies, moves, renames or deletes files and folder trees (sources may carry
// wildcards in their last element). Never asks anything: an answer that the
// platform would ask for is taken as "yes" (overwrite, create folders, delete
// read-only files). With several sources or a wildcard, or an existing folder as
// destination, the items go into the destination folder (created when missing);
// otherwise the destination is the new name of the one source. It stops at the
// first failure. Returns 0 on success, else a system error code (not the shell's
// own codes); fAnyOperationsAborted is set whenever something was not done.
SHSTDAPI int WINAPI SHFileOperationA(LPSHFILEOPSTRUCTA lpFileOp);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_SHELLAPI_H_
