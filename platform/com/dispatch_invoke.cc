// Type-library driven invocation, as the platform's ITypeInfo::Invoke does it for
// a dual interface: arguments arrive last first; each is converted to its
// parameter's type (by value, or by reference for pointer parameters); the
// [retval] parameter goes to pVarResult. Pinned by dispatch_invoke_test.cc.
//
// A failure HRESULT of the method becomes DISP_E_EXCEPTION with the code in
// EXCEPINFO::scode; a success code (S_OK or S_FALSE) is Invoke's own result, so
// late-bound clients see a method's S_FALSE.
#include <new>
#include <vector>

#include "oleauto.h"
#include "type_library.h"

namespace kova::com {

namespace {

// The storage of one parameter during a call.
struct Slot {
  union {
    LONG l;
    ULONG ul;
    SHORT s;
    BSTR bstr;
  } value{};
  void* pointer = nullptr;  // the location a pointer parameter receives
  VARIANT temp{};           // a converted copy owned by the call
};

void StoreValue(const VARIANT& converted, VARTYPE vt, Slot* slot) {
  switch (vt) {
    case VT_BSTR:
      slot->value.bstr = converted.bstrVal;
      break;
    case VT_BOOL:
      slot->value.s = converted.boolVal;
      break;
    case VT_I2:
      slot->value.s = converted.iVal;
      break;
    case VT_UI4:
      slot->value.ul = converted.ulVal;
      break;
    default:
      slot->value.l = converted.lVal;
      break;
  }
}

// The location inside a VARIANT where a value of its type lives.
void* ValueLocation(VARIANT* v) { return &v->lVal; }

HRESULT ConvertInto(const VARIANT* arg, VARTYPE vt, Slot* slot) {
  HRESULT hr = VariantChangeType(&slot->temp, arg, 0, vt);
  if (hr == DISP_E_BADVARTYPE) hr = DISP_E_TYPEMISMATCH;
  if (FAILED(hr)) return hr;
  StoreValue(slot->temp, vt, slot);
  return S_OK;
}

HRESULT PrepareByReference(VARIANT* arg, const KOVA_PARAM_DATA& param, Slot* slot) {
  const VARTYPE base = VARTYPE(param.vt & ~VT_BYREF);
  if (arg->vt == (VT_BYREF | base)) {
    slot->pointer = arg->byref;
    return slot->pointer == nullptr ? E_INVALIDARG : S_OK;
  }
  if (arg->vt == (VT_BYREF | VT_VARIANT)) {
    VARIANT* inner = arg->pvarVal;
    if (inner == nullptr) return E_INVALIDARG;
    if (inner->vt != base) {
      const bool out_only =
          (param.flags & PARAMFLAG_FOUT) != 0 && (param.flags & PARAMFLAG_FIN) == 0;
      if (out_only) {
        const HRESULT hr = VariantClear(inner);
        if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
        inner->llVal = 0;
        inner->vt = base;
      } else {
        HRESULT hr = VariantChangeType(inner, inner, 0, base);
        if (hr == DISP_E_BADVARTYPE) hr = DISP_E_TYPEMISMATCH;
        if (FAILED(hr)) return hr;
      }
    }
    slot->pointer = ValueLocation(inner);
    return S_OK;
  }
  // A reference to some other type cannot receive the output.
  if ((arg->vt & VT_BYREF) != 0) return DISP_E_TYPEMISMATCH;
  // A value where a reference is expected: the method works on a copy. An [out]
  // parameter's method may overwrite it unread, so it gets an empty one instead,
  // after the value has passed the type check.
  const HRESULT hr = ConvertInto(arg, base, slot);
  if (FAILED(hr)) return hr;
  if ((param.flags & PARAMFLAG_FOUT) != 0 && (param.flags & PARAMFLAG_FIN) == 0) {
    VariantClear(&slot->temp);
    slot->temp.llVal = 0;
    slot->temp.vt = base;
  }
  slot->pointer = ValueLocation(&slot->temp);
  return S_OK;
}

void HandOutRetval(const Slot& slot, VARTYPE base, VARIANT* result) {
  if (result == nullptr) {
    if (base == VT_BSTR) SysFreeString(slot.value.bstr);
    return;
  }
  result->vt = base;
  result->llVal = 0;
  switch (base) {
    case VT_BSTR:
      result->bstrVal = slot.value.bstr;
      break;
    case VT_BOOL:
      result->boolVal = slot.value.s;
      break;
    case VT_I2:
      result->iVal = slot.value.s;
      break;
    case VT_UI4:
      result->ulVal = slot.value.ul;
      break;
    default:
      result->lVal = slot.value.l;
      break;
  }
}

}  // namespace

HRESULT InvokeFunction(const KOVA_FUNC_DATA& func, void* instance, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                       UINT* arg_err) {
  if (instance == nullptr || params == nullptr) return E_INVALIDARG;
  if ((flags & DISPATCH_METHOD) == 0) return DISP_E_MEMBERNOTFOUND;
  if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
  if (params->cArgs > 0 && params->rgvarg == nullptr) return E_INVALIDARG;

  UINT inputs = 0;
  for (USHORT i = 0; i < func.param_count; ++i) {
    if ((func.params[i].flags & PARAMFLAG_FRETVAL) == 0) ++inputs;
  }
  if (params->cArgs > inputs) return DISP_E_BADPARAMCOUNT;
  if (params->cArgs < inputs) return DISP_E_PARAMNOTOPTIONAL;

  std::vector<Slot> slots;
  std::vector<void*> args;
  try {
    slots.resize(func.param_count);
    args.resize(func.param_count);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  auto release = [&slots] {
    for (Slot& slot : slots) VariantClear(&slot.temp);
  };

  int retval = -1;
  UINT input = 0;
  for (USHORT i = 0; i < func.param_count; ++i) {
    const KOVA_PARAM_DATA& param = func.params[i];
    Slot& slot = slots[i];
    if ((param.flags & PARAMFLAG_FRETVAL) != 0) {
      retval = i;
      slot.pointer = &slot.value;
      args[i] = &slot.pointer;
      continue;
    }
    const UINT position = params->cArgs - 1 - input++;
    VARIANT* arg = &params->rgvarg[position];
    if (arg->vt == VT_ERROR && arg->scode == DISP_E_PARAMNOTFOUND) {
      release();
      if (arg_err != nullptr) *arg_err = position;
      return DISP_E_PARAMNOTOPTIONAL;
    }
    HRESULT hr;
    if ((param.vt & VT_BYREF) != 0) {
      hr = PrepareByReference(arg, param, &slot);
      args[i] = &slot.pointer;
    } else {
      hr = ConvertInto(arg, param.vt, &slot);
      args[i] = &slot.value;
    }
    if (FAILED(hr)) {
      release();
      if (arg_err != nullptr) *arg_err = position;
      return hr;
    }
  }

  HRESULT hr;
  try {
    hr = func.caller(instance, args.data());
  } catch (...) {
    hr = E_UNEXPECTED;
  }
  release();
  if (retval >= 0) {
    const VARTYPE base = VARTYPE(func.params[retval].vt & ~VT_BYREF);
    if (SUCCEEDED(hr)) {
      HandOutRetval(slots[std::size_t(retval)], base, result);
    } else if (base == VT_BSTR) {
      SysFreeString(slots[std::size_t(retval)].value.bstr);
    }
  } else if (result != nullptr) {
    result->vt = VT_EMPTY;
  }
  if (FAILED(hr)) {
    if (excep != nullptr) {
      *excep = EXCEPINFO{};
      excep->scode = hr;
    }
    return DISP_E_EXCEPTION;
  }
  return hr;
}

}  // namespace kova::com
