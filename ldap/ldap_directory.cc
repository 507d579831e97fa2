// Construction, the connect-and-bind sequence with its credentials step, and
// error reporting of the LDAP back end.
#include "ldap/ldap_directory.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "common/bstr_convert.h"
#include "files/error_message.h"
#include "ldap/credentials_prompt.h"
#include "objbase.h"
#include "oleauto.h"

namespace kova {

namespace {

// Result code recorded when the client library cannot be bound; the message
// then describes the failed load (LDAPApi::MapErrorToSystem).
constexpr ULONG kLDAPLibraryUnavailable = LDAP_LOCAL_ERROR;

// The prompt is created with every class context the platform knows.
constexpr DWORD kPromptClassContext = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER |
                                      CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;

// The prompt component, released on every path out.
struct PromptRelease {
  void operator()(IUserPasswordPromptDialog* prompt) const { prompt->Release(); }
};
using PromptPtr = std::unique_ptr<IUserPasswordPromptDialog, PromptRelease>;

// Results of a bind that reached no server. No credentials were judged, so they
// are no reason to ask the user, now or at the next bind of any process: the
// server may be back by then, and the stored credentials good.
bool IsUnreachable(ULONG code) {
  return code == LDAP_SERVER_DOWN || code == LDAP_TIMEOUT || code == LDAP_CONNECT_ERROR;
}

}  // namespace

CLDAPDirectory::CLDAPDirectory(LDAPSettings* settings, const std::string& kovaName)
    : settings_(settings), sharedInfo_(kovaName) {
  api_.Load();
  if (settings_ == nullptr) {
    ownSettings_ = std::make_unique<LDAPSettings>();
    settings_ = ownSettings_.get();
  }
}

CLDAPDirectory::~CLDAPDirectory() {
  // Operations close their sessions; one left open must not outlive the library.
  if (session_ != nullptr && api_.IsLoaded()) api_.ldap_unbind_s(session_);
  session_ = nullptr;
}

// --- Errors ---

DWORD CLDAPDirectory::GetCurrentError() {
  const ULONG shared = sharedInfo_.GetLastLDAPError();
  return api_.MapErrorToSystem(shared != 0 ? shared : currentError_);
}

std::string CLDAPDirectory::GetErrorText() {
  std::string text;
  ComposeErrorMessage(GetCurrentError(), nullptr, kMessageCaption, &text);
  if (text.empty()) return text;
  return "LDAP: " + text;
}

void CLDAPDirectory::ReportError(ULONG code, BOOL show, std::string* errorText) {
  if (show) sharedInfo_.SetLastLDAPError(code);
  currentError_ = code;
  if (code == 0) return;
  const std::string message = GetErrorText();
  if (message.empty()) return;
  if (errorText != nullptr) *errorText = message;
  if (show) MessageBoxA(nullptr, message.c_str(), kMessageCaption, MB_OK | MB_ICONERROR);
}

// --- Credentials ---

void CLDAPDirectory::SetUserName(const std::string& userName) {
  settings_->userName = userName;
  sharedInfo_.SetUserName(userName);
}

void CLDAPDirectory::SetPassword(const std::string& password) {
  settings_->password = password;
  sharedInfo_.SetPassword(password);
}

BOOL CLDAPDirectory::EnsureCredentials(bool mustPrompt) {
  if (settings_->authentication != kLDAPAuthSimple) return TRUE;
  std::string userName = settings_->userName;
  std::string password = settings_->password;
  if (userName.empty()) userName = sharedInfo_.GetUserName();
  if (password.empty()) password = sharedInfo_.GetPassword();
  if (userName.empty() || password.empty()) {
    return PromptForCredentials(userName, password);
  }
  if (settings_->userName != userName) settings_->userName = userName;
  if (settings_->password != password) settings_->password = password;
  // A non-zero shared error means the last bind of some process failed.
  const ULONG lastError = sharedInfo_.GetLastLDAPError();
  if (!mustPrompt && (lastError == 0 || IsUnreachable(lastError))) return TRUE;
  return PromptForCredentials(userName, password);
}

BOOL CLDAPDirectory::PromptForCredentials(const std::string& userName,
                                          const std::string& password) {
  CLSID clsid;
  if (FAILED(CLSIDFromProgID(kCredentialsPromptProgID, &clsid))) return FALSE;
  void* created = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, kPromptClassContext,
                              IID_IUserPasswordPromptDialog, &created)) ||
      created == nullptr) {
    return FALSE;
  }
  PromptPtr prompt(static_cast<IUserPasswordPromptDialog*>(created));
  const ScopedBstr host(settings_->host);
  const ScopedBstr presetUser(userName);
  const ScopedBstr presetPassword(password);
  (void)prompt->SetHostName(host.get());
  (void)prompt->SetUserName(presetUser.get());
  (void)prompt->SetPassword(presetPassword.get());
  LONG result = 0;
  if (SUCCEEDED(prompt->ShowDialog(0, &result)) && result == 1) {
    ScopedBstr confirmedUser;
    ScopedBstr confirmedPassword;
    if (FAILED(prompt->GetUserName(confirmedUser.receive()))) confirmedUser.receive();
    if (FAILED(prompt->GetPassword(confirmedPassword.receive()))) {
      confirmedPassword.receive();
    }
    SetUserName(confirmedUser.Text());
    SetPassword(confirmedPassword.Text());
    return TRUE;
  }
  settings_->password.clear();
  sharedInfo_.SetCancelled(TRUE);
  return FALSE;
}

