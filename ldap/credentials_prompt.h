// The interface of the credentials prompt component, "KovaBrowser.UserPassword
// PromptDialog": the storage sets the host and the values it has, shows the
// dialog and reads back what the user confirmed. An automation (dual) object;
// its own operations follow the seven of IDispatch in this order.
#ifndef KOVA_LDAP_CREDENTIALS_PROMPT_H_
#define KOVA_LDAP_CREDENTIALS_PROMPT_H_

#include "oaidl.h"

// ProgID of the class the storage creates.
inline constexpr char16_t kCredentialsPromptProgID[] =
    u"KovaBrowser.UserPasswordPromptDialog";

// {2517AF13-7E25-43E7-88A8-3AE75862821A}
DEFINE_GUID(IID_IUserPasswordPromptDialog, 0x2517af13, 0x7e25, 0x43e7, 0x88, 0xa8, 0x3a,
            0xe7, 0x58, 0x62, 0x82, 0x1a);
// The component shipped with the system (components/credentials_prompt).
// {C23D827A-71F1-4CAD-9F63-A4B9A9FCA623}
DEFINE_GUID(CLSID_UserPasswordPromptDialog, 0xc23d827a, 0x71f1, 0x4cad, 0x9f, 0x63, 0xa4,
            0xb9, 0xa9, 0xfc, 0xa6, 0x23);
// Its type library.
// {1645D278-D24D-4B79-B5A1-D98F6F13992D}
DEFINE_GUID(LIBID_UserPasswordPromptLib, 0x1645d278, 0xd24d, 0x4b79, 0xb5, 0xa1, 0xd9,
            0x8f, 0x6f, 0x13, 0x99, 0x2d);

struct IUserPasswordPromptDialog : public IDispatch {
  // Shows the dialog and waits for the user. `parentWindow` is 0 (no owner).
  // *result is 1 when the user confirmed, 0 when the prompt was cancelled or
  // could not be shown.
  STDMETHOD(ShowDialog)(LONG parentWindow, LONG* result) PURE;
  // The user name: preset before ShowDialog, confirmed after. *userName is a new
  // BSTR owned by the caller.
  STDMETHOD(GetUserName)(BSTR* userName) PURE;
  STDMETHOD(SetUserName)(BSTR userName) PURE;
  STDMETHOD(GetPassword)(BSTR* password) PURE;
  STDMETHOD(SetPassword)(BSTR password) PURE;
  // The host the credentials are for, shown to the user.
  STDMETHOD(SetHostName)(BSTR hostName) PURE;

 protected:
  ~IUserPasswordPromptDialog() = default;
};

#endif  // KOVA_LDAP_CREDENTIALS_PROMPT_H_
