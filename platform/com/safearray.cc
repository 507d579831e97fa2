// SAFEARRAY as the platform lays it out: the bounds are stored in reverse order
// (rgsabound[0] is the last dimension given to SafeArrayCreate), rgIndices[0] of an
// element access is the first dimension and varies fastest. The element type is
// kept in the four bytes before the header (FADF_HAVEVARTYPE). Pinned by
// safearray_test.cc.
#include <cstdlib>
#include <cstring>

#include "oleauto.h"

namespace {

constexpr std::size_t kTypePrefix = 16;  // keeps the header 16-byte aligned

ULONG ElementSize(VARTYPE vt) {
  switch (vt) {
    case VT_I1:
    case VT_UI1:
      return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
      return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
      return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
      return 8;
    case VT_BSTR:
    case VT_UNKNOWN:
    case VT_DISPATCH:
      return sizeof(void*);
    case VT_VARIANT:
      return sizeof(VARIANT);
    default:
      return 0;
  }
}

USHORT FeaturesOf(VARTYPE vt) {
  switch (vt) {
    case VT_BSTR:
      return FADF_HAVEVARTYPE | FADF_BSTR;
    case VT_VARIANT:
      return FADF_HAVEVARTYPE | FADF_VARIANT;
    case VT_UNKNOWN:
      return FADF_HAVEVARTYPE | FADF_UNKNOWN;
    case VT_DISPATCH:
      return FADF_HAVEVARTYPE | FADF_DISPATCH;
    default:
      return FADF_HAVEVARTYPE;
  }
}

VARTYPE TypeOf(const SAFEARRAY* psa) {
  DWORD vt;
  std::memcpy(&vt, reinterpret_cast<const unsigned char*>(psa) - sizeof vt, sizeof vt);
  return VARTYPE(vt);
}

ULONG CellCount(const SAFEARRAY* psa) {
  ULONG cells = 1;
  for (USHORT d = 0; d < psa->cDims; ++d) cells *= psa->rgsabound[d].cElements;
  return cells;
}

// The offset in cells of rgIndices, or false when an index is out of bounds.
bool CellOffset(const SAFEARRAY* psa, const LONG* rgIndices, ULONG* offset) {
  ULONG cell = 0, stride = 1;
  for (USHORT i = 0; i < psa->cDims; ++i) {
    const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - 1 - i];
    const long long at = (long long)rgIndices[i] - bound.lLbound;
    if (at < 0 || at >= (long long)bound.cElements) return false;
    cell += ULONG(at) * stride;
    stride *= bound.cElements;
  }
  *offset = cell;
  return true;
}

void ReleaseCells(SAFEARRAY* psa) {
  const VARTYPE vt = TypeOf(psa);
  const ULONG cells = CellCount(psa);
  auto* data = static_cast<unsigned char*>(psa->pvData);
  for (ULONG i = 0; i < cells; ++i) {
    void* cell = data + std::size_t(i) * psa->cbElements;
    if (vt == VT_BSTR) {
      SysFreeString(*static_cast<BSTR*>(cell));
    } else if (vt == VT_VARIANT) {
      VariantClear(static_cast<VARIANT*>(cell));
    } else if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
      if (auto* unk = *static_cast<IUnknown**>(cell)) unk->Release();
    }
  }
}

// Stores a copy of `value` (the element as the API passes it) into `cell`.
HRESULT CopyIntoCell(VARTYPE vt, ULONG size, void* cell, const void* value) {
  if (vt == VT_BSTR) {
    const BSTR source = static_cast<BSTR>(const_cast<void*>(value));
    BSTR copy = nullptr;
    if (source != nullptr) {
      copy = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(source),
                                   SysStringByteLen(source));
      if (copy == nullptr) return E_OUTOFMEMORY;
    }
    *static_cast<BSTR*>(cell) = copy;
    return S_OK;
  }
  if (vt == VT_VARIANT) {
    auto* target = static_cast<VARIANT*>(cell);
    target->vt = VT_EMPTY;
    return VariantCopy(target, static_cast<const VARIANT*>(value));
  }
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    auto* unk = static_cast<IUnknown*>(const_cast<void*>(value));
    if (unk != nullptr) unk->AddRef();
    *static_cast<IUnknown**>(cell) = unk;
    return S_OK;
  }
  std::memcpy(cell, value, size);
  return S_OK;
}

void FreeCell(VARTYPE vt, void* cell) {
  if (vt == VT_BSTR) {
    SysFreeString(*static_cast<BSTR*>(cell));
  } else if (vt == VT_VARIANT) {
    VariantClear(static_cast<VARIANT*>(cell));
  } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && *static_cast<IUnknown**>(cell)) {
    (*static_cast<IUnknown**>(cell))->Release();
  }
}

