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

#endif  // KOVA_PLATFORM_OBJIDL_H_
