// libKovaIntr.so as a client sees it: loaded by path, registered, created by
// CLSID and ProgID, and driven through IDispatch.
#include <string>

#include "errhandlingapi.h"
#include "kovaintr/kova_intr_api.h"
#include "libloaderapi.h"
#include "objbase.h"
#include "tests/test_util.h"
#include "winnls.h"
#include "winreg.h"

namespace {

std::string Braced(REFGUID guid) {
  OLECHAR wide[CHARS_IN_GUID];
  EXPECT_EQ(StringFromGUID2(guid, wide, CHARS_IN_GUID), CHARS_IN_GUID);
  return std::string(wide, wide + CHARS_IN_GUID - 1);
}

std::string WindowsPath(std::string path) {
  for (char& c : path) c = c == '/' ? '\\' : c;
  return path;
}

std::u16string TextOf(BSTR b) { return std::u16string(b, SysStringLen(b)); }

using EntryPoint = HRESULT (*)();
using GetClassObjectFn = HRESULT (*)(REFCLSID, REFIID, void**);

class ServerTest : public kova::test::IsolatedTest {
 protected:
  void SetUp() override {
    path_ = kova::test::LibDir() + "/libKovaIntr.so";
    module_ = LoadLibraryA(path_.c_str());
    ASSERT_NE(module_, nullptr) << GetLastError();
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  }
  void TearDown() override {
    CoUninitialize();
    if (module_ != nullptr) FreeLibrary(module_);
  }

  template <class F>
  F Entry(const char* name) {
    return reinterpret_cast<F>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, name)));
  }
  HRESULT Register() { return Entry<EntryPoint>("DllRegisterServer")(); }
  HRESULT Unregister() { return Entry<EntryPoint>("DllUnregisterServer")(); }
  HRESULT CanUnloadNow() { return Entry<EntryPoint>("DllCanUnloadNow")(); }
  HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    return Entry<GetClassObjectFn>("DllGetClassObject")(clsid, riid, ppv);
  }
  // The component created by its class as a late-bound client creates it; null
  // (and a failure) when that does not work.
  IDispatch* CreateDispatch() {
    IDispatch* api = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_KovaIntrApi, nullptr, CLSCTX_INPROC_SERVER,
                               IID_IDispatch, reinterpret_cast<void**>(&api)),
              S_OK);
    return api;
  }
  IClassFactory* Factory() {
    IClassFactory* factory = nullptr;
    EXPECT_EQ(GetClassObject(CLSID_KovaIntrApi, IID_IClassFactory,
                             reinterpret_cast<void**>(&factory)),
              S_OK);
    return factory;
  }

  static bool Exists(const std::string& key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) !=
        ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(handle);
    return true;
  }
  static std::string Text(const std::string& key, const char* name = nullptr) {
    HKEY handle = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) !=
        ERROR_SUCCESS) {
      return "<no key>";
    }
    char buffer[1024];
    DWORD size = sizeof buffer, type = 0;
    const LSTATUS status = RegQueryValueExA(handle, name, nullptr, &type,
                                            reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(handle);
    if (status != ERROR_SUCCESS) return "<no value>";
    if (type != REG_SZ) return "<not text>";
    return std::string(buffer);
  }

  std::string path_;
  HMODULE module_ = nullptr;
};

