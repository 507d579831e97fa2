// A scripted stand-in for the credentials prompt component, for the tests: an
// in-process server registered under the prompt's ProgID. Each ShowDialog
// appends one line to the file named by KOVA_TEST_PROMPT_LOG,
//   show<TAB>host<TAB>user name<TAB>password
// with the values preset before it, and answers from the line of the file named
// by KOVA_TEST_PROMPT_SCRIPT whose number is the count of earlier shows:
//   confirm<TAB>user name<TAB>password   (result 1, the values handed back)
//   cancel                               (result 0; also past the script's end)
// The log therefore counts the prompts of every process of a test. IDispatch's
// own operations are not served (the storage calls through the vtable).
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "common/bstr_convert.h"
#include "kova_inproc_server.h"
#include "ldap/credentials_prompt.h"
#include "ldap/testing/prompt_double.h"
#include "tests/script_text.h"

namespace {

kova::com::KovaServerLocks g_locks;

using kova::test::EnvPath;
using kova::test::Fields;
using kova::test::Lines;

class CPromptDouble final
    : public kova::com::KovaDualObject<IUserPasswordPromptDialog,
                                       IID_IUserPasswordPromptDialog> {
 public:
  explicit CPromptDouble(kova::com::KovaServerLocks* locks) : KovaDualObject(locks) {}

  STDMETHODIMP GetTypeInfoCount(UINT* count) override {
    *count = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
    *info = nullptr;
    return E_NOTIMPL;
  }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    return E_NOTIMPL;
  }

  STDMETHODIMP ShowDialog(LONG, LONG* result) override {
    const std::string log = EnvPath(kova::test::kPromptLogVariable);
    const std::size_t shown = Lines(log).size();
    std::ofstream(log, std::ios::app)
        << "show\t" << host_ << '\t' << userName_ << '\t' << password_ << '\n';
    const std::vector<std::string> script =
        Lines(EnvPath(kova::test::kPromptScriptVariable));
    *result = 0;
    if (shown >= script.size()) return S_OK;
    const std::vector<std::string> answer = Fields(script[shown]);
    if (answer.empty() || answer[0] != "confirm") return S_OK;
    userName_ = answer.size() > 1 ? answer[1] : "";
    password_ = answer.size() > 2 ? answer[2] : "";
    *result = 1;
    return S_OK;
  }
  STDMETHODIMP GetUserName(BSTR* userName) override {
    *userName = kova::BstrFromAnsi(userName_);
    return S_OK;
  }
  STDMETHODIMP SetUserName(BSTR userName) override {
    userName_ = kova::AnsiFromBstr(userName);
    return S_OK;
  }
  STDMETHODIMP GetPassword(BSTR* password) override {
    *password = kova::BstrFromAnsi(password_);
    return S_OK;
  }
  STDMETHODIMP SetPassword(BSTR password) override {
    password_ = kova::AnsiFromBstr(password);
    return S_OK;
  }
  STDMETHODIMP SetHostName(BSTR hostName) override {
    host_ = kova::AnsiFromBstr(hostName);
    return S_OK;
  }

 private:
  std::string host_;
  std::string userName_;
  std::string password_;
};

kova::com::KovaClassFactory<CPromptDouble> g_factory(&g_locks);

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  *ppv = nullptr;
  if (clsid != kova::test::CLSID_PromptDouble) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_locks.CanUnloadNow(); }
