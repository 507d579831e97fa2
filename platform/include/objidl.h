// IMalloc, the task allocator (area: com).
#ifndef KOVA_PLATFORM_OBJIDL_H_
#define KOVA_PLATFORM_OBJIDL_H_

#include "unknwn.h"

DEFINE_GUID(IID_IMalloc, 0x00000002, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00,
            0x00, 0x46);

struct IMalloc : public IUnknown {
  STDMETHOD_(void*, Alloc)(SIZE_T cb) PURE;
  STDMETHOD_(void*, Realloc)(void* pv, SIZE_T cb) PURE;
  STDMETHOD_(void, Free)(void* pv) PURE;
  STDMETHOD_(SIZE_T, GetSize)(void* pv) PURE;
  STDMETHOD_(int, DidAlloc)(void* pv) PURE;
  STDMETHOD_(void, HeapMinimize)() PURE;

 protected:
  ~IMalloc() = default;
};
typedef IMalloc* LPMALLOC;

DEFINE_GUID(IID_IGlobalInterfaceTable, 0x00000146, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00,
            0x00, 0x00, 0x00, 0x46);
DEFINE_GUID(CLSID_StdGlobalInterfaceTable, 0x00000323, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00,
            0x00, 0x00, 0x00, 0x46);

// The process's global interface table: one per process, created through
// CoCreateInstance(CLSID_StdGlobalInterfaceTable). All apartments of a process
// share one address space here, so an entry is the registered pointer itself
// (held with a reference) and GetInterfaceFromGlobal queries it for the interface.
// Cookies are non-zero and never reused within a process.
struct IGlobalInterfaceTable : public IUnknown {
  STDMETHOD(RegisterInterfaceInGlobal)(IUnknown* pUnk, REFIID riid, DWORD* pdwCookie) PURE;
  STDMETHOD(RevokeInterfaceFromGlobal)(DWORD dwCookie) PURE;
  STDMETHOD(GetInterfaceFromGlobal)(DWORD dwCookie, REFIID riid, void** ppv) PURE;

 protected:
  ~IGlobalInterfaceTable() = default;
};
typedef IGlobalInterfaceTable* LPGLOBALINTERFACETABLE;

#endif  // KOVA_PLATFORM_OBJIDL_H_