TEST_F(ServerTest, ExportsOnlyTheServerEntryPoints) {
  for (const char* name : {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                           "DllUnregisterServer", "kova_typelib_1"}) {
    SCOPED_TRACE(name);
    EXPECT_NE(GetProcAddress(module_, name), nullptr);
  }
  // Nothing of the facade, the shell or the platform's inline helpers leaks out.
  for (const char* name : {"_ZN4kova6server6ModuleEv",
                           "_ZN4kova6server17CreateKovaIntrApiEP8IUnknownRK5_GUIDPPv",
                           "KovaInitialize", "kova_typelib_2"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(GetProcAddress(module_, name), nullptr);
  }
}

TEST_F(ServerTest, RegisterTwiceThenUnregister) {
  const std::string clsid = Braced(CLSID_KovaIntrApi);
  const std::string appid = Braced(APPID_KovaIntr);
  const std::string libid = Braced(LIBID_KovaIntrLib);
  const std::string class_key = "CLSID\\" + clsid;
  const LCID caller_locale =
      MAKELCID(MAKELANGID(LANG_FRENCH, SUBLANG_DEFAULT), SORT_DEFAULT);
  ASSERT_TRUE(SetThreadLocale(caller_locale));

  ASSERT_EQ(Register(), S_OK);
  EXPECT_EQ(GetThreadLocale(), caller_locale);
  // A stale entry in the class key goes with the key on the next registration.
  HKEY stale = nullptr;
  ASSERT_STATUS_OK(RegCreateKeyExA(HKEY_CLASSES_ROOT, (class_key + "\\Stale").c_str(), 0,
                                   nullptr, 0, KEY_WRITE, nullptr, &stale, nullptr));
  RegCloseKey(stale);
  ASSERT_EQ(Register(), S_OK);
  EXPECT_FALSE(Exists(class_key + "\\Stale"));

  EXPECT_EQ(Text("AppID\\" + appid), "KovaIntr");
  EXPECT_EQ(Text("AppID\\KovaIntr.DLL", "AppID"), appid);
  EXPECT_EQ(Text("KovaIntr.KovaIntrApi.1"), "KovaIntrApi Class");
  EXPECT_EQ(Text("KovaIntr.KovaIntrApi.1\\CLSID"), clsid);
  EXPECT_EQ(Text("KovaIntr.KovaIntrApi"), "KovaIntrApi Class");
  EXPECT_EQ(Text("KovaIntr.KovaIntrApi\\CLSID"), clsid);
  EXPECT_EQ(Text("KovaIntr.KovaIntrApi\\CurVer"), "KovaIntr.KovaIntrApi.1");
  EXPECT_EQ(Text(class_key), "KovaIntrApi Class");
  EXPECT_EQ(Text(class_key + "\\ProgID"), "KovaIntr.KovaIntrApi.1");
  EXPECT_EQ(Text(class_key + "\\VersionIndependentProgID"), "KovaIntr.KovaIntrApi");
  EXPECT_TRUE(Exists(class_key + "\\Programmable"));
  EXPECT_EQ(Text(class_key + "\\InprocServer32"), WindowsPath(path_));
  EXPECT_EQ(Text(class_key + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Text(class_key, "AppID"), appid);
  EXPECT_EQ(Text(class_key + "\\TypeLib"), libid);
  EXPECT_EQ(Text("TypeLib\\" + libid + "\\1.0"), "KovaIntr 1.0 Type Library");
  EXPECT_EQ(Text("TypeLib\\" + libid + "\\1.0\\0\\win64"), WindowsPath(path_));
  EXPECT_EQ(Text("Interface\\" + Braced(IID_IKovaIntrApi)), "IKovaIntrApi");

  ASSERT_EQ(Unregister(), S_OK);
  EXPECT_EQ(GetThreadLocale(), caller_locale);
  EXPECT_TRUE(Exists("AppID"));
  EXPECT_TRUE(Exists("CLSID"));
  for (const std::string& gone :
       {"AppID\\" + appid, std::string("AppID\\KovaIntr.DLL"),
        std::string("KovaIntr.KovaIntrApi.1"), std::string("KovaIntr.KovaIntrApi"),
        class_key, "TypeLib\\" + libid, "Interface\\" + Braced(IID_IKovaIntrApi)}) {
    SCOPED_TRACE(gone);
    EXPECT_FALSE(Exists(gone));
  }
  // The type library is gone, so a second unregistration fails there, as on the
  // platform, and the locale is still restored.
  EXPECT_EQ(Unregister(), TYPE_E_REGISTRYACCESS);
  EXPECT_EQ(GetThreadLocale(), caller_locale);
  SetThreadLocale(LOCALE_USER_DEFAULT);
}

TEST_F(ServerTest, ClassObjectAndCreateInstanceRules) {
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(GetClassObject(IID_IKovaIntrApi, IID_IClassFactory, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(GetClassObject(CLSID_KovaIntrApi, IID_IClassFactory, nullptr), E_POINTER);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(GetClassObject(CLSID_KovaIntrApi, IID_IDispatch, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IKovaIntrApi, nullptr), E_POINTER);
  IUnknown* outer = nullptr;
  ASSERT_EQ(
      factory->CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&outer)),
      S_OK);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(outer, IID_IDispatch, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);

  // One pointer answers the three interfaces, and nothing else.
  void* as_api = nullptr;
  void* as_dispatch = nullptr;
  ASSERT_EQ(outer->QueryInterface(IID_IKovaIntrApi, &as_api), S_OK);
  ASSERT_EQ(outer->QueryInterface(IID_IDispatch, &as_dispatch), S_OK);
  EXPECT_EQ(as_api, static_cast<void*>(outer));
  EXPECT_EQ(as_dispatch, static_cast<void*>(outer));
  for (const IID& iid : {IID_IClassFactory, IID_ITypeInfo, IID_IGlobalInterfaceTable,
                         static_cast<const IID&>(CLSID_KovaIntrApi)}) {
    object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(outer->QueryInterface(iid, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
  }
  static_cast<IUnknown*>(as_api)->Release();
  static_cast<IUnknown*>(as_dispatch)->Release();
  EXPECT_EQ(outer->Release(), 0u);
  factory->Release();
}

TEST_F(ServerTest, CanUnloadNowFollowsInstancesLocksAndFactoryReferences) {
  EXPECT_EQ(CanUnloadNow(), S_OK);
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // a client's reference to the factory
  IDispatch* instance = nullptr;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IDispatch,
                                    reinterpret_cast<void**>(&instance)),
            S_OK);
  factory->Release();  // the factory's own reference does not keep the library
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  instance->Release();
  EXPECT_EQ(CanUnloadNow(), S_OK);

  factory = Factory();
  factory->AddRef();
  factory->Release();
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  factory->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE);  // locked
  factory = Factory();
  EXPECT_EQ(factory->LockServer(FALSE), S_OK);
  factory->AddRef();  // a second client reference
  factory->Release();
  EXPECT_EQ(CanUnloadNow(), S_FALSE);
  factory->Release();
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

// An outer object that aggregates CKovaIntrApi and answers its interfaces
// through its own unknown.
class Outer final : public IUnknown {
 public:
  HRESULT Create(IClassFactory* factory) {
    return factory->CreateInstance(this, IID_IUnknown, reinterpret_cast<void**>(&inner_));
  }
  ~Outer() {
    if (inner_ != nullptr) inner_->Release();
  }
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown) {
      *ppv = static_cast<IUnknown*>(this);
      AddRef();
      return S_OK;
    }
    return inner_->QueryInterface(riid, ppv);
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }
  ULONG refs() const { return refs_; }

 private:
  ULONG refs_ = 1;
  IUnknown* inner_ = nullptr;
};

