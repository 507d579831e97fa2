// VARIANT life cycle and the conversions among the automation types that the
// system passes: VT_EMPTY, VT_I2, VT_I4, VT_UI4, VT_BOOL, VT_BSTR (and the other
// integer types as sources). Pinned by bstr_variant_test.cc.
#include <cstdint>
#include <optional>
#include <string>

#include "com_text.h"
#include "oleauto.h"

namespace {

bool IsValidType(VARTYPE vt) {
  const VARTYPE base = vt & VT_TYPEMASK;
  if ((vt & VT_ARRAY) != 0) return base != VT_EMPTY && base != VT_NULL;
  switch (base) {
    case VT_EMPTY:
    case VT_NULL:
      return (vt & VT_BYREF) == 0;
    case VT_I2:
    case VT_I4:
    case VT_R4:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_ERROR:
    case VT_BOOL:
    case VT_UNKNOWN:
    case VT_DECIMAL:
    case VT_I1:
    case VT_UI1:
    case VT_UI2:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
      return true;
    case VT_VARIANT:
      return (vt & VT_BYREF) != 0;
    default:
      return false;
  }
}

// An integer view of a number-typed value (dereferenced), or nullopt.
std::optional<std::int64_t> IntegerOf(const VARIANT& v) {
  const bool ref = (v.vt & VT_BYREF) != 0;
  switch (v.vt & VT_TYPEMASK) {
    case VT_EMPTY:
      return 0;
    case VT_I1:
      return ref ? *v.pcVal : v.cVal;
    case VT_UI1:
      return ref ? *v.pbVal : v.bVal;
    case VT_I2:
      return ref ? *v.piVal : v.iVal;
    case VT_UI2:
      return ref ? *v.puiVal : v.uiVal;
    case VT_BOOL:
      return ref ? *v.pboolVal : v.boolVal;
    case VT_I4:
      return ref ? *v.plVal : v.lVal;
    case VT_UI4:
      return ref ? *v.pulVal : v.ulVal;
    case VT_INT:
      return ref ? *v.pintVal : v.intVal;
    case VT_UINT:
      return ref ? *v.puintVal : v.uintVal;
    case VT_I8:
      return ref ? *v.pllVal : v.llVal;
    case VT_ERROR:
      return ref ? *v.pscode : v.scode;
    default:
      return std::nullopt;
  }
}

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

// The platform's number parse, for integers: blanks around, a sign, decimal digits,
// an optional fraction (rounded half to even), or &H / &O prefixes. Too many digits
// count as an overflow.
HRESULT ParseNumber(std::u16string_view text, std::int64_t* value) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.size() > 2 && text[0] == u'&' &&
      (text[1] == u'H' || text[1] == u'h' || text[1] == u'O' || text[1] == u'o')) {
    const int base = (text[1] == u'H' || text[1] == u'h') ? 16 : 8;
    std::uint64_t v = 0;
    for (char16_t c : text.substr(2)) {
      int d = -1;
      if (c >= u'0' && c <= u'9')
        d = c - u'0';
      else if (base == 16 && c >= u'a' && c <= u'f')
        d = c - u'a' + 10;
      else if (base == 16 && c >= u'A' && c <= u'F')
        d = c - u'A' + 10;
      if (d < 0 || d >= base) return DISP_E_TYPEMISMATCH;
      v = v * unsigned(base) + unsigned(d);
      if (v > 0xFFFFFFFFull) return DISP_E_OVERFLOW;
    }
    // A hexadecimal or octal text is a 32-bit pattern, as on the platform.
    *value =
        v > 0x7FFFFFFF ? std::int64_t(std::int32_t(std::uint32_t(v))) : std::int64_t(v);
    return S_OK;
  }
  bool negative = false;
  if (!text.empty() && (text[0] == u'-' || text[0] == u'+')) {
    negative = text[0] == u'-';
    text.remove_prefix(1);
  }
  if (text.empty()) return DISP_E_TYPEMISMATCH;
  std::uint64_t whole = 0;
  std::size_t i = 0;
  bool digits = false;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    digits = true;
    whole = whole * 10 + unsigned(text[i] - u'0');
    if (whole > 0xFFFFFFFFFull) return DISP_E_OVERFLOW;
  }
  if (i < text.size() && text[i] == u'.') {
    ++i;
    std::size_t first = i;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) digits = true;
    if (first < i) {
      const int lead = text[first] - u'0';
      bool beyond_half = false;
      for (std::size_t j = first + 1; j < i; ++j) beyond_half |= text[j] != u'0';
      if (lead > 5 || (lead == 5 && (beyond_half || (whole & 1) != 0))) ++whole;
    }
  }
  if (!digits || i != text.size()) return DISP_E_TYPEMISMATCH;
  *value = negative ? -std::int64_t(whole) : std::int64_t(whole);
  return S_OK;
}

