#include <string>

#include "com/com_registry.h"
#include "com/com_text.h"
#include "com/test_calc.h"
#include "objbase.h"
#include "tests/test_util.h"

namespace {

using kova::com::GuidToText;
using kova::com::ReadText;
using kova::com::Widen;

class TypeLibraryTest : public kova::test::IsolatedTest {
 protected:
  void SetUp() override {
    path_ = kova::test::LibDir() + "/libkovacomtestserver.so";
    for (char& c : path_) c = c == '/' ? '\\' : c;
    wide_path_ = Widen(path_);
  }
  static std::string Text(const std::string& key, const char* name = nullptr) {
    std::string text;
    return ReadText(HKEY_CLASSES_ROOT, key, name, &text) ? text : "<missing>";
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

  std::string path_;
  std::u16string wide_path_;
};

TEST_F(TypeLibraryTest, LoadFromModule) {
  ITypeLib* lib = nullptr;
  ASSERT_EQ(LoadTypeLib(wide_path_.c_str(), &lib), S_OK);
  TLIBATTR* attr = nullptr;
  ASSERT_EQ(lib->GetLibAttr(&attr), S_OK);
  EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_TestCalcLib));
  EXPECT_EQ(attr->wMajorVerNum, 2);
  EXPECT_EQ(attr->wMinorVerNum, 1);
  lib->ReleaseTLibAttr(attr);
  EXPECT_EQ(lib->Release(), 0u);

  ITypeLib* none = reinterpret_cast<ITypeLib*>(0x1);
  EXPECT_EQ(LoadTypeLib((wide_path_ + u"\\2").c_str(), &none), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(LoadTypeLib(Widen(root().WinPath("missing.so")).c_str(), &none),
            TYPE_E_CANTLOADLIBRARY);
  // A module without a type library.
  const std::string platform = kova::test::LibDir() + "/libkovaplatform.so";
  EXPECT_EQ(LoadTypeLib(Widen(platform).c_str(), &none), TYPE_E_CANTLOADLIBRARY);
  EXPECT_EQ(LoadTypeLib(u"", &none), E_INVALIDARG);
}

TEST_F(TypeLibraryTest, RegisterLoadAndUnregister) {
  const std::string lib_key = "TypeLib\\" + GuidToText(LIBID_TestCalcLib);
  const std::string version = lib_key + "\\2.1";
  const std::string iface = "Interface\\" + GuidToText(IID_ITestCalc);
  ITypeLib* lib = nullptr;
  EXPECT_EQ(LoadRegTypeLib(LIBID_TestCalcLib, 2, 1, 0, &lib), TYPE_E_LIBNOTREGISTERED);
  ASSERT_EQ(LoadTypeLib(wide_path_.c_str(), &lib), S_OK);
  ASSERT_EQ(RegisterTypeLib(lib, wide_path_.c_str(), nullptr), S_OK);
  lib->Release();

  EXPECT_EQ(Text(version), "Test Calc 2.1 Library");
  EXPECT_EQ(Text(version + "\\0\\win64"), path_);
  EXPECT_EQ(Text(version + "\\FLAGS"), "0");
  EXPECT_EQ(Text(version + "\\HELPDIR"), path_.substr(0, path_.rfind('\\')));
  EXPECT_EQ(Text(iface), "ITestCalc");
  EXPECT_EQ(Text(iface + "\\ProxyStubClsid32"), "{00020424-0000-0000-C000-000000000046}");
  EXPECT_EQ(Text(iface + "\\TypeLib"), GuidToText(LIBID_TestCalcLib));
  EXPECT_EQ(Text(iface + "\\TypeLib", "Version"), "2.1");

  // Any locale falls back to the neutral registration; an older minor version is
  // served by the registered newer one; another major version is not.
  for (LCID lcid : {LCID(0), LCID(0x0409), LCID(0x040c)}) {
    SCOPED_TRACE(lcid);
    lib = nullptr;
    ASSERT_EQ(LoadRegTypeLib(LIBID_TestCalcLib, 2, 0, lcid, &lib), S_OK);
    ITypeInfo* info = nullptr;
    EXPECT_EQ(lib->GetTypeInfoOfGuid(IID_ITestCalc, &info), S_OK);
    info->Release();
    lib->Release();
  }
  EXPECT_EQ(LoadRegTypeLib(LIBID_TestCalcLib, 2, 2, 0, &lib), TYPE_E_LIBNOTREGISTERED);
  EXPECT_EQ(LoadRegTypeLib(LIBID_TestCalcLib, 1, 0, 0, &lib), TYPE_E_LIBNOTREGISTERED);
  BSTR found = nullptr;
  ASSERT_EQ(QueryPathOfRegTypeLib(LIBID_TestCalcLib, 2, 1, 0, &found), S_OK);
  EXPECT_EQ(kova::com::Narrow(std::u16string_view(found, SysStringLen(found))), path_);
  SysFreeString(found);

  ASSERT_EQ(UnRegisterTypeLib(LIBID_TestCalcLib, 2, 1, 0, SYS_WIN64), S_OK);
  EXPECT_FALSE(Exists(lib_key));
  EXPECT_FALSE(Exists(iface));
  EXPECT_TRUE(Exists("TypeLib"));
  EXPECT_EQ(UnRegisterTypeLib(LIBID_TestCalcLib, 2, 1, 0, SYS_WIN64),
            TYPE_E_REGISTRYACCESS);
}

TEST_F(TypeLibraryTest, UnregisterLeavesAnInterfaceThatAnotherLibraryOwns) {
  ITypeLib* lib = nullptr;
  ASSERT_EQ(LoadTypeLib(wide_path_.c_str(), &lib), S_OK);
  ASSERT_EQ(RegisterTypeLib(lib, wide_path_.c_str(), u"\\help"), S_OK);
  lib->Release();
  const std::string version = "TypeLib\\" + GuidToText(LIBID_TestCalcLib) + "\\2.1";
  EXPECT_EQ(Text(version + "\\HELPDIR"), "\\help");
  const std::string iface = "Interface\\" + GuidToText(IID_ITestCalc);
  ASSERT_STATUS_OK(kova::com::WriteText(HKEY_CURRENT_USER,
                                        "Software\\Classes\\" + iface + "\\TypeLib",
                                        nullptr, GuidToText(CLSID_TestCalc)));
  ASSERT_EQ(UnRegisterTypeLib(LIBID_TestCalcLib, 2, 1, 0, SYS_WIN64), S_OK);
  EXPECT_TRUE(Exists(iface));
}

}  // namespace
