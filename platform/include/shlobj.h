// Special folders (area: files). CSIDL_PERSONAL, the documents folder, is
// $KOVA_DOCUMENTS_DIR, else the XDG documents folder
// (${XDG_DOCUMENTS_DIR:-$HOME/Documents}).
#ifndef KOVA_PLATFORM_SHLOBJ_H_
#define KOVA_PLATFORM_SHLOBJ_H_

#include "objidl.h"
#include "winapi_decl.h"
#include "windef.h"

#define CSIDL_DESKTOP 0x0000
#define CSIDL_PERSONAL 0x0005
#define CSIDL_MYDOCUMENTS CSIDL_PERSONAL
#define CSIDL_APPDATA 0x001a
#define CSIDL_LOCAL_APPDATA 0x001c
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_PROGRAM_FILES 0x0026

// An item identifier list: here an opaque block that holds a path. Free it with
// the shell's allocator (SHGetMalloc).
typedef struct _ITEMIDLIST ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;

KOVA_EXTERN_C_BEGIN
SHSTDAPI HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwnd, int csidl,
                                                   LPITEMIDLIST* ppidl);
// pszPath must hold MAX_PATH characters.
SHSTDAPI BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath);
SHSTDAPI HRESULT WINAPI SHGetMalloc(IMalloc** ppMalloc);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_SHLOBJ_H_