HRESULT ParseBool(std::u16string_view text, VARIANT_BOOL* value) {
  std::u16string_view trimmed = text;
  while (!trimmed.empty() && IsBlank(trimmed.front())) trimmed.remove_prefix(1);
  while (!trimmed.empty() && IsBlank(trimmed.back())) trimmed.remove_suffix(1);
  if (kova::com::EqualsNoCase(trimmed, u"True") ||
      kova::com::EqualsNoCase(trimmed, u"#TRUE#")) {
    *value = VARIANT_TRUE;
    return S_OK;
  }
  if (kova::com::EqualsNoCase(trimmed, u"False") ||
      kova::com::EqualsNoCase(trimmed, u"#FALSE#")) {
    *value = VARIANT_FALSE;
    return S_OK;
  }
  std::int64_t number = 0;
  const HRESULT hr = ParseNumber(text, &number);
  if (hr == DISP_E_OVERFLOW) {
    *value = VARIANT_TRUE;  // too large for any integer, but surely not zero
    return S_OK;
  }
  if (FAILED(hr)) return hr;
  *value = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
  return S_OK;
}

HRESULT FitInteger(std::int64_t v, VARTYPE vt, VARIANT* out) {
  switch (vt) {
    case VT_I2:
      if (v < INT16_MIN || v > INT16_MAX) return DISP_E_OVERFLOW;
      out->iVal = SHORT(v);
      break;
    case VT_I4:
      if (v < INT32_MIN || v > INT32_MAX) return DISP_E_OVERFLOW;
      out->lVal = LONG(v);
      break;
    case VT_UI4:
      if (v < 0 || v > UINT32_MAX) return DISP_E_OVERFLOW;
      out->ulVal = ULONG(v);
      break;
    case VT_BOOL:
      out->boolVal = v != 0 ? VARIANT_TRUE : VARIANT_FALSE;
      break;
    default:
      return DISP_E_BADVARTYPE;
  }
  out->vt = vt;
  return S_OK;
}

// Converts into `out` (uninitialised on entry; set only on success).
HRESULT Convert(const VARIANT& src, USHORT flags, VARTYPE vt, VARIANT* out) {
  const VARTYPE from = src.vt & VT_TYPEMASK;
  const bool ref = (src.vt & VT_BYREF) != 0;
  if (vt == VT_EMPTY) {
    out->vt = VT_EMPTY;
    return S_OK;
  }
  if (from == VT_NULL)
    return vt == VT_NULL ? (out->vt = VT_NULL, S_OK) : DISP_E_TYPEMISMATCH;
  if (vt == VT_BSTR) {
    if (from == VT_BSTR) {
      const BSTR s = ref ? *src.pbstrVal : src.bstrVal;
      out->bstrVal =
          SysAllocStringByteLen(reinterpret_cast<LPCSTR>(s), SysStringByteLen(s));
      if (out->bstrVal == nullptr && s != nullptr) return E_OUTOFMEMORY;
      out->vt = VT_BSTR;
      return S_OK;
    }
    const std::optional<std::int64_t> n = IntegerOf(src);
    if (!n) return DISP_E_TYPEMISMATCH;
    std::string text;
    if (from == VT_BOOL && (flags & VARIANT_ALPHABOOL) != 0) {
      text = *n != 0 ? "True" : "False";
    } else if (from != VT_EMPTY) {
      text = std::to_string(*n);
    }
    out->bstrVal = kova::com::AllocBstr(std::string_view(text));
    if (out->bstrVal == nullptr) return E_OUTOFMEMORY;
    out->vt = VT_BSTR;
    return S_OK;
  }
  if (vt != VT_I2 && vt != VT_I4 && vt != VT_UI4 && vt != VT_BOOL)
    return DISP_E_BADVARTYPE;
  if (from == VT_BSTR) {
    const std::u16string_view text =
        kova::com::OleView(ref ? *src.pbstrVal : src.bstrVal);
    if (vt == VT_BOOL) {
      VARIANT_BOOL b;
      const HRESULT hr = ParseBool(text, &b);
      if (FAILED(hr)) return hr;
      out->boolVal = b;
      out->vt = VT_BOOL;
      return S_OK;
    }
    std::int64_t n = 0;
    const HRESULT hr = ParseNumber(text, &n);
    if (FAILED(hr)) return hr;
    return FitInteger(n, vt, out);
  }
  const std::optional<std::int64_t> n = IntegerOf(src);
  if (!n) return DISP_E_TYPEMISMATCH;
  // A boolean true is all bits set, also as an unsigned number.
  if (from == VT_BOOL && vt == VT_UI4)
    return FitInteger(*n != 0 ? 0xFFFFFFFFll : 0, vt, out);
  // Unsigned sources keep their value; a 32-bit pattern does not turn negative.
  return FitInteger(*n, vt, out);
}

}  // namespace

