// The browse dialog component: "KovaBrowser.BrowseDialog", an in-process server
// whose one class shows the Kovas, their folders and files on the controlling
// terminal and hands back the chosen Kova paths.
#include <string>
#include <vector>

#include "browse_screen.h"
#include "common/bstr_convert.h"
#include "kova_browse_dialog.h"
#include "kova_catalog.h"
#include "kova_inproc_server.h"
#include "kova_typelib.h"
#include "oleauto.h"
#include "tty_terminal.h"

namespace {

constexpr KOVA_PARAM_DATA kShow[] = {
    {"result", VT_I4 | VT_BYREF, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, nullptr}};
constexpr KOVA_PARAM_DATA kPathOut[] = {
    {"path", VT_BSTR | VT_BYREF, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, nullptr}};
constexpr KOVA_PARAM_DATA kPathIn[] = {{"path", VT_BSTR, PARAMFLAG_FIN, nullptr}};
constexpr KOVA_PARAM_DATA kMode[] = {{"mode", VT_I4, PARAMFLAG_FIN, nullptr}};
constexpr KOVA_PARAM_DATA kAllowed[] = {{"allowed", VT_I4, PARAMFLAG_FIN, nullptr}};
constexpr KOVA_PARAM_DATA kCode[] = {{"code", VT_I4, PARAMFLAG_FIN, nullptr}};
constexpr KOVA_PARAM_DATA kFolder[] = {{"folder", VT_BSTR, PARAMFLAG_FIN, nullptr}};
constexpr KOVA_PARAM_DATA kTopic[] = {{"topic", VT_UI4, PARAMFLAG_FIN, nullptr}};
constexpr KOVA_PARAM_DATA kWindow[] = {{"window", VT_I4, PARAMFLAG_FIN, nullptr}};

// Dispatch identifiers follow the interface's order. GetPaths (identifier 5,
// slot 11) is served through the vtable only: the type library has no array
// type.
constexpr KOVA_FUNC_DATA kFuncs[] = {
    KovaFunc<&IKovaBrowseDialog::Show>(1, "Show", "shows the dialog", 7, kShow),
    KovaFunc<&IKovaBrowseDialog::SetMode>(2, "SetMode", "the dialog mode", 8, kMode),
    KovaFunc<&IKovaBrowseDialog::GetPath>(3, "GetPath", "the chosen path", 9, kPathOut),
    KovaFunc<&IKovaBrowseDialog::SetPath>(4, "SetPath", "the path to preselect", 10,
                                          kPathIn),
    KovaFunc<&IKovaBrowseDialog::SetEditAllowed>(
        6, "SetEditAllowed", "whether names may be typed", 12, kAllowed),
    KovaFunc<&IKovaBrowseDialog::SetFileOpsAllowed>(
        7, "SetFileOpsAllowed", "whether files may be renamed and deleted", 13, kAllowed),
    KovaFunc<&IKovaBrowseDialog::SetFileTypeCode>(
        8, "SetFileTypeCode", "the profile type of the files offered", 14, kCode),
    KovaFunc<&IKovaBrowseDialog::SetUserFileDir>(9, "SetUserFileDir",
                                                 "the user-file folder", 15, kFolder),
    KovaFunc<&IKovaBrowseDialog::SetHelpTopic>(10, "SetHelpTopic", "the help topic", 16,
                                               kTopic),
    KovaFunc<&IKovaBrowseDialog::SetParentWindow>(11, "SetParentWindow",
                                                  "the owner window", 17, kWindow),
};

constexpr KOVA_TYPE_DATA kTypes[] = {
    {TKIND_DISPATCH, "IKovaBrowseDialog", "browse dialog", IID_IKovaBrowseDialog,
     TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FOLEAUTOMATION,
     sizeof kFuncs / sizeof kFuncs[0], kFuncs, 0, nullptr, VT_EMPTY, nullptr},
    {TKIND_COCLASS, "BrowseDialog", "BrowseDialog Class", CLSID_KovaBrowseDialog,
     TYPEFLAG_FCANCREATE, 0, nullptr, 0, nullptr, VT_EMPTY, "IKovaBrowseDialog"},
};

}  // namespace

extern "C" __attribute__((visibility("default")))
const KOVA_TYPELIB_DATA kova_typelib_1 = {
    KOVA_TYPELIB_MAGIC,    LIBID_KovaBrowseDialogLib,        1, 0,     0, 0,
    "KovaBrowseDialogLib", "Browse dialog 1.0 Type Library", 2, kTypes};

