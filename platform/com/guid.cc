// GUID texts and the task allocator. Pinned by guid_test.cc.
#include <cstdlib>
#include <cstring>

#include "com_text.h"
#include "combaseapi.h"

using kova::com::GuidToText;
using kova::com::OleView;
using kova::com::TextToGuid;

namespace {

HRESULT CopyToTaskMem(std::u16string_view text, LPOLESTR* out) {
  auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((text.size() + 1) * sizeof(OLECHAR)));
  if (copy == nullptr) return E_OUTOFMEMORY;
  std::memcpy(copy, text.data(), text.size() * sizeof(OLECHAR));
  copy[text.size()] = 0;
  *out = copy;
  return S_OK;
}

// The task allocator: the C heap, so CoTaskMemFree and IMalloc::Free agree.
struct TaskMalloc final : public IMalloc {
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (ppv == nullptr) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IMalloc) {
      *ppv = static_cast<IMalloc*>(this);
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 1; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP_(void*) Alloc(SIZE_T cb) override { return std::malloc(cb == 0 ? 1 : cb); }
  STDMETHODIMP_(void*) Realloc(void* pv, SIZE_T cb) override {
    if (cb == 0) {
      std::free(pv);
      return nullptr;
    }
    return std::realloc(pv, cb);
  }
  STDMETHODIMP_(void) Free(void* pv) override { std::free(pv); }
  STDMETHODIMP_(SIZE_T) GetSize(void*) override { return SIZE_T(-1); }
  STDMETHODIMP_(int) DidAlloc(void*) override { return -1; }
  STDMETHODIMP_(void) HeapMinimize() override {}
};

TaskMalloc g_task_malloc;

}  // namespace

extern "C" {

LPVOID WINAPI CoTaskMemAlloc(SIZE_T cb) { return g_task_malloc.Alloc(cb); }
LPVOID WINAPI CoTaskMemRealloc(LPVOID pv, SIZE_T cb) {
  return g_task_malloc.Realloc(pv, cb);
}
void WINAPI CoTaskMemFree(LPVOID pv) { g_task_malloc.Free(pv); }

HRESULT WINAPI CoGetMalloc(DWORD dwMemContext, LPMALLOC* ppMalloc) {
  if (ppMalloc == nullptr) return E_INVALIDARG;
  *ppMalloc = &g_task_malloc;
  return S_OK;
}

int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
  if (lpsz == nullptr || cchMax < CHARS_IN_GUID) return 0;
  const std::string text = GuidToText(rguid);
  for (int i = 0; i < CHARS_IN_GUID - 1; ++i) lpsz[i] = OLECHAR(text[std::size_t(i)]);
  lpsz[CHARS_IN_GUID - 1] = 0;
  return CHARS_IN_GUID;
}

HRESULT WINAPI StringFromCLSID(REFCLSID rclsid, LPOLESTR* lplpsz) {
  if (lplpsz == nullptr) return E_INVALIDARG;
  *lplpsz = nullptr;
  return CopyToTaskMem(kova::com::Widen(GuidToText(rclsid)), lplpsz);
}

HRESULT WINAPI StringFromIID(REFIID rclsid, LPOLESTR* lplpsz) {
  return StringFromCLSID(rclsid, lplpsz);
}

// As on the platform, a text that is not a braced GUID is tried as a ProgID;
// a failure leaves *pclsid as CLSID_NULL.
HRESULT WINAPI CLSIDFromString(LPCOLESTR lpsz, LPCLSID pclsid) {
  if (pclsid == nullptr) return E_INVALIDARG;
  *pclsid = CLSID_NULL;
  if (lpsz == nullptr) return S_OK;
  if (TextToGuid(OleView(lpsz), pclsid)) return S_OK;
  if (lpsz[0] != u'{' && lpsz[0] != 0 && SUCCEEDED(CLSIDFromProgID(lpsz, pclsid)))
    return S_OK;
  *pclsid = CLSID_NULL;
  return CO_E_CLASSSTRING;
}

HRESULT WINAPI IIDFromString(LPCOLESTR lpsz, LPIID lpiid) {
  if (lpiid == nullptr) return E_INVALIDARG;
  if (lpsz == nullptr) {
    *lpiid = IID_NULL;
    return S_OK;
  }
  if (TextToGuid(OleView(lpsz), lpiid)) return S_OK;
  return E_INVALIDARG;
}

}  // extern "C"
