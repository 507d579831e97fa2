// Automation functions: BSTR, VARIANT, SAFEARRAY, type libraries (area: com).
#ifndef KOVA_PLATFORM_OLEAUTO_H_
#define KOVA_PLATFORM_OLEAUTO_H_

#include "oaidl.h"
#include "winapi_decl.h"

KOVA_EXTERN_C_BEGIN
// A null psz gives a null BSTR, as on the platform; SysStringLen of a null BSTR
// is 0.
WINOLEAUTAPI BSTR WINAPI SysAllocString(const OLECHAR* psz);
WINOLEAUTAPI BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui);
WINOLEAUTAPI BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len);
WINOLEAUTAPI void WINAPI SysFreeString(BSTR bstrString);
WINOLEAUTAPI UINT WINAPI SysStringLen(BSTR pbstr);
WINOLEAUTAPI UINT WINAPI SysStringByteLen(BSTR bstr);

WINOLEAUTAPI void WINAPI VariantInit(VARIANTARG* pvarg);
WINOLEAUTAPI HRESULT WINAPI VariantClear(VARIANTARG* pvarg);
WINOLEAUTAPI HRESULT WINAPI VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc);
WINOLEAUTAPI HRESULT WINAPI VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc,
                                              USHORT wFlags, VARTYPE vt);

WINOLEAUTAPI SAFEARRAY* WINAPI SafeArrayCreate(VARTYPE vt, UINT cDims,
                                               SAFEARRAYBOUND* rgsabound);
WINOLEAUTAPI SAFEARRAY* WINAPI SafeArrayCreateVector(VARTYPE vt, LONG lLbound,
                                                     ULONG cElements);
WINOLEAUTAPI HRESULT WINAPI SafeArrayDestroy(SAFEARRAY* psa);
WINOLEAUTAPI HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
WINOLEAUTAPI HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
WINOLEAUTAPI HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
WINOLEAUTAPI HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
WINOLEAUTAPI HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
WINOLEAUTAPI HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa);
WINOLEAUTAPI UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_OLEAUTO_H_
