// Pieces of the COM run time that its files share.
#ifndef KOVA_PLATFORM_COM_COM_INTERNAL_H_
#define KOVA_PLATFORM_COM_COM_INTERNAL_H_

#include "unknwn.h"

namespace kova::com {

// An exported function as its real type (through void(*)(), the generic function
// type the compiler accepts casts from).
template <class F, class P>
F ProcAs(P proc) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

// The class object of a class the run time serves itself (the global interface
// table), or CLASS_E_CLASSNOTAVAILABLE.
HRESULT GetBuiltInClassObject(REFCLSID clsid, REFIID riid, void** ppv);

}  // namespace kova::com

#endif  // KOVA_PLATFORM_COM_COM_INTERNAL_H_
