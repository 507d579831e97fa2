// CKovaIntrApi: the 22 operations of IKovaIntrApi over the sessions of the
// process.
//
// The class holds no state: everything lives in sessions (kova_session.h), so any
// instance serves any session handle of the process. Operations return S_OK or
// S_FALSE only, never throw and never show a message; out strings marked so are
// set to null on entry and stay null on failure. A zero handle means "no session"
// (each operation's rule decides what that does); a non-zero handle that the
// process does not know is refused with S_FALSE and nothing changes.
//
// IUnknown and IDispatch stay pure: the COM object class derives from this one
// and supplies reference counting, QueryInterface and the dispatch over the type
// library. On Windows each operation also switches the server module's resource
// and activation context in and out; the Linux build has no such context, so the
// operations run as they are.
#ifndef KOVA_API_KOVA_API_H_
#define KOVA_API_KOVA_API_H_

#include "kova_intr_api.h"

class CKovaIntrApi : public IKovaIntrApi {
 public:
  STDMETHODIMP KovaInitialize(KOVA_LONG_PTR* plKovaIntr) override;
  STDMETHODIMP KovaBrowse(KOVA_LONG_PTR lKovaIntr, APP_TYPE appType,
                          BROWSE_TYPE browseType, VARIANT_BOOL bEdit,
                          VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                          KOVA_LONG_PTR lpParentWnd, BSTR* bstrFilePath) override;
  STDMETHODIMP KovaUnInitialize(KOVA_LONG_PTR lKovaIntr) override;
  STDMETHODIMP KovaLoadFile(KOVA_LONG_PTR* plKovaIntr, BSTR* bstrFileToLoad) override;
  STDMETHODIMP KovaGetProfileString(KOVA_LONG_PTR lKovaIntr, BSTR* bstrSectName,
                                    BSTR* bstrKeyName, BSTR* bstrDefVal, BSTR* bstrKeyVal,
                                    ULONG nSize) override;
  STDMETHODIMP KovaGetProfileInt(KOVA_LONG_PTR lKovaIntr, BSTR* bstrSectName,
                                 BSTR* bstrKeyName, ULONG nDefVal,
                                 ULONG* pnKeyVal) override;
  STDMETHODIMP KovaGetKovaDisplayPath(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFileName,
                                      BSTR* bstrDspName) override;
  STDMETHODIMP KovaSetProfileString(KOVA_LONG_PTR lKovaIntr, BSTR* bstrSectName,
                                    BSTR* bstrKeyName, BSTR* bstValue) override;
  STDMETHODIMP KovaPublishLumasetDepFiles(KOVA_LONG_PTR lKovaIntr) override;
  STDMETHODIMP KovaBrowseMultiSel(KOVA_LONG_PTR lKovaIntr, APP_TYPE appType,
                                  VARIANT_BOOL bEdit, VARIANT_BOOL bPerformFileOP,
                                  ULONG nHelpTopicID, KOVA_LONG_PTR lpParentWnd,
                                  BSTR* bstrFileList, short nSize) override;
  STDMETHODIMP KovaRenameFile(KOVA_LONG_PTR lKovaIntr, BSTR* bstrOldFileName,
                              BSTR* bstrNewFileName) override;
  STDMETHODIMP KovaDeleteFile(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFileName) override;
  STDMETHODIMP KovaCopyFileToLocalFS(KOVA_LONG_PTR lKovaIntr, BSTR* bstrSrcFileName,
                                     BSTR* bstrDstFileName,
                                     VARIANT_BOOL vbFailIfExists) override;
  STDMETHODIMP KovaFileExists(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFileName) override;
  STDMETHODIMP KovaFlushFile(KOVA_LONG_PTR lKovaIntr) override;
  STDMETHODIMP KovaPathConvertKovatoFS(BSTR* bstrKovaFilePath,
                                       BSTR* bstrFSFilePath) override;
  STDMETHODIMP KovaFindInit(KOVA_LONG_PTR* plKovaIntr, BSTR* bstrFilePath,
                            BSTR* bstrFileExt, APP_TYPE appType, LONG* nCount) override;
  STDMETHODIMP KovaFindNext(KOVA_LONG_PTR lKovaIntr, LONG lCount,
                            BSTR* bstrFileName) override;
  STDMETHODIMP KovaGetPathFromDisplayName(KOVA_LONG_PTR lKovaIntr, BSTR* bstrDspName,
                                          BSTR* bstrKovaPath) override;
  STDMETHODIMP KovaGetDefaultKovaPath(KOVA_LONG_PTR lKovaIntr,
                                      BSTR* bstrKovaPath) override;
  STDMETHODIMP KovaIsPathWriteAble(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFilePath) override;
  STDMETHODIMP KovaSetSelItemPath(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFilePath) override;

 protected:
  CKovaIntrApi() = default;
  ~CKovaIntrApi() = default;
};

#endif  // KOVA_API_KOVA_API_H_