extern "C" {

void WINAPI VariantInit(VARIANTARG* pvarg) {
  if (pvarg != nullptr) pvarg->vt = VT_EMPTY;
}

HRESULT WINAPI VariantClear(VARIANTARG* pvarg) {
  if (pvarg == nullptr) return E_INVALIDARG;
  if (!IsValidType(pvarg->vt)) return DISP_E_BADVARTYPE;
  if ((pvarg->vt & VT_BYREF) == 0) {
    if ((pvarg->vt & VT_ARRAY) != 0) {
      const HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    } else if (pvarg->vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if ((pvarg->vt == VT_UNKNOWN || pvarg->vt == VT_DISPATCH) &&
               pvarg->punkVal != nullptr) {
      pvarg->punkVal->Release();
    }
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
  if (pvargDest == pvargSrc) return S_OK;
  if (!IsValidType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  VARIANT copy = *pvargSrc;
  if ((copy.vt & VT_BYREF) == 0) {
    if ((copy.vt & VT_ARRAY) != 0) {
      hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
      if (FAILED(hr)) return hr;
    } else if (copy.vt == VT_BSTR && copy.bstrVal != nullptr) {
      copy.bstrVal = SysAllocStringByteLen(reinterpret_cast<LPCSTR>(pvargSrc->bstrVal),
                                           SysStringByteLen(pvargSrc->bstrVal));
      if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
    } else if ((copy.vt == VT_UNKNOWN || copy.vt == VT_DISPATCH) &&
               copy.punkVal != nullptr) {
      copy.punkVal->AddRef();
    }
  }
  *pvargDest = copy;
  return S_OK;
}

// The destination may be the source (conversion in place). On failure the
// destination is left as it was.
HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                 USHORT wFlags, VARTYPE vt) {
  if (pvargDest == nullptr || pvarSrc == nullptr) return E_INVALIDARG;
  if (!IsValidType(pvarSrc->vt)) return DISP_E_BADVARTYPE;
  const VARIANT* src = pvarSrc;
  if (src->vt == (VT_BYREF | VT_VARIANT)) {
    src = src->pvarVal;
    if (src == nullptr) return E_INVALIDARG;
    if (!IsValidType(src->vt)) return DISP_E_BADVARTYPE;
  }
  // A reference to nothing is refused rather than followed.
  if ((src->vt & VT_BYREF) != 0 && src->byref == nullptr) return E_INVALIDARG;
  VARIANT result;
  result.vt = VT_EMPTY;
  HRESULT hr;
  if (src->vt == vt) {
    hr = VariantCopy(&result, src);
  } else {
    hr = Convert(*src, wFlags, vt, &result);
  }
  if (FAILED(hr)) return hr;
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&result);
    return hr;
  }
  *pvargDest = result;
  return S_OK;
}

}  // extern "C"