TEST_F(ServerTest, AggregatedInstanceSharesTheOuterIdentity) {
  IClassFactory* factory = Factory();
  ASSERT_NE(factory, nullptr);
  {
    Outer outer;
    ASSERT_EQ(outer.Create(factory), S_OK);
    EXPECT_EQ(outer.refs(), 1u);  // the inner unknown does not hold the outer
    IKovaIntrApi* api = nullptr;
    ASSERT_EQ(outer.QueryInterface(IID_IKovaIntrApi, reinterpret_cast<void**>(&api)),
              S_OK);
    EXPECT_EQ(outer.refs(), 2u);  // counted on the outer object
    IUnknown* identity = nullptr;
    ASSERT_EQ(api->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)),
              S_OK);
    EXPECT_EQ(identity, static_cast<IUnknown*>(&outer));
    identity->Release();
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(api->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)),
              S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch), static_cast<void*>(api));
    dispatch->Release();
    void* none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(api->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    api->Release();
    EXPECT_EQ(outer.refs(), 1u);
    EXPECT_EQ(CanUnloadNow(), S_FALSE);  // the aggregated instance is alive
  }
  factory->Release();
  EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(ServerTest, CreatedByClsidAndProgIdAndCalledLateBound) {
  ASSERT_EQ(Register(), S_OK);
  for (const char16_t* progid : {u"KovaIntr.KovaIntrApi", u"KovaIntr.KovaIntrApi.1"}) {
    CLSID clsid{};
    ASSERT_EQ(CLSIDFromProgID(progid, &clsid), S_OK);
    EXPECT_TRUE(IsEqualGUID(clsid, CLSID_KovaIntrApi));
  }
  IDispatch* api = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_KovaIntrApi, nullptr, CLSCTX_ALL, IID_IDispatch,
                             reinterpret_cast<void**>(&api)),
            S_OK);

  UINT count = 0;
  ASSERT_EQ(api->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  ITypeInfo* info = nullptr;
  EXPECT_EQ(api->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
  ASSERT_EQ(api->GetTypeInfo(0, 0, &info), S_OK);
  TYPEATTR* attr = nullptr;
  ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, IID_IKovaIntrApi));
  EXPECT_EQ(attr->cFuncs, 22);
  EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FDUAL | TYPEFLAG_FNONEXTENSIBLE |
                                  TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE);
  info->ReleaseTypeAttr(attr);
  BSTR help = nullptr;
  ASSERT_EQ(info->GetDocumentation(13, nullptr, &help, nullptr, nullptr), S_OK);
  EXPECT_EQ(TextOf(help), u"method KovaCopyFileToLocalFS");
  SysFreeString(help);
  info->Release();

  struct Row {
    const char16_t* name;
    HRESULT expected;
    DISPID id;
  };
  const Row rows[] = {{u"KovaInitialize", S_OK, 1},
                      {u"kovainitialize", S_OK, 1},
                      {u"KOVAFINDNEXT", S_OK, 18},
                      {u"KovaSetSelItemPath", S_OK, 22},
                      {u"KovaUnknown", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN}};
  for (const Row& row : rows) {
    LPOLESTR names[] = {const_cast<LPOLESTR>(row.name)};
    DISPID id = 12345;
    EXPECT_EQ(api->GetIDsOfNames(IID_NULL, names, 1, 0, &id), row.expected);
    EXPECT_EQ(id, row.id);
  }
  LPOLESTR names[] = {const_cast<LPOLESTR>(u"KovaInitialize")};
  DISPID id = 0;
  EXPECT_EQ(api->GetIDsOfNames(IID_IDispatch, names, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
  api->Release();
  ASSERT_EQ(Unregister(), S_OK);
}

TEST_F(ServerTest, SessionDrivenThroughInvoke) {
  kova::test::ScopedEnv user_dir("KOVA_USERDIR", root().OsPath("user"));
  ASSERT_EQ(Register(), S_OK);
  IDispatch* api = CreateDispatch();
  ASSERT_NE(api, nullptr);
  DISPPARAMS none{nullptr, nullptr, 0, 0};
  VARIANT handle;
  VariantInit(&handle);
  ASSERT_EQ(
      api->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &handle, nullptr, nullptr),
      S_OK);
  ASSERT_EQ(handle.vt, VT_I4);
  EXPECT_NE(handle.lVal, 0);

  VARIANT args[1] = {handle};
  DISPPARAMS one{args, nullptr, 1, 0};

  // A session without find results refuses KovaFindNext with S_FALSE and a null
  // text in the [retval] place.
  VARIANT find_args[2];
  find_args[0].vt = VT_I4;
  find_args[0].lVal = 0;
  find_args[1] = handle;
  DISPPARAMS find{find_args, nullptr, 2, 0};
  VARIANT name;
  VariantInit(&name);
  EXPECT_EQ(api->Invoke(18, IID_NULL, 0, DISPATCH_METHOD, &find, &name, nullptr, nullptr),
            S_FALSE);
  EXPECT_EQ(name.vt, VT_BSTR);
  EXPECT_EQ(name.bstrVal, nullptr);

  // Selecting an item path takes the text through a BSTR* parameter.
  VARIANT select[2];
  select[0].vt = VT_BSTR;
  select[0].bstrVal = SysAllocString(u"<Work>\\a.lms");
  select[1] = handle;
  DISPPARAMS two{select, nullptr, 2, 0};
  EXPECT_EQ(
      api->Invoke(22, IID_NULL, 0, DISPATCH_METHOD, &two, nullptr, nullptr, nullptr),
      S_OK);
  VariantClear(&select[0]);

  UINT arg_err = 99;
  VARIANT bad[1];
  bad[0].vt = VT_BSTR;
  bad[0].bstrVal = SysAllocString(u"not a handle");
  DISPPARAMS wrong{bad, nullptr, 1, 0};
  EXPECT_EQ(
      api->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &wrong, nullptr, nullptr, &arg_err),
      DISP_E_TYPEMISMATCH);
  EXPECT_EQ(arg_err, 0u);
  VariantClear(&bad[0]);
  EXPECT_EQ(
      api->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr, nullptr, nullptr),
      DISP_E_PARAMNOTOPTIONAL);

  EXPECT_EQ(api->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
            S_OK);
  EXPECT_EQ(
      api->Invoke(23, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
      DISP_E_MEMBERNOTFOUND);
  api->Release();

  // Without a user directory the session cannot start.
  kova::test::ScopedEnv no_user_dir("KOVA_USERDIR", "");
  api = CreateDispatch();
  ASSERT_NE(api, nullptr);
  VariantInit(&handle);
  EXPECT_EQ(
      api->Invoke(1, IID_NULL, 0, DISPATCH_METHOD, &none, &handle, nullptr, nullptr),
      S_FALSE);
  EXPECT_EQ(handle.vt, VT_I4);
  EXPECT_EQ(handle.lVal, 0);
  api->Release();
  ASSERT_EQ(Unregister(), S_OK);
}

