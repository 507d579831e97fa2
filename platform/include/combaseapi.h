// COM run time: apartments, class objects, GUID texts, the task allocator
// (area: com).
//
// Only in-process servers exist: a class is a shared library registered under
// HKEY_CLASSES_ROOT\CLSID\{clsid}\InprocServer32 (default value: the library's
// path), loaded with LoadLibraryA and asked through its DllGetClassObject. Loaded
// servers stay in a per-process table until CoFreeUnusedLibraries finds that their
// DllCanUnloadNow says S_OK.
#ifndef KOVA_PLATFORM_COMBASEAPI_H_
#define KOVA_PLATFORM_COMBASEAPI_H_

#include "objidl.h"
#include "unknwn.h"
#include "winapi_decl.h"
#include "wtypes.h"

typedef enum tagCLSCTX {
  CLSCTX_INPROC_SERVER = 0x1,
  CLSCTX_INPROC_HANDLER = 0x2,
  CLSCTX_LOCAL_SERVER = 0x4,
  CLSCTX_INPROC_SERVER16 = 0x8,
  CLSCTX_REMOTE_SERVER = 0x10,
} CLSCTX;
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL                                                      \
  (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER | CLSCTX_LOCAL_SERVER | \
   CLSCTX_REMOTE_SERVER)

typedef enum tagCOINIT {
  COINIT_MULTITHREADED = 0x0,
  COINIT_APARTMENTTHREADED = 0x2,
  COINIT_DISABLE_OLE1DDE = 0x4,
  COINIT_SPEED_OVER_MEMORY = 0x8,
} COINIT;

#define CHARS_IN_GUID 39

typedef HRESULT(STDAPICALLTYPE* LPFNGETCLASSOBJECT)(REFCLSID, REFIID, LPVOID*);
typedef HRESULT(STDAPICALLTYPE* LPFNCANUNLOADNOW)();

KOVA_EXTERN_C_BEGIN
// Per-thread apartment: the first call gives S_OK, later calls with the same model
// S_FALSE (each must be matched by CoUninitialize), a call with the other model
// RPC_E_CHANGED_MODE (and no count).
WINOLEAPI HRESULT WINAPI CoInitialize(LPVOID pvReserved);
WINOLEAPI HRESULT WINAPI CoInitializeEx(LPVOID pvReserved, DWORD dwCoInit);
WINOLEAPI void WINAPI CoUninitialize(void);

// CO_E_NOTINITIALIZED on a thread outside every apartment (a thread that did not
// initialise COM counts as a member of the multithreaded apartment while one
// exists, as on the platform). A context without an in-process bit gives
// REGDB_E_CLASSNOTREG.
WINOLEAPI HRESULT WINAPI CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext,
                                          LPVOID pvReserved, REFIID riid, LPVOID* ppv);
WINOLEAPI HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter,
                                          DWORD dwClsContext, REFIID riid, LPVOID* ppv);
// Asks every server the process loaded through CoGetClassObject whether it can be
// unloaded and frees those that answer S_OK.
WINOLEAPI void WINAPI CoFreeUnusedLibraries(void);

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hexadecimal.
// StringFromGUID2 returns the characters written including the NUL (39), or 0
// when cchMax is too small. CLSIDFromString also accepts a ProgID, as on the
// platform; a null text gives CLSID_NULL.
WINOLEAPI int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
WINOLEAPI HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz);
WINOLEAPI HRESULT WINAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz);
WINOLEAPI HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid);
WINOLEAPI HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid);
// HKCR\<ProgID>\CLSID; a ProgID without a CLSID key follows its CurVer.
// CO_E_CLASSSTRING when the ProgID is unknown.
WINOLEAPI HRESULT WINAPI CLSIDFromProgID(LPCOLESTR lpszProgID, LPCLSID lpclsid);
// HKCR\CLSID\{clsid}\ProgID, in a CoTaskMemAlloc block.
WINOLEAPI HRESULT WINAPI ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);

WINOLEAPI LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb);
WINOLEAPI LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb);
WINOLEAPI void WINAPI CoTaskMemFree(LPVOID pv);
WINOLEAPI HRESULT WINAPI CoGetMalloc(DWORD dwMemContext, LPMALLOC* ppMalloc);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_COMBASEAPI_H_
