// The credentials prompt component: "KovaBrowser.UserPasswordPromptDialog", an
// in-process server whose one class asks on the controlling terminal.
#include <string>

#include "common/bstr_convert.h"
#include "kova_inproc_server.h"
#include "kova_typelib.h"
#include "ldap/credentials_prompt.h"
#include "oleauto.h"
#include "terminal_prompt.h"

namespace {

constexpr KOVA_PARAM_DATA kShowDialog[] = {
    {"parentWindow", VT_I4, PARAMFLAG_FIN, nullptr},
    {"result", VT_I4 | VT_BYREF, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, nullptr}};
constexpr KOVA_PARAM_DATA kGetUserName[] = {
    {"userName", VT_BSTR | VT_BYREF, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, nullptr}};
constexpr KOVA_PARAM_DATA kSetUserName[] = {
    {"userName", VT_BSTR, PARAMFLAG_FIN, nullptr}};
constexpr KOVA_PARAM_DATA kGetPassword[] = {
    {"password", VT_BSTR | VT_BYREF, PARAMFLAG_FOUT | PARAMFLAG_FRETVAL, nullptr}};
constexpr KOVA_PARAM_DATA kSetPassword[] = {
    {"password", VT_BSTR, PARAMFLAG_FIN, nullptr}};
constexpr KOVA_PARAM_DATA kSetHostName[] = {
    {"hostName", VT_BSTR, PARAMFLAG_FIN, nullptr}};

// The six operations follow the seven slots of IUnknown and IDispatch.
constexpr KOVA_FUNC_DATA kFuncs[] = {
    KovaFunc<&IUserPasswordPromptDialog::ShowDialog>(
        1, "ShowDialog", "asks for the credentials", 7, kShowDialog),
    KovaFunc<&IUserPasswordPromptDialog::GetUserName>(2, "GetUserName", "the user name",
                                                      8, kGetUserName),
    KovaFunc<&IUserPasswordPromptDialog::SetUserName>(
        3, "SetUserName", "presets the user name", 9, kSetUserName),
    KovaFunc<&IUserPasswordPromptDialog::GetPassword>(4, "GetPassword", "the password",
                                                      10, kGetPassword),
    KovaFunc<&IUserPasswordPromptDialog::SetPassword>(
        5, "SetPassword", "presets the password", 11, kSetPassword),
    KovaFunc<&IUserPasswordPromptDialog::SetHostName>(
        6, "SetHostName", "the host the credentials are for", 12, kSetHostName),
};

constexpr KOVA_TYPE_DATA kTypes[] = {
    {TKIND_DISPATCH, "IUserPasswordPromptDialog", "credentials prompt",
     IID_IUserPasswordPromptDialog,
     TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE | TYPEFLAG_FOLEAUTOMATION, 6, kFuncs, 0,
     nullptr, VT_EMPTY, nullptr},
    {TKIND_COCLASS, "UserPasswordPromptDialog", "UserPasswordPromptDialog Class",
     CLSID_UserPasswordPromptDialog, TYPEFLAG_FCANCREATE, 0, nullptr, 0, nullptr,
     VT_EMPTY, "IUserPasswordPromptDialog"},
};

}  // namespace

extern "C" __attribute__((visibility("default")))
const KOVA_TYPELIB_DATA kova_typelib_1 = {
    KOVA_TYPELIB_MAGIC,      LIBID_UserPasswordPromptLib,           1, 0,     0, 0,
    "UserPasswordPromptLib", "Credentials prompt 1.0 Type Library", 2, kTypes};

namespace {

// The class, its ProgID and its type library. CLSID is kept on unregistration;
// the class key is replaced.
constexpr char kScript[] = R"(HKCR
{
	'KovaBrowser.UserPasswordPromptDialog' = s 'UserPasswordPromptDialog Class'
	{
		CLSID = s '{C23D827A-71F1-4CAD-9F63-A4B9A9FCA623}'
	}
	NoRemove CLSID
	{
		ForceRemove '{C23D827A-71F1-4CAD-9F63-A4B9A9FCA623}' = s 'UserPasswordPromptDialog Class'
		{
			ProgID = s 'KovaBrowser.UserPasswordPromptDialog'
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			'TypeLib' = s '{1645D278-D24D-4B79-B5A1-D98F6F13992D}'
		}
	}
}
)";

kova::com::KovaServerLocks g_locks;

using kova::com::KovaGuarded;

class CUserPasswordPromptDialog final
    : public kova::com::KovaAutomationObject<IUserPasswordPromptDialog,
                                             IID_IUserPasswordPromptDialog> {
 public:
  explicit CUserPasswordPromptDialog(kova::com::KovaServerLocks* locks)
      : KovaAutomationObject(locks) {}

  STDMETHODIMP ShowDialog(LONG, LONG* result) override {
    if (result == nullptr) return E_POINTER;
    return KovaGuarded([&] {
      *result = kova::prompt::AskOnTerminal(host_, &userName_, &password_) ? 1 : 0;
      return S_OK;
    });
  }
  STDMETHODIMP GetUserName(BSTR* userName) override { return Hand(userName_, userName); }
  STDMETHODIMP SetUserName(BSTR userName) override { return Take(userName, &userName_); }
  STDMETHODIMP GetPassword(BSTR* password) override { return Hand(password_, password); }
  STDMETHODIMP SetPassword(BSTR password) override { return Take(password, &password_); }
  STDMETHODIMP SetHostName(BSTR hostName) override { return Take(hostName, &host_); }

 private:
  static HRESULT Hand(const std::string& value, BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return KovaGuarded([&] {
      *out = kova::BstrFromAnsi(value);
      return *out != nullptr ? S_OK : E_OUTOFMEMORY;
    });
  }
  static HRESULT Take(BSTR value, std::string* into) {
    return KovaGuarded([&] {
      *into = kova::AnsiFromBstr(value);
      return S_OK;
    });
  }

  std::string host_;
  std::string userName_;
  std::string password_;
};

kova::com::KovaClassFactory<CUserPasswordPromptDialog> g_factory(&g_locks);

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (clsid != CLSID_UserPasswordPromptDialog) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_locks.CanUnloadNow(); }

STDAPI DllRegisterServer() {
  return KovaGuarded([] {
    return kova::com::KovaRegisterModule(&g_locks, kScript, LIBID_UserPasswordPromptLib,
                                         1, 0);
  });
}

STDAPI DllUnregisterServer() {
  return KovaGuarded([] {
    return kova::com::KovaUnregisterModule(&g_locks, kScript, LIBID_UserPasswordPromptLib,
                                           1, 0);
  });
}