// An APP_TYPE outside the enumeration arrived as a value the enumeration could
// not hold (undefined behaviour); it must reach the operation as given and be
// refused, even when its low bits are those of a known type.
TEST_F(ServerTest, AppTypeOutsideTheEnumerationIsRefusedThroughInvoke) {
  kova::test::ScopedEnv user_dir("KOVA_USERDIR", root().OsPath("user"));
  ASSERT_EQ(Register(), S_OK);
  IDispatch* api = CreateDispatch();
  ASSERT_NE(api, nullptr);
  for (LONG app_type : {LONG(APP_LUMASET), LONG(0x10001), LONG(21041), LONG(-1)}) {
    SCOPED_TRACE(app_type);
    LONG handle = -7;
    BSTR folder = SysAllocString(u"<My Kova>\\");
    BSTR extension = nullptr;
    // KovaFindInit(plKovaIntr, bstrFilePath, bstrFileExt, appType), last first; the
    // count is the [retval].
    VARIANT args[4];
    args[0].vt = VT_I4;
    args[0].lVal = app_type;
    args[1].vt = VT_BYREF | VT_BSTR;
    args[1].pbstrVal = &extension;
    args[2].vt = VT_BYREF | VT_BSTR;
    args[2].pbstrVal = &folder;
    args[3].vt = VT_BYREF | VT_I4;
    args[3].plVal = &handle;
    DISPPARAMS params{args, nullptr, 4, 0};
    VARIANT count;
    VariantInit(&count);
    const HRESULT hr =
        api->Invoke(17, IID_NULL, 0, DISPATCH_METHOD, &params, &count, nullptr, nullptr);
    SysFreeString(folder);
    SysFreeString(extension);
    if (app_type == APP_LUMASET) {
      EXPECT_EQ(hr, S_OK);
      EXPECT_NE(handle, 0);
      EXPECT_EQ(count.vt, VT_I4);
      EXPECT_EQ(count.lVal, 0);
      VARIANT end[1];
      end[0].vt = VT_I4;
      end[0].lVal = handle;
      DISPPARAMS one{end, nullptr, 1, 0};
      EXPECT_EQ(
          api->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &one, nullptr, nullptr, nullptr),
          S_OK);
      continue;
    }
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_EQ(handle, 0);
  }
  api->Release();
  ASSERT_EQ(Unregister(), S_OK);
}

