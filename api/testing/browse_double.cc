// A scripted stand-in for the browse dialog component, for the bridge's tests:
// an in-process server that a test registers under the dialog's class. Every
// call appends one line to the file named by KOVA_TEST_BROWSE_LOG (the
// operation's name and its argument, tab-separated; "created" and "released"
// for the instance's life), and the answers come from the file named by
// KOVA_TEST_BROWSE_SCRIPT, one "key<TAB>value..." line each:
//   show<TAB>N          Show leaves N (without it, Show leaves the value alone)
//   path<TAB>P          GetPath hands out P (without it, GetPath leaves null)
//   paths<TAB>A<TAB>B   GetPaths hands out an array of A, B, ... ("paths" alone:
//                       an empty array; without it, GetPaths leaves null)
//   hresult<TAB>X       every operation returns X (hexadecimal) after doing
//                       its work
// IDispatch's own operations are not served (the bridge calls the vtable).
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "api/testing/browse_double.h"
#include "common/bstr_convert.h"
#include "kova_browse_dialog.h"
#include "kova_inproc_server.h"
#include "oleauto.h"
#include "tests/script_text.h"

namespace {

kova::com::KovaServerLocks g_locks;

using kova::test::EnvPath;
using kova::test::Fields;

// The fields of the script line that starts with `key`, without the key; false
// when there is none.
bool ScriptLine(const std::string& key, std::vector<std::string>* values) {
  std::ifstream in(EnvPath(kova::test::kBrowseScriptVariable));
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields = Fields(line);
    if (fields.empty() || fields[0] != key) continue;
    values->assign(fields.begin() + 1, fields.end());
    return true;
  }
  return false;
}

void Log(const std::string& operation, const std::string& argument = "") {
  std::ofstream(EnvPath(kova::test::kBrowseLogVariable), std::ios::app)
      << operation << (argument.empty() ? "" : "\t" + argument) << '\n';
}

HRESULT Answer() {
  std::vector<std::string> values;
  if (!ScriptLine("hresult", &values) || values.empty()) return S_OK;
  return HRESULT(std::stoul(values[0], nullptr, 16));
}

class CBrowseDouble final
    : public kova::com::KovaDualObject<IKovaBrowseDialog, IID_IKovaBrowseDialog> {
 public:
  explicit CBrowseDouble(kova::com::KovaServerLocks* locks) : KovaDualObject(locks) {
    Log("created");
  }
  ~CBrowseDouble() override { Log("released"); }

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

  STDMETHODIMP Show(LONG* result) override {
    Log("Show", std::to_string(*result));
    std::vector<std::string> values;
    if (ScriptLine("show", &values) && !values.empty()) *result = std::stol(values[0]);
    return Answer();
  }
  STDMETHODIMP SetMode(LONG mode) override { return Number("SetMode", mode); }
  STDMETHODIMP GetPath(BSTR* path) override {
    Log("GetPath");
    std::vector<std::string> values;
    if (ScriptLine("path", &values)) {
      *path = kova::BstrFromAnsi(values.empty() ? "" : values[0]);
    }
    return Answer();
  }
  STDMETHODIMP SetPath(BSTR path) override { return Text("SetPath", path); }
  STDMETHODIMP GetPaths(SAFEARRAY** paths) override {
    Log("GetPaths");
    std::vector<std::string> values;
    if (!ScriptLine("paths", &values)) return Answer();
    *paths = SafeArrayCreateVector(VT_BSTR, 0, ULONG(values.size()));
    for (LONG i = 0; i < LONG(values.size()); ++i) {
      const kova::ScopedBstr element(values[std::size_t(i)]);
      SafeArrayPutElement(*paths, &i, element.get());
    }
    return Answer();
  }
  STDMETHODIMP SetEditAllowed(LONG allowed) override {
    return Number("SetEditAllowed", allowed);
  }
  STDMETHODIMP SetFileOpsAllowed(LONG allowed) override {
    return Number("SetFileOpsAllowed", allowed);
  }
  STDMETHODIMP SetFileTypeCode(LONG code) override {
    return Number("SetFileTypeCode", code);
  }
  STDMETHODIMP SetUserFileDir(BSTR folder) override {
    return Text("SetUserFileDir", folder);
  }
  STDMETHODIMP SetHelpTopic(ULONG topic) override {
    return Number("SetHelpTopic", static_cast<long long>(topic));
  }
  STDMETHODIMP SetParentWindow(KOVA_LONG_PTR window) override {
    return Number("SetParentWindow", window);
  }

 private:
  static HRESULT Number(const char* operation, long long value) {
    Log(operation, std::to_string(value));
    return Answer();
  }
  static HRESULT Text(const char* operation, BSTR value) {
    Log(operation, value == nullptr ? "<null>" : "[" + kova::AnsiFromBstr(value) + "]");
    return Answer();
  }
};

kova::com::KovaClassFactory<CBrowseDouble> g_factory(&g_locks);

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* ppv) {
  *ppv = nullptr;
  if (clsid != CLSID_KovaBrowseDialog) return CLASS_E_CLASSNOTAVAILABLE;
  return g_factory.QueryInterface(riid, ppv);
}

STDAPI DllCanUnloadNow() { return g_locks.CanUnloadNow(); }
