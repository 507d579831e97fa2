// The credentials prompt component: its registration, its interface through the
// vtable and through IDispatch, and the terminal dialog, with and without a
// controlling terminal.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "common/bstr_convert.h"
#include "ldap/credentials_prompt.h"
#include "libloaderapi.h"
#include "objbase.h"
#include "oleauto.h"
#include "tests/test_util.h"

namespace {

using kova::test::LibDir;
using kova::test::RunProgram;

class CredentialsPromptTest : public kova::test::IsolatedTest {
 protected:
  void SetUp() override {
    ASSERT_GE(CoInitialize(nullptr), 0);
    module_ = LoadLibraryA((LibDir() + "/libKovaCredentialsPrompt.so").c_str());
    ASSERT_NE(module_, nullptr);
    ASSERT_EQ(Call("DllRegisterServer"), S_OK);
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
    CoUninitialize();
  }

  HRESULT Call(const char* entry) {
    FARPROC proc = GetProcAddress(module_, entry);
    if (proc == nullptr) return E_FAIL;
    return reinterpret_cast<HRESULT (*)()>(reinterpret_cast<void (*)()>(proc))();
  }

  HMODULE module_ = nullptr;
};

TEST_F(CredentialsPromptTest, RegistersItsProgIDAndUnregistersIt) {
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(kCredentialsPromptProgID, &clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_UserPasswordPromptDialog);
  ASSERT_EQ(Call("DllUnregisterServer"), S_OK);
  EXPECT_TRUE(FAILED(CLSIDFromProgID(kCredentialsPromptProgID, &clsid)));
}

TEST_F(CredentialsPromptTest, ServesItsValuesThroughTheVtableAndIDispatch) {
  IUserPasswordPromptDialog* prompt = nullptr;
  ASSERT_EQ(
      CoCreateInstance(CLSID_UserPasswordPromptDialog, nullptr, CLSCTX_INPROC_SERVER,
                       IID_IUserPasswordPromptDialog, reinterpret_cast<void**>(&prompt)),
      S_OK);
  const kova::ScopedBstr preset("cn=preset");
  EXPECT_EQ(prompt->SetPassword(preset.get()), S_OK);
  kova::ScopedBstr password;
  EXPECT_EQ(prompt->GetPassword(password.receive()), S_OK);
  EXPECT_EQ(password.Text(), "cn=preset");

  // Late bound: SetUserName by name, read back through the vtable.
  OLECHAR name[] = u"SetUserName";
  LPOLESTR names[] = {name};
  DISPID id = 0;
  ASSERT_EQ(prompt->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
  EXPECT_EQ(id, 3);
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_BSTR;
  argument.bstrVal = kova::BstrFromAnsi("late");
  DISPPARAMS params = {&argument, nullptr, 1, 0};
  EXPECT_EQ(prompt->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr,
                           nullptr),
            S_OK);
  VariantClear(&argument);
  kova::ScopedBstr user;
  EXPECT_EQ(prompt->GetUserName(user.receive()), S_OK);
  EXPECT_EQ(user.Text(), "late");
  prompt->Release();
}

TEST_F(CredentialsPromptTest, WithoutATerminalThePromptIsCancelled) {
  const kova::test::RunResult run =
      RunProgram("credentials_prompt_probe", {"ldap.example", "cn=preset"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "hr=00000000\nresult=0\nuser=cn=preset\npassword=\n");
}

TEST_F(CredentialsPromptTest, AsksOnTheControllingTerminal) {
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  // Typed ahead: Enter keeps the preset user name, then the password.
  const std::string answers = "\nsecret\n";
  ASSERT_EQ(write(master, answers.data(), answers.size()), ssize_t(answers.size()));
  const kova::test::RunResult run =
      RunProgram("credentials_prompt_probe", {"ldap.example", "cn=preset", slave});
  std::string shown;
  char buffer[512];
  for (pollfd ready{master, POLLIN, 0}; poll(&ready, 1, 0) > 0;) {
    const ssize_t n = read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    shown.append(buffer, std::size_t(n));
  }
  close(master);
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "hr=00000000\nresult=1\nuser=cn=preset\npassword=secret\n");
  EXPECT_NE(shown.find("ldap.example"), std::string::npos) << shown;
  EXPECT_NE(shown.find("User name [cn=preset]: "), std::string::npos) << shown;
  EXPECT_NE(shown.find("Password: "), std::string::npos) << shown;
}

}  // namespace
