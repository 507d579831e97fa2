// ITypeLib and ITypeInfo over a type library built into a module as data
// (kova_typelib.h).
#ifndef KOVA_PLATFORM_COM_TYPE_LIBRARY_H_
#define KOVA_PLATFORM_COM_TYPE_LIBRARY_H_

#include "kova_typelib.h"
#include "oaidl.h"

namespace kova::com {

// A new library object (one reference) over `data`. It owns `module` (which
// holds `data`; may be null) and frees it on its last release, or at once when
// out of memory (then null).
ITypeLib* CreateTypeLib(const KOVA_TYPELIB_DATA* data, HMODULE module);

// ITypeInfo::Invoke for one function: converts the arguments, calls the method
// on `instance` and hands out the result. Separate so that it can be tested
// without a module.
HRESULT InvokeFunction(const KOVA_FUNC_DATA& func, void* instance, WORD flags,
                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep,
                       UINT* arg_err);

}  // namespace kova::com

#endif  // KOVA_PLATFORM_COM_TYPE_LIBRARY_H_