TEST_F(ServerTest, KovactlRegistersAndRunsASession) {
  const std::string user_dir = root().OsPath("user");
  auto run = kova::test::RunProgram("kovactl", {"register", path_});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "DllRegisterServer: hr=0x00000000\n");
  EXPECT_EQ(Text("KovaIntr.KovaIntrApi\\CurVer"), "KovaIntr.KovaIntrApi.1");

  run = kova::test::RunProgram(
      "kovactl",
      {"$h = KovaInitialize", "KovaSetSelItemPath $h \"<Work>\\a.lms\"",
       "KovaFindNext $h 0", "KovaUnInitialize $h", "KovaUnInitialize 0"},
      {{"KOVA_USERDIR", user_dir}});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  // The handle's value is the component's business; everything else is fixed.
  const std::size_t first_end = run.out.find('\n');
  ASSERT_NE(first_end, std::string::npos);
  const std::string first = run.out.substr(0, first_end);
  EXPECT_EQ(first.rfind("KovaInitialize: hr=0x00000000 retval=", 0), 0u) << first;
  const std::string handle = first.substr(first.find("retval=") + 7);
  EXPECT_NE(handle, "0");
  EXPECT_EQ(run.out.substr(first_end + 1),
            "KovaSetSelItemPath: hr=0x00000000 $h=" + handle +
                "\n"
                "KovaFindNext: hr=0x00000001 retval=\"\" $h=" +
                handle +
                "\n"
                "KovaUnInitialize: hr=0x00000000 $h=" +
                handle +
                "\n"
                "KovaUnInitialize: hr=0x00000000\n");

  run = kova::test::RunProgram("kovactl", {"--json", "KovaInitialize"},
                               {{"KOVA_USERDIR", ""}});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "{\"op\":\"KovaInitialize\",\"hr\":\"0x00000001\",\"retval\":0}\n");

  run = kova::test::RunProgram("kovactl", {"unregister", path_});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "DllUnregisterServer: hr=0x00000000\n");
  EXPECT_FALSE(Exists("KovaIntr.KovaIntrApi"));
  run = kova::test::RunProgram("kovactl", {"KovaInitialize"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("0x800401F3"), std::string::npos) << run.err;
}

}  // namespace
