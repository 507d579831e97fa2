#include <string>
#include <thread>

#include "com/com_registry.h"
#include "com/com_text.h"
#include "com/test_calc.h"
#include "libloaderapi.h"
#include "objbase.h"
#include "tests/test_util.h"

namespace {

using kova::com::GuidToText;
using kova::com::WriteText;

// Runs `body` on a fresh thread, which starts outside every apartment.
template <class F>
void OnNewThread(F body) {
  std::thread thread(body);
  thread.join();
}

TEST(ApartmentTest, CountsModelsAndRefusesAChange) {
  OnNewThread([] {
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), RPC_E_CHANGED_MODE);
    CoUninitialize();
    CoUninitialize();
    // Fully uninitialised: a new model is accepted.
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
    CoUninitialize();  // one too many is harmless
  });
}

class ComRuntimeTest : public kova::test::IsolatedTest {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    server_path_ = kova::test::LibDir() + "/libkovacomtestserver.so";
    clsid_key_ = "Software\\Classes\\CLSID\\" + GuidToText(CLSID_TestCalc);
  }
  void TearDown() override {
    CoFreeUnusedLibraries();
    CoUninitialize();
  }
  void RegisterServer() {
    std::string windows_path = server_path_;
    for (char& c : windows_path) c = c == '/' ? '\\' : c;
    ASSERT_STATUS_OK(WriteText(HKEY_CURRENT_USER, clsid_key_ + "\\InprocServer32",
                               nullptr, windows_path));
  }

  std::string server_path_;
  std::string clsid_key_;
};

TEST_F(ComRuntimeTest, CreatesARegisteredInProcessServer) {
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(object, nullptr);
  RegisterServer();
  EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_LOCAL_SERVER, IID_IUnknown,
                             &object),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_ALL, IID_IUnknown, nullptr),
            E_POINTER);

  ITestCalc* calc = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCalc,
                             reinterpret_cast<void**>(&calc)),
            S_OK);
  LONG sum = 0;
  EXPECT_EQ(calc->Add(2, 3, &sum), S_OK);
  EXPECT_EQ(sum, 5);

  // The server says it cannot unload while the object lives, so it stays.
  CoFreeUnusedLibraries();
  EXPECT_EQ(calc->Add(1, 1, &sum), S_OK);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(CoGetClassObject(CLSID_TestCalc, CLSCTX_INPROC_SERVER, nullptr,
                             IID_IClassFactory, reinterpret_cast<void**>(&factory)),
            S_OK);
  EXPECT_EQ(factory->CreateInstance(calc, IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
  factory->Release();
  calc->Release();
  EXPECT_NE(GetModuleHandleA(server_path_.c_str()), nullptr);
  CoFreeUnusedLibraries();
  EXPECT_EQ(GetModuleHandleA(server_path_.c_str()), nullptr);
}

TEST_F(ComRuntimeTest, ClassNotAvailableFromTheServerAndMissingModule) {
  ASSERT_STATUS_OK(WriteText(
      HKEY_CURRENT_USER,
      "Software\\Classes\\CLSID\\" + GuidToText(IID_ITestCalc) + "\\InprocServer32",
      nullptr, server_path_));
  void* object = nullptr;
  EXPECT_EQ(CoCreateInstance(IID_ITestCalc, nullptr, CLSCTX_ALL, IID_IUnknown, &object),
            CLASS_E_CLASSNOTAVAILABLE);
  ASSERT_STATUS_OK(WriteText(HKEY_CURRENT_USER, clsid_key_ + "\\InprocServer32", nullptr,
                             root().OsPath("missing.so")));
  const HRESULT hr =
      CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_ALL, IID_IUnknown, &object);
  EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
  EXPECT_EQ(object, nullptr);
}

TEST_F(ComRuntimeTest, NotInitialisedThreadIsRefused) {
  OnNewThread([] {
    void* object = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_ALL,
                               IID_IGlobalInterfaceTable, &object),
              CO_E_NOTINITIALIZED);
    EXPECT_EQ(object, nullptr);
  });
}