SAFEARRAY* Allocate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* bounds_in_order) {
  const ULONG size = ElementSize(vt);
  if (size == 0 || cDims == 0 || cDims > 0xFFFF) return nullptr;
  const std::size_t header = sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
  auto* block = static_cast<unsigned char*>(std::calloc(1, kTypePrefix + header));
  if (block == nullptr) return nullptr;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kTypePrefix);
  const DWORD stored_vt = vt;
  std::memcpy(block + kTypePrefix - sizeof stored_vt, &stored_vt, sizeof stored_vt);
  psa->cDims = USHORT(cDims);
  psa->fFeatures = FeaturesOf(vt);
  psa->cbElements = size;
  unsigned long long cells = 1;
  for (UINT d = 0; d < cDims; ++d) {
    psa->rgsabound[d] = bounds_in_order[cDims - 1 - d];
    cells *= bounds_in_order[d].cElements;
  }
  if (cells * size > 0x7FFFFFFFull) {
    std::free(block);
    return nullptr;
  }
  psa->pvData = std::calloc(std::size_t(cells == 0 ? 1 : cells), size);
  if (psa->pvData == nullptr) {
    std::free(block);
    return nullptr;
  }
  return psa;
}

void FreeArray(SAFEARRAY* psa) {
  std::free(psa->pvData);
  std::free(reinterpret_cast<unsigned char*>(psa) - kTypePrefix);
}

}  // namespace

extern "C" {

SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
  if (rgsabound == nullptr) return nullptr;
  return Allocate(vt, cDims, rgsabound);
}

SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  return Allocate(vt, 1, &bound);
}

HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa) {
  if (psa == nullptr) return S_OK;
  if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
  ReleaseCells(psa);
  FreeArray(psa);
  return S_OK;
}

UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa) { return psa == nullptr ? 0 : psa->cDims; }
UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa) {
  return psa == nullptr ? 0 : psa->cbElements;
}

HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (psa == nullptr || pvt == nullptr) return E_INVALIDARG;
  *pvt = TypeOf(psa);
  return S_OK;
}

HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
  if (nDim == 0 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& bound = psa->rgsabound[psa->cDims - nDim];
  *plUbound = LONG((long long)bound.lLbound + bound.cElements - 1);
  return S_OK;
}

HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks == 0xFFFF) return E_UNEXPECTED;
  ++psa->cLocks;
  return S_OK;
}

HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa) {
  if (psa == nullptr) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
  const HRESULT hr = SafeArrayLock(psa);
  if (FAILED(hr)) {
    *ppvData = nullptr;
    return hr;
  }
  *ppvData = psa->pvData;
  return S_OK;
}

HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

// For VT_BSTR, VT_UNKNOWN and VT_DISPATCH pv is the element itself; otherwise it
// points to it. The element is copied; the old one is freed.
HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (psa == nullptr || rgIndices == nullptr) return E_INVALIDARG;
  const VARTYPE vt = TypeOf(psa);
  if (pv == nullptr && vt != VT_BSTR && vt != VT_UNKNOWN && vt != VT_DISPATCH) {
    return E_INVALIDARG;
  }
  ULONG offset;
  if (!CellOffset(psa, rgIndices, &offset)) return DISP_E_BADINDEX;
  void* cell =
      static_cast<unsigned char*>(psa->pvData) + std::size_t(offset) * psa->cbElements;
  unsigned char fresh[sizeof(VARIANT)];
  HRESULT hr = CopyIntoCell(vt, psa->cbElements, fresh, pv);
  if (FAILED(hr)) return hr;
  FreeCell(vt, cell);
  std::memcpy(cell, fresh, psa->cbElements);
  return S_OK;
}

// pv receives a copy (a new BSTR, an AddRef'd pointer, a VariantCopy) that the
// caller frees.
HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
  if (psa == nullptr || rgIndices == nullptr || pv == nullptr) return E_INVALIDARG;
  ULONG offset;
  if (!CellOffset(psa, rgIndices, &offset)) return DISP_E_BADINDEX;
  const VARTYPE vt = TypeOf(psa);
  const void* cell = static_cast<const unsigned char*>(psa->pvData) +
                     std::size_t(offset) * psa->cbElements;
  if (vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH) {
    return CopyIntoCell(vt, psa->cbElements, pv, *static_cast<void* const*>(cell));
  }
  return CopyIntoCell(vt, psa->cbElements, pv, cell);
}

HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (ppsaOut == nullptr) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (psa == nullptr) return S_OK;
  SAFEARRAYBOUND bounds_in_order[64] = {};
  if (psa->cDims > 64) return E_INVALIDARG;
  for (USHORT d = 0; d < psa->cDims; ++d) {
    bounds_in_order[d] = psa->rgsabound[psa->cDims - 1 - d];
  }
  const VARTYPE vt = TypeOf(psa);
  SAFEARRAY* copy = Allocate(vt, psa->cDims, bounds_in_order);
  if (copy == nullptr) return E_OUTOFMEMORY;
  const ULONG cells = CellCount(psa);
  for (ULONG i = 0; i < cells; ++i) {
    const auto* from =
        static_cast<const unsigned char*>(psa->pvData) + std::size_t(i) * psa->cbElements;
    auto* to =
        static_cast<unsigned char*>(copy->pvData) + std::size_t(i) * psa->cbElements;
    const void* value = (vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH)
                            ? *static_cast<void* const*>(static_cast<const void*>(from))
                            : static_cast<const void*>(from);
    const HRESULT hr = CopyIntoCell(vt, psa->cbElements, to, value);
    if (FAILED(hr)) {
      SafeArrayDestroy(copy);
      return hr;
    }
  }
  *ppsaOut = copy;
  return S_OK;
}

}  // extern "C"
