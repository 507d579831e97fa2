// A process for the component's tests: leaves its controlling terminal (a new
// session), optionally takes the terminal named by TTY as its new one, creates
// the prompt by its ProgID and shows it.
//   credentials_prompt_probe HOST USER [TTY]
// prints "hr=<hex>", "result=<n>", "user=<user name>" and "password=<password>".
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "common/bstr_convert.h"
#include "ldap/credentials_prompt.h"
#include "objbase.h"

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return 2;
  setsid();
  // Opening a terminal without O_NOCTTY makes it the new session's own.
  const int tty = argc == 4 ? open(argv[3], O_RDWR) : -1;
  if (argc == 4 && tty < 0) return 4;
  if (CoInitialize(nullptr) < 0) return 3;
  CLSID clsid;
  HRESULT hr = CLSIDFromProgID(kCredentialsPromptProgID, &clsid);
  IUserPasswordPromptDialog* prompt = nullptr;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER,
                          IID_IUserPasswordPromptDialog,
                          reinterpret_cast<void**>(&prompt));
  }
  LONG result = -1;
  std::string user;
  std::string password;
  if (SUCCEEDED(hr)) {
    const kova::ScopedBstr host(argv[1]);
    const kova::ScopedBstr preset(argv[2]);
    prompt->SetHostName(host.get());
    prompt->SetUserName(preset.get());
    hr = prompt->ShowDialog(0, &result);
    kova::ScopedBstr confirmedUser;
    kova::ScopedBstr confirmedPassword;
    prompt->GetUserName(confirmedUser.receive());
    prompt->GetPassword(confirmedPassword.receive());
    user = confirmedUser.Text();
    password = confirmedPassword.Text();
    prompt->Release();
  }
  std::printf("hr=%08X\nresult=%d\nuser=%s\npassword=%s\n", unsigned(hr), int(result),
              user.c_str(), password.c_str());
  CoUninitialize();
  if (tty >= 0) close(tty);
  return 0;
}