TEST_F(ComRuntimeTest, ProgIdLookUpFollowsCurVer) {
  const std::string classes = "Software\\Classes\\";
  ASSERT_STATUS_OK(WriteText(HKEY_CURRENT_USER, classes + "Test.Calc.2\\CLSID", nullptr,
                             GuidToText(CLSID_TestCalc)));
  ASSERT_STATUS_OK(WriteText(HKEY_CURRENT_USER, classes + "Test.Calc\\CurVer", nullptr,
                             "Test.Calc.2"));
  ASSERT_STATUS_OK(
      WriteText(HKEY_CURRENT_USER, classes + "Test.Loop\\CurVer", nullptr, "Test.Loop"));
  ASSERT_STATUS_OK(
      WriteText(HKEY_CURRENT_USER, classes + "Test.Bad\\CLSID", nullptr, "not a guid"));
  struct Row {
    const char16_t* progid;
    HRESULT expected;
  };
  const Row rows[] = {{u"Test.Calc.2", S_OK},
                      {u"test.calc", S_OK},
                      {u"Test.Loop", CO_E_CLASSSTRING},
                      {u"Test.Bad", CO_E_CLASSSTRING},
                      {u"Test.Unknown", CO_E_CLASSSTRING},
                      {u"", CO_E_CLASSSTRING}};
  for (const Row& row : rows) {
    SCOPED_TRACE(kova::com::Narrow(row.progid));
    CLSID clsid = {0x5eed, 0, 0, {}};
    EXPECT_EQ(CLSIDFromProgID(row.progid, &clsid), row.expected);
    EXPECT_TRUE(IsEqualGUID(clsid, row.expected == S_OK ? CLSID_TestCalc : GUID_NULL));
  }
  CLSID clsid{};
  EXPECT_EQ(CLSIDFromString(u"Test.Calc", &clsid), S_OK);
  EXPECT_TRUE(IsEqualGUID(clsid, CLSID_TestCalc));

  LPOLESTR progid = nullptr;
  EXPECT_EQ(ProgIDFromCLSID(CLSID_TestCalc, &progid), REGDB_E_CLASSNOTREG);
  ASSERT_STATUS_OK(
      WriteText(HKEY_CURRENT_USER, clsid_key_ + "\\ProgID", nullptr, "Test.Calc.2"));
  ASSERT_EQ(ProgIDFromCLSID(CLSID_TestCalc, &progid), S_OK);
  EXPECT_EQ(std::u16string(progid), u"Test.Calc.2");
  CoTaskMemFree(progid);
}

TEST_F(ComRuntimeTest, GlobalInterfaceTableHoldsReferences) {
  IGlobalInterfaceTable* git = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&git)),
            S_OK);
  IGlobalInterfaceTable* again = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_StdGlobalInterfaceTable, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IGlobalInterfaceTable, reinterpret_cast<void**>(&again)),
            S_OK);
  EXPECT_EQ(git, again);  // one table per process

  RegisterServer();
  ITestCalc* calc = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_TestCalc, nullptr, CLSCTX_INPROC_SERVER, IID_ITestCalc,
                             reinterpret_cast<void**>(&calc)),
            S_OK);
  DWORD cookie = 0;
  ASSERT_EQ(git->RegisterInterfaceInGlobal(calc, IID_ITestCalc, &cookie), S_OK);
  EXPECT_NE(cookie, 0u);
  calc->Release();  // the table's reference keeps it alive

  IDispatch* dispatch = nullptr;
  ASSERT_EQ(git->GetInterfaceFromGlobal(cookie, IID_IDispatch,
                                        reinterpret_cast<void**>(&dispatch)),
            S_OK);
  UINT count = 0;
  EXPECT_EQ(dispatch->GetTypeInfoCount(&count), S_OK);
  EXPECT_EQ(count, 1u);
  dispatch->Release();
  void* object = reinterpret_cast<void*>(0x1);
  EXPECT_EQ(git->GetInterfaceFromGlobal(cookie, IID_IClassFactory, &object),
            E_NOINTERFACE);
  EXPECT_EQ(git->RevokeInterfaceFromGlobal(cookie), S_OK);
  EXPECT_EQ(git->RevokeInterfaceFromGlobal(cookie), E_INVALIDARG);
  EXPECT_EQ(git->GetInterfaceFromGlobal(cookie, IID_IUnknown, &object), E_INVALIDARG);
  EXPECT_EQ(object, nullptr);
  git->Release();
  again->Release();
}

}  // namespace
