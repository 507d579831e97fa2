// The automation interface of the KovaIntr component: one creatable class,
// CKovaIntrApi, with one dual interface, IKovaIntrApi, of 22 operations.
//
// Every operation returns S_OK (0) for success or S_FALSE (1) for failure, never an
// error HRESULT, and never shows a message itself. Input strings arrive as BSTR*
// (a null BSTR is the empty text); output strings are new BSTRs owned by the
// caller (free them with SysFreeString), set to null on entry where the operation
// says so and left null on failure. A session handle is a small non-zero number
// that KovaInitialize, KovaLoadFile or KovaFindInit handed out; zero means none,
// and a non-zero handle the component does not know is refused with S_FALSE.
//
// Threading: the class is registered for the single-threaded apartment; a session
// must not be used from two threads at once.
#ifndef KOVAINTR_KOVA_INTR_API_H_
#define KOVAINTR_KOVA_INTR_API_H_

#include "oaidl.h"

// Identifiers: fixed for all versions.
// {97CA7B07-A9F0-41FE-81E4-7A6A03DCB9BA}
DEFINE_GUID(CLSID_KovaIntrApi, 0x97ca7b07, 0xa9f0, 0x41fe, 0x81, 0xe4, 0x7a, 0x6a, 0x03, 0xdc,
            0xb9, 0xba);
// {291024E8-A332-411E-A3CD-AF1D2A55B500}
DEFINE_GUID(IID_IKovaIntrApi, 0x291024e8, 0xa332, 0x411e, 0xa3, 0xcd, 0xaf, 0x1d, 0x2a, 0x55,
            0xb5, 0x00);
// {B0B2DECF-45B2-47C5-B7E6-A7AAFA0B9BF7}
DEFINE_GUID(LIBID_KovaIntrLib, 0xb0b2decf, 0x45b2, 0x47c5, 0xb7, 0xe6, 0xa7, 0xaa, 0xfa, 0x0b,
            0x9b, 0xf7);
// {AC7E453E-34F1-4CF4-9C47-865F48598B13}
DEFINE_GUID(APPID_KovaIntr, 0xac7e453e, 0x34f1, 0x4cf4, 0x9c, 0x47, 0x86, 0x5f, 0x48, 0x59,
            0x8b, 0x13);

#define KOVAINTR_PROGID "KovaIntr.KovaIntrApi.1"
#define KOVAINTR_VERSION_INDEPENDENT_PROGID "KovaIntr.KovaIntrApi"

// The two client applications whose profile files the component handles.
// Both are 32-bit integers at the interface, as the type library declares them: a
// late-bound client may pass any value, which the operation then refuses, so the
// enumerations take every int value.
typedef enum APP_TYPE : int { APP_LUMASET = 1, APP_PENDREL = 2 } APP_TYPE;
typedef enum BROWSE_TYPE : int { PROMPT_OPEN = 1, PROMPT_SAVEAS = 2 } BROWSE_TYPE;

// The type library declares LONG_PTR a 32-bit signed integer; session handles fit.
typedef LONG KOVA_LONG_PTR;

// Methods follow IDispatch's seven in this order; each one's dispatch identifier
// is its position, 1 to 22.
struct IKovaIntrApi : public IDispatch {
  STDMETHOD(KovaInitialize)(KOVA_LONG_PTR* plKovaIntr) PURE;
  STDMETHOD(KovaBrowse)(KOVA_LONG_PTR lKovaIntr, APP_TYPE appType, BROWSE_TYPE browseType,
                        VARIANT_BOOL bEdit, VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                        KOVA_LONG_PTR lpParentWnd, BSTR* bstrFilePath) PURE;
  STDMETHOD(KovaUnInitialize)(KOVA_LONG_PTR lKovaIntr) PURE;
  STDMETHOD(KovaLoadFile)(KOVA_LONG_PTR* plKovaIntr, BSTR* bstrFileToLoad) PURE;
  STDMETHOD(KovaGetProfileString)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrSectName,
                                  BSTR* bstrKeyName, BSTR* bstrDefVal, BSTR* bstrKeyVal,
                                  ULONG nSize) PURE;
  STDMETHOD(KovaGetProfileInt)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrSectName, BSTR* bstrKeyName,
                               ULONG nDefVal, ULONG* pnKeyVal) PURE;
  STDMETHOD(KovaGetKovaDisplayPath)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFileName,
                                    BSTR* bstrDspName) PURE;
  STDMETHOD(KovaSetProfileString)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrSectName,
                                  BSTR* bstrKeyName, BSTR* bstValue) PURE;
  STDMETHOD(KovaPublishLumasetDepFiles)(KOVA_LONG_PTR lKovaIntr) PURE;
  STDMETHOD(KovaBrowseMultiSel)(KOVA_LONG_PTR lKovaIntr, APP_TYPE appType, VARIANT_BOOL bEdit,
                                VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                                KOVA_LONG_PTR lpParentWnd, BSTR* bstrFileList,
                                short nSize) PURE;
  STDMETHOD(KovaRenameFile)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrOldFileName,
                            BSTR* bstrNewFileName) PURE;
  STDMETHOD(KovaDeleteFile)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFileName) PURE;
  STDMETHOD(KovaCopyFileToLocalFS)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrSrcFileName,
                                   BSTR* bstrDstFileName, VARIANT_BOOL vbFailIfExists) PURE;
  STDMETHOD(KovaFileExists)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFileName) PURE;
  STDMETHOD(KovaFlushFile)(KOVA_LONG_PTR lKovaIntr) PURE;
  STDMETHOD(KovaPathConvertKovatoFS)(BSTR* bstrKovaFilePath, BSTR* bstrFSFilePath) PURE;
  STDMETHOD(KovaFindInit)(KOVA_LONG_PTR* plKovaIntr, BSTR* bstrFilePath, BSTR* bstrFileExt,
                          APP_TYPE appType, LONG* nCount) PURE;
  STDMETHOD(KovaFindNext)(KOVA_LONG_PTR lKovaIntr, LONG lCount, BSTR* bstrFileName) PURE;
  STDMETHOD(KovaGetPathFromDisplayName)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrDspName,
                                        BSTR* bstrKovaPath) PURE;
  STDMETHOD(KovaGetDefaultKovaPath)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrKovaPath) PURE;
  STDMETHOD(KovaIsPathWriteAble)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFilePath) PURE;
  STDMETHOD(KovaSetSelItemPath)(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFilePath) PURE;

 protected:
  ~IKovaIntrApi() = default;
};

#endif  // KOVAINTR_KOVA_INTR_API_H_
