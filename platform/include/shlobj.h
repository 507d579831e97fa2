// Special folders (area: files). There are none on Linux; each comes from a
// documented, overridable place (an empty variable counts as unset):
//   CSIDL_PERSONAL        $KOVA_DOCUMENTS_DIR, else ${XDG_DOCUMENTS_DIR:-$HOME/Documents}
//   CSIDL_DESKTOP         ${XDG_DESKTOP_DIR:-$HOME/Desktop}
//   CSIDL_APPDATA         ${XDG_CONFIG_HOME:-$HOME/.config}
//   CSIDL_LOCAL_APPDATA   ${XDG_DATA_HOME:-$HOME/.local/share}
//   CSIDL_COMMON_APPDATA  /var/lib
//   CSIDL_PROGRAM_FILES   /usr/lib
// $HOME falls back to the user's entry in the password database. The folder need
// not exist (CSIDL_FLAG_CREATE creates it, mode 0700); other numbers give
// E_INVALIDARG.
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
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_MASK 0xFF00

// An item identifier list: here an opaque block that holds a path. Free it with
// the shell's allocator (SHGetMalloc).
typedef struct _ITEMIDLIST ITEMIDLIST;
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;

KOVA_EXTERN_C_BEGIN
// *ppidl receives a list allocated with the shell's allocator (free it with
// SHGetMalloc's Free, or CoTaskMemFree).
SHSTDAPI HRESULT WINAPI SHGetSpecialFolderLocation(HWND hwnd, int csidl,
                                                   LPITEMIDLIST* ppidl);
// pszPath must hold MAX_PATH characters.
SHSTDAPI BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath);
// The process's task allocator (the same object CoGetMalloc gives); AddRef and
// Release do nothing.
SHSTDAPI HRESULT WINAPI SHGetMalloc(IMalloc** ppMalloc);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_SHLOBJ_H_