namespace {

// The class, its ProgID and its type library. CLSID is kept on unregistration;
// the class key is replaced.
constexpr char kScript[] = R"(HKCR
{
	'KovaBrowser.BrowseDialog' = s 'BrowseDialog Class'
	{
		CLSID = s '{0A36DA4B-D84B-4ADE-9803-C7A7E721B8B6}'
	}
	NoRemove CLSID
	{
		ForceRemove '{0A36DA4B-D84B-4ADE-9803-C7A7E721B8B6}' = s 'BrowseDialog Class'
		{
			ProgID = s 'KovaBrowser.BrowseDialog'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			'TypeLib' = s '{15BDE3D5-7DEA-40EF-B132-0D96113BB4B1}'
		}
	}
}
)";

kova::com::KovaServerLocks g_locks;

using kova::com::KovaGuarded;

class CBrowseDialog final
    : public kova::com::KovaAutomationObject<IKovaBrowseDialog, IID_IKovaBrowseDialog> {
 public:
  explicit CBrowseDialog(kova::com::KovaServerLocks* locks)
      : KovaAutomationObject(locks) {}

  // Without a controlling terminal, or without the KovaIntr component to list
  // the Kovas, the dialog is cancelled at once.
  STDMETHODIMP Show(LONG* result) override {
    if (result == nullptr) return E_POINTER;
    return KovaGuarded([&] {
      *result = 0;
      chosen_.clear();
      kova::browse::TtyTerminal terminal;
      if (!terminal.ok()) return S_OK;
      kova::browse::KovaCatalog catalog;
      if (!catalog.Open()) {
        terminal.Write(
            "The Kovas cannot be listed: the KovaIntr component is missing.\n");
        return S_OK;
      }
      chosen_ = kova::browse::RunBrowseScreen(settings_, &catalog, &terminal);
      *result = chosen_.empty() ? 0 : 1;
      return S_OK;
    });
  }
  STDMETHODIMP SetMode(LONG mode) override {
    settings_.mode = mode;
    return S_OK;
  }
  STDMETHODIMP GetPath(BSTR* path) override {
    if (path == nullptr) return E_POINTER;
    *path = nullptr;
    return KovaGuarded([&] {
      *path = kova::BstrFromAnsi(chosen_.empty() ? std::string() : chosen_.front());
      return *path != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }
  STDMETHODIMP SetPath(BSTR path) override {
    return KovaGuarded([&] {
      settings_.preselected = kova::AnsiFromBstr(path);
      return S_OK;
    });
  }
  STDMETHODIMP GetPaths(SAFEARRAY** paths) override {
    if (paths == nullptr) return E_POINTER;
    *paths = nullptr;
    if (chosen_.empty()) return S_FALSE;
    return KovaGuarded([&] { return HandOutPaths(paths); });
  }
  STDMETHODIMP SetEditAllowed(LONG allowed) override {
    settings_.editAllowed = allowed != 0;
    return S_OK;
  }
  STDMETHODIMP SetFileOpsAllowed(LONG allowed) override {
    settings_.fileOpsAllowed = allowed != 0;
    return S_OK;
  }
  STDMETHODIMP SetFileTypeCode(LONG code) override {
    settings_.fileTypeCode = code;
    return S_OK;
  }
  STDMETHODIMP SetUserFileDir(BSTR folder) override {
    return KovaGuarded([&] {
      settings_.userFileDir = kova::AnsiFromBstr(folder);
      return S_OK;
    });
  }
  STDMETHODIMP SetHelpTopic(ULONG topic) override {
    settings_.helpTopic = topic;
    return S_OK;
  }
  // There are no windows on a terminal; the owner is not used.
  STDMETHODIMP SetParentWindow(KOVA_LONG_PTR) override { return S_OK; }

 private:
  HRESULT HandOutPaths(SAFEARRAY** paths) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_BSTR, 0, ULONG(chosen_.size()));
    if (array == nullptr) return E_OUTOFMEMORY;
    for (LONG i = 0; i < LONG(chosen_.size()); ++i) {
      const kova::ScopedBstr element(chosen_[std::size_t(i)]);
      const HRESULT hr = SafeArrayPutElement(array, &i, element.get());
      if (FAILED(hr)) {
        SafeArrayDestroy(array);
        return hr;
      }
    }
    *paths = array;
    return S_OK;
  }

  kova::browse::BrowseSettings settings_;
  std::vector<std::string> chosen_;
};

kova::com::KovaClassFactory<CBrowseDialog> g_factory(&g_locks);

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_KovaBrowseDialog) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_locks.CanUnloadNow(); }

STDAPI DllRegisterServer() {
  return KovaGuarded([] {
    return kova::com::KovaRegisterModule(&g_locks, kScript, LIBID_KovaBrowseDialogLib, 1,
                                         0);
  });
}

STDAPI DllUnregisterServer() {
  return KovaGuarded([] {
    return kova::com::KovaUnregisterModule(&g_locks, kScript, LIBID_KovaBrowseDialogLib,
                                           1, 0);
  });
}
