// A type library as data built into a module (area: com).
//
// Linux modules have no resource sections, so a module that carries a type
// library exports it as the data symbol "kova_typelib_<n>" (n = 1 for the
// module's first library), a KOVA_TYPELIB_DATA. LoadTypeLib loads the module and
// serves ITypeLib/ITypeInfo from that description.
//
// The description holds what the platform's type library holds for automation:
// the library's identity and help string, its types (dispatch interfaces, enums,
// aliases, classes) and, for each function, its dispatch id, name, help string,
// parameters (name, automation type, in/out/retval flags) and a typed caller.
// ITypeInfo::Invoke converts the VARIANT arguments into the parameter types and
// hands the caller one pointer per parameter to storage of exactly that type;
// the caller, generated at compile time from the member-function pointer by
// KovaFunc<&Interface::Method>, loads the values and makes the vtable call. The
// parameter list is checked against the C++ signature at compile time.
//
// All pointers in a description point to static data of the module.
#ifndef KOVA_PLATFORM_KOVA_TYPELIB_H_
#define KOVA_PLATFORM_KOVA_TYPELIB_H_

#include <cstddef>
#include <type_traits>
#include <utility>

#include "oaidl.h"

// One parameter. `vt` is the automation type of the value (VT_I2, VT_I4, VT_UI4,
// VT_BOOL, VT_BSTR), with VT_BYREF for a pointer parameter; `flags` are
// PARAMFLAG_* bits. `type_name` names the enum or alias the type library declares
// the parameter with (null for a plain automation type).
struct KOVA_PARAM_DATA {
  const char* name;
  VARTYPE vt;
  USHORT flags;
  const char* type_name;
};

// Calls the method on `instance` (the interface pointer) with args[i] pointing to
// a value of the i-th parameter's C++ type.
typedef HRESULT (*KOVA_DISP_CALLER)(void* instance, void* const* args);

struct KOVA_FUNC_DATA {
  MEMBERID memid;
  const char* name;
  const char* help;
  SHORT vtable_slot;  // index of the method in the interface's vtable
  USHORT param_count;
  const KOVA_PARAM_DATA* params;
  KOVA_DISP_CALLER caller;
};

// An enumerator of an enum type.
struct KOVA_ENUM_DATA {
  const char* name;
  LONG value;
};

struct KOVA_TYPE_DATA {
  TYPEKIND kind;  // TKIND_DISPATCH (dual), TKIND_ENUM, TKIND_ALIAS, TKIND_COCLASS
  const char* name;
  const char* help;
  GUID guid;   // GUID_NULL for enums and aliases
  WORD flags;  // TYPEFLAG_*
  USHORT func_count;
  const KOVA_FUNC_DATA* funcs;  // TKIND_DISPATCH
  USHORT enum_count;
  const KOVA_ENUM_DATA* enums;    // TKIND_ENUM
  VARTYPE alias_vt;               // TKIND_ALIAS
  const char* default_interface;  // TKIND_COCLASS: the name of a type in this library
};

#define KOVA_TYPELIB_MAGIC 0x4B544C31u  // "KTL1"

struct KOVA_TYPELIB_DATA {
  DWORD magic;  // KOVA_TYPELIB_MAGIC
  GUID libid;
  WORD major;
  WORD minor;
  LCID lcid;
  WORD flags;  // LIBFLAG_*
  const char* name;
  const char* help;
  USHORT type_count;
  const KOVA_TYPE_DATA* types;
};

namespace kova::typelib {

// The automation type that stands for a C++ parameter type.
template <class T>
consteval bool VtFits(VARTYPE vt) {
  if constexpr (std::is_same_v<T, BSTR>) {
    return vt == VT_BSTR;
  } else if constexpr (std::is_pointer_v<T>) {
    using Pointee = std::remove_pointer_t<T>;
    if constexpr (std::is_pointer_v<Pointee> && !std::is_same_v<Pointee, BSTR>) {
      return false;
    } else {
      return (vt & VT_BYREF) != 0 && VtFits<Pointee>(VARTYPE(vt & ~VT_BYREF));
    }
  } else if constexpr (std::is_enum_v<T>) {
    return vt == VT_I4 && sizeof(T) == sizeof(LONG);
  } else if constexpr (std::is_same_v<T, SHORT>) {
    return vt == VT_I2 || vt == VT_BOOL;  // VARIANT_BOOL is a short
  } else if constexpr (std::is_same_v<T, LONG>) {
    return vt == VT_I4;
  } else if constexpr (std::is_same_v<T, ULONG>) {
    return vt == VT_UI4;
  } else {
    return false;
  }
}

template <auto Method>
struct Caller;

template <class I, class... A, HRESULT (STDMETHODCALLTYPE I::*Method)(A...)>
struct Caller<Method> {
  static constexpr std::size_t kArity = sizeof...(A);

  static HRESULT Call(void* instance, void* const* args) {
    return Expand(static_cast<I*>(instance), args, std::index_sequence_for<A...>{});
  }

  static consteval bool Fits(const KOVA_PARAM_DATA* params) {
    return FitsAt(params, std::index_sequence_for<A...>{});
  }

 private:
  template <std::size_t... N>
  static HRESULT Expand(I* object, void* const* args, std::index_sequence<N...>) {
    return (object->*Method)(*static_cast<A*>(args[N])...);
  }
  template <std::size_t... N>
  static consteval bool FitsAt(const KOVA_PARAM_DATA* params, std::index_sequence<N...>) {
    return (VtFits<A>(params[N].vt) && ...);
  }
};

// Reached only when a description does not match its method; a compile error in
// the consteval KovaFunc.
void ParameterListDoesNotMatchMethod();

}  // namespace kova::typelib

// The description of Method, with a caller generated for it. Fails to compile when
// the parameter list does not match the method's signature.
template <auto Method, std::size_t N>
consteval KOVA_FUNC_DATA KovaFunc(MEMBERID memid, const char* name, const char* help,
                                  SHORT vtable_slot, const KOVA_PARAM_DATA (&params)[N]) {
  using C = kova::typelib::Caller<Method>;
  if (N != C::kArity || !C::Fits(params))
    kova::typelib::ParameterListDoesNotMatchMethod();
  return KOVA_FUNC_DATA{memid, name, help, vtable_slot, USHORT(N), params, &C::Call};
}

template <auto Method>
consteval KOVA_FUNC_DATA KovaFunc(MEMBERID memid, const char* name, const char* help,
                                  SHORT vtable_slot) {
  using C = kova::typelib::Caller<Method>;
  if (C::kArity != 0) kova::typelib::ParameterListDoesNotMatchMethod();
  return KOVA_FUNC_DATA{memid, name, help, vtable_slot, 0, nullptr, &C::Call};
}

#endif  // KOVA_PLATFORM_KOVA_TYPELIB_H_