// --- Connection ---

BOOL CLDAPDirectory::Connect(std::string* errorText) {
  // A refused simple bind asks the user again, as often as the prompt confirms;
  // iterating keeps that independent of how long the user persists.
  bool retry = false;
  for (;;) {
    if (sharedInfo_.IsCancelled()) {
      currentError_ = kLDAPUserCancelled;
      if (errorText != nullptr) {
        const std::string message = GetErrorText();
        if (!message.empty()) *errorText = message;
      }
      return FALSE;
    }
    if (!EnsureCredentials(retry)) {
      ReportError(kLDAPUserCancelled, TRUE, errorText);
      return FALSE;
    }
    const BindOutcome outcome = Bind(errorText);
    if (outcome != BindOutcome::kRetry) return outcome == BindOutcome::kBound;
    retry = true;
  }
}

CLDAPDirectory::BindOutcome CLDAPDirectory::Bind(std::string* errorText) {
  if (connected_) return BindOutcome::kBound;
  if (!usable_) {
    ReportError(kLDAPServerDown, TRUE, errorText);
    return BindOutcome::kFailed;
  }
  if (!api_.IsLoaded()) {
    ReportError(kLDAPLibraryUnavailable, TRUE, errorText);
    return BindOutcome::kFailed;
  }
  const DWORD kind = settings_->authentication;
  const ULONG method = kind == kLDAPAuthAnonymous   ? 0
                       : kind == kLDAPAuthNegotiate ? ULONG(LDAP_AUTH_NEGOTIATE)
                                                    : ULONG(LDAP_AUTH_SIMPLE);

  std::string host = settings_->host;
  session_ = api_.ldap_initA(host.data(), settings_->port);
  if (session_ == nullptr) {
    ReportError(api_.LdapGetLastError(), TRUE, errorText);
    Reset();
    return BindOutcome::kFailed;
  }
  const ULONG version = settings_->version;
  ULONG result = api_.ldap_set_option(session_, LDAP_OPT_PROTOCOL_VERSION, &version);
  if (result != LDAP_SUCCESS) {
    ReportError(result, TRUE, errorText);
    Reset();
    return BindOutcome::kFailed;
  }
  if (settings_->connectTimeout != kLDAPDefaultConnectTimeout) {
    l_timeval timeout = {
        LONG(std::min<DWORD>(settings_->connectTimeout, DWORD(INT32_MAX))), 0};
    result = api_.ldap_connect(session_, &timeout);
    if (result != LDAP_SUCCESS) {
      ReportError(result, TRUE, errorText);
      Reset();
      return BindOutcome::kFailed;
    }
  }

  if (method == 0) {
    result = api_.ldap_simple_bind_sA(session_, nullptr, nullptr);
  } else if (method == LDAP_AUTH_NEGOTIATE) {
    result = api_.ldap_bind_sA(session_, nullptr, nullptr, method);
  } else {
    std::string dn = settings_->userName;
    std::string password = settings_->password;
    result = api_.ldap_bind_sA(session_, dn.data(), password.data(), method);
  }
  // Credentials cannot help an anonymous or a logon bind: no process asks again.
  if (result != LDAP_SUCCESS && method != LDAP_AUTH_SIMPLE)
    sharedInfo_.SetCancelled(TRUE);
  if (result == LDAP_SUCCESS) {
    sharedInfo_.SetLastLDAPError(0);
    connected_ = TRUE;
    return BindOutcome::kBound;
  }

  ReportError(result, TRUE, errorText);
  if (sharedInfo_.IsCancelled()) {
    Reset();
    return BindOutcome::kFailed;
  }
  api_.ldap_unbind_s(session_);
  session_ = nullptr;
  // Only the simple kind prompts; asking again with any other kind would repeat
  // the same refused bind without end.
  if (kind != kLDAPAuthSimple || IsUnreachable(result)) return BindOutcome::kFailed;
  return BindOutcome::kRetry;
}

void CLDAPDirectory::Reset() {
  if (session_ != nullptr) api_.ldap_unbind_s(session_);
  session_ = nullptr;
  usable_ = FALSE;
}

BOOL CLDAPDirectory::Disconnect() {
  if (!connected_) return TRUE;
  const ULONG result = api_.ldap_unbind_s(session_);
  session_ = nullptr;
  connected_ = FALSE;
  return result == LDAP_SUCCESS ? TRUE : FALSE;
}

}  // namespace kova
