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

// VariantChangeType: VT_EMPTY, VT_I2, VT_I4, VT_UI4, VT_BOOL and VT_BSTR convert
// among each other (VT_BYREF sources are dereferenced). Numbers out of range give
// DISP_E_OVERFLOW, text that is not a number (or "True"/"False"/"#TRUE#"/
// "#FALSE#" for VT_BOOL) DISP_E_TYPEMISMATCH, other types DISP_E_BADVARTYPE.
// Booleans become -1/0 as numbers and "True"/"False" as text
// (VARIANT_ALPHABOOL; without it "-1"/"0", as the platform does).
#define VARIANT_NOVALUEPROP 0x01
#define VARIANT_ALPHABOOL 0x02
#define VARIANT_NOUSEROVERRIDE 0x04
#define VARIANT_LOCALBOOL 0x10

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
WINOLEAUTAPI HRESULT WINAPI SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
WINOLEAUTAPI HRESULT WINAPI SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
WINOLEAUTAPI HRESULT WINAPI SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv);
WINOLEAUTAPI HRESULT WINAPI SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound);
WINOLEAUTAPI HRESULT WINAPI SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound);
WINOLEAUTAPI HRESULT WINAPI SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
WINOLEAUTAPI HRESULT WINAPI SafeArrayUnaccessData(SAFEARRAY* psa);
WINOLEAUTAPI UINT WINAPI SafeArrayGetDim(SAFEARRAY* psa);
WINOLEAUTAPI UINT WINAPI SafeArrayGetElemsize(SAFEARRAY* psa);
WINOLEAUTAPI HRESULT WINAPI SafeArrayLock(SAFEARRAY* psa);
WINOLEAUTAPI HRESULT WINAPI SafeArrayUnlock(SAFEARRAY* psa);
WINOLEAUTAPI HRESULT WINAPI SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);

// Type libraries. There are no resource sections: a module carries its type
// library as data, the exported symbol "kova_typelib_<n>" (a KOVA_TYPELIB_DATA, see
// kova_typelib.h). LoadTypeLib("<module path>") loads the module and reads
// kova_typelib_1; "<module path>\<n>" reads kova_typelib_<n>. The ITypeLib keeps
// the module loaded until its last release.
WINOLEAUTAPI HRESULT WINAPI LoadTypeLib(LPCOLESTR szFile, ITypeLib** pptlib);
// HKCR\TypeLib\{libid}\<major>.<minor>\<lcid>\win64 (win32 in a 32-bit build)
// -> LoadTypeLib. TYPE_E_LIBNOTREGISTERED when no registration fits.
WINOLEAUTAPI HRESULT WINAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor,
                                           LCID lcid, ITypeLib** pptlib);
WINOLEAUTAPI HRESULT WINAPI QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin,
                                                  LCID lcid, BSTR* lpbstrPathName);
// Writes HKCR\TypeLib\{libid}\<ver> (help string, <lcid>\win64, FLAGS, HELPDIR)
// and HKCR\Interface\{iid} for each dual or OLE-automation interface. A null
// szHelpDir registers the folder of szFullPath.
WINOLEAUTAPI HRESULT WINAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath,
                                            LPCOLESTR szHelpDir);
// Removes what RegisterTypeLib wrote; TYPE_E_REGISTRYACCESS when the library is
// not registered under that version, locale and system.
WINOLEAUTAPI HRESULT WINAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor,
                                              LCID lcid, SYSKIND syskind);
KOVA_EXTERN_C_END

#endif  // KOVA_PLATFORM_OLEAUTO_H_
