// KovaIntrLib 1.0, the type library built into the library as data and exported
// as kova_typelib_1 (see kova_typelib.h). Every function's parameter list is
// checked against IKovaIntrApi's declaration at compile time.
#include <iterator>

#include "kova_typelib.h"
#include "kovaintr/kova_intr_api.h"

namespace {

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kOut = PARAMFLAG_FOUT;
constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
constexpr USHORT kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;
constexpr VARTYPE kByRef = VT_BYREF;

constexpr KOVA_PARAM_DATA Handle(const char* name) {
  return {name, VT_I4, kIn, "LONG_PTR"};
}
constexpr KOVA_PARAM_DATA InText(const char* name) {
  return {name, VT_BSTR | kByRef, kIn, nullptr};
}
constexpr KOVA_PARAM_DATA RetText(const char* name) {
  return {name, VT_BSTR | kByRef, kRetval, nullptr};
}
constexpr KOVA_PARAM_DATA Bool(const char* name) { return {name, VT_BOOL, kIn, nullptr}; }
constexpr KOVA_PARAM_DATA AppType() { return {"appType", VT_I4, kIn, "APP_TYPE"}; }

constexpr KOVA_PARAM_DATA kInitialize[] = {
    {"plKovaIntr", VT_I4 | kByRef, kRetval, "LONG_PTR"}};
constexpr KOVA_PARAM_DATA kBrowse[] = {Handle("lKovaIntr"),
                                       AppType(),
                                       {"browseType", VT_I4, kIn, "BROWSE_TYPE"},
                                       Bool("bEdit"),
                                       Bool("bPerformFileOP"),
                                       {"nHelpTopicID", VT_UI4, kIn, nullptr},
                                       Handle("lpParentWnd"),
                                       RetText("bstrFilePath")};
constexpr KOVA_PARAM_DATA kHandleOnly[] = {Handle("lKovaIntr")};
constexpr KOVA_PARAM_DATA kLoadFile[] = {
    {"plKovaIntr", VT_I4 | kByRef, kInOut, "LONG_PTR"}, InText("bstrFileToLoad")};
constexpr KOVA_PARAM_DATA kGetProfileString[] = {
    Handle("lKovaIntr"),
    InText("bstrSectName"),
    InText("bstrKeyName"),
    InText("bstrDefVal"),
    {"bstrKeyVal", VT_BSTR | kByRef, kOut, nullptr},
    {"nSize", VT_UI4, 0, nullptr}};
constexpr KOVA_PARAM_DATA kGetProfileInt[] = {
    Handle("lKovaIntr"),
    InText("bstrSectName"),
    InText("bstrKeyName"),
    {"nDefVal", VT_UI4, kIn, nullptr},
    {"pnKeyVal", VT_UI4 | kByRef, kRetval, nullptr}};
constexpr KOVA_PARAM_DATA kGetKovaDisplayPath[] = {
    Handle("lKovaIntr"), InText("bstrFileName"), RetText("bstrDspName")};
constexpr KOVA_PARAM_DATA kSetProfileString[] = {
    Handle("lKovaIntr"), InText("bstrSectName"), InText("bstrKeyName"),
    InText("bstValue")};
constexpr KOVA_PARAM_DATA kBrowseMultiSel[] = {
    Handle("lKovaIntr"),
    AppType(),
    Bool("bEdit"),
    Bool("bPerformFileOP"),
    {"nHelpTopicID", VT_UI4, kIn, nullptr},
    Handle("lpParentWnd"),
    {"bstrFileList", VT_BSTR | kByRef, kOut, nullptr},
    {"nSize", VT_I2, kIn, nullptr}};
constexpr KOVA_PARAM_DATA kRenameFile[] = {Handle("lKovaIntr"), InText("bstrOldFileName"),
                                           InText("bstrNewFileName")};
constexpr KOVA_PARAM_DATA kFileName[] = {Handle("lKovaIntr"), InText("bstrFileName")};
constexpr KOVA_PARAM_DATA kCopyFileToLocalFS[] = {
    Handle("lKovaIntr"), InText("bstrSrcFileName"), InText("bstrDstFileName"),
    Bool("vbFailIfExists")};
constexpr KOVA_PARAM_DATA kPathConvertKovatoFS[] = {InText("bstrKovaFilePath"),
                                                    RetText("bstrFSFilePath")};
constexpr KOVA_PARAM_DATA kFindInit[] = {
    {"plKovaIntr", VT_I4 | kByRef, kInOut, "LONG_PTR"},
    InText("bstrFilePath"),
    InText("bstrFileExt"),
    AppType(),
    {"nCount", VT_I4 | kByRef, kRetval, nullptr}};
constexpr KOVA_PARAM_DATA kFindNext[] = {
    Handle("lKovaIntr"), {"lCount", VT_I4, kIn, nullptr}, RetText("bstrFileName")};
constexpr KOVA_PARAM_DATA kGetPathFromDisplayName[] = {
    Handle("lKovaIntr"), InText("bstrDspName"), RetText("bstrKovaPath")};
constexpr KOVA_PARAM_DATA kGetDefaultKovaPath[] = {Handle("lKovaIntr"),
                                                   RetText("bstrKovaPath")};
constexpr KOVA_PARAM_DATA kFilePath[] = {Handle("lKovaIntr"), InText("bstrFilePath")};

// Slot of method n (dispatch id n): after IUnknown's three and IDispatch's four.
constexpr SHORT Slot(MEMBERID id) { return SHORT(6 + id); }

#define KOVA_FUNC(id, method, params) \
  KovaFunc<&IKovaIntrApi::method>(id, #method, "method " #method, Slot(id), params)

constexpr KOVA_FUNC_DATA kFuncs[] = {
    KOVA_FUNC(1, KovaInitialize, kInitialize),
    KOVA_FUNC(2, KovaBrowse, kBrowse),
    KOVA_FUNC(3, KovaUnInitialize, kHandleOnly),
    KOVA_FUNC(4, KovaLoadFile, kLoadFile),
    KOVA_FUNC(5, KovaGetProfileString, kGetProfileString),
    KOVA_FUNC(6, KovaGetProfileInt, kGetProfileInt),
    KOVA_FUNC(7, KovaGetKovaDisplayPath, kGetKovaDisplayPath),
    KOVA_FUNC(8, KovaSetProfileString, kSetProfileString),
    KOVA_FUNC(9, KovaPublishLumasetDepFiles, kHandleOnly),
    KOVA_FUNC(10, KovaBrowseMultiSel, kBrowseMultiSel),
    KOVA_FUNC(11, KovaRenameFile, kRenameFile),
    KOVA_FUNC(12, KovaDeleteFile, kFileName),
    KOVA_FUNC(13, KovaCopyFileToLocalFS, kCopyFileToLocalFS),
    KOVA_FUNC(14, KovaFileExists, kFileName),
    KOVA_FUNC(15, KovaFlushFile, kHandleOnly),
    KOVA_FUNC(16, KovaPathConvertKovatoFS, kPathConvertKovatoFS),
    KOVA_FUNC(17, KovaFindInit, kFindInit),
    KOVA_FUNC(18, KovaFindNext, kFindNext),
    KOVA_FUNC(19, KovaGetPathFromDisplayName, kGetPathFromDisplayName),
    KOVA_FUNC(20, KovaGetDefaultKovaPath, kGetDefaultKovaPath),
    KOVA_FUNC(21, KovaIsPathWriteAble, kFilePath),
    KOVA_FUNC(22, KovaSetSelItemPath, kFilePath),
};
#undef KOVA_FUNC

constexpr KOVA_ENUM_DATA kAppType[] = {{"APP_LUMASET", APP_LUMASET},
                                       {"APP_PENDREL", APP_PENDREL}};
constexpr KOVA_ENUM_DATA kBrowseType[] = {{"PROMPT_OPEN", PROMPT_OPEN},
                                          {"PROMPT_SAVEAS", PROMPT_SAVEAS}};

constexpr KOVA_TYPE_DATA kTypes[] = {
    {TKIND_DISPATCH, "IKovaIntrApi", "IKovaIntrApi Interface", IID_IKovaIntrApi,
     TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FOLEAUTOMATION |
         TYPEFLAG_FDISPATCHABLE,
     USHORT(std::size(kFuncs)), kFuncs, 0, nullptr, VT_EMPTY, nullptr},
    {TKIND_ENUM, "APP_TYPE", nullptr, GUID_NULL, 0, 0, nullptr,
     USHORT(std::size(kAppType)), kAppType, VT_EMPTY, nullptr},
    {TKIND_ENUM, "BROWSE_TYPE", nullptr, GUID_NULL, 0, 0, nullptr,
     USHORT(std::size(kBrowseType)), kBrowseType, VT_EMPTY, nullptr},
    {TKIND_ALIAS, "LONG_PTR", nullptr, GUID_NULL, 0, 0, nullptr, 0, nullptr, VT_I4,
     nullptr},
    {TKIND_COCLASS, "KovaIntrApi", "KovaIntrApi Class", CLSID_KovaIntrApi,
     TYPEFLAG_FCANCREATE, 0, nullptr, 0, nullptr, VT_EMPTY, "IKovaIntrApi"},
};

}  // namespace

extern "C" __attribute__((visibility("default")))
const KOVA_TYPELIB_DATA kova_typelib_1 = {
    KOVA_TYPELIB_MAGIC,          LIBID_KovaIntrLib,         1,     0, 0, 0, "KovaIntrLib",
    "KovaIntr 1.0 Type Library", USHORT(std::size(kTypes)), kTypes};
