#include "kova_registrar.h"

#include <string>

#include "com/com_registry.h"
#include "tests/test_util.h"
#include "winreg.h"

namespace {

using kova::com::CRegObject;
using kova::com::ReadText;

class RegistrarTest : public kova::test::IsolatedTest {
 protected:
  static bool Exists(const std::string& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }
  static std::string Text(const std::string& path, const char* name = nullptr) {
    std::string text;
    return ReadText(HKEY_CURRENT_USER, path, name, &text) ? text : "<missing>";
  }
  static DWORD Dword(const std::string& path, const char* name) {
    HKEY key = nullptr;
    DWORD value = 0xFFFFFFFF, size = sizeof value, type = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) ==
        ERROR_SUCCESS) {
      if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                           &size) != ERROR_SUCCESS ||
          type != REG_DWORD) {
        value = 0xFFFFFFFF;
      }
      RegCloseKey(key);
    }
    return value;
  }
};

constexpr char kScript[] = R"(HKCU
{
	NoRemove Software
	{
		NoRemove Test
		{
			'Plain Key' = s 'it''s %NAME%'
			{
				val Count = d 0x10
				val Ratio = d '7'
				val Percent = s '100%%'
				Child = s 'c'
			}
			ForceRemove Replaced = s '%NAME%'
			{
				Inner
			}
			{GUID-LIKE} = s 'bare braces'
		}
	}
}
)";

TEST_F(RegistrarTest, RegisterWritesKeysValuesAndReplacements) {
  CRegObject registrar;
  ASSERT_EQ(registrar.AddReplacement("Name", "first"), S_OK);
  ASSERT_EQ(registrar.AddReplacement("NAME", "kova"), S_OK);  // same name: replaced
  ASSERT_EQ(registrar.StringRegister(kScript), S_OK);
  EXPECT_EQ(Text("Software\\Test\\Plain Key"), "it's kova");
  EXPECT_EQ(Dword("Software\\Test\\Plain Key", "Count"), 16u);
  EXPECT_EQ(Dword("Software\\Test\\Plain Key", "Ratio"), 7u);
  EXPECT_EQ(Text("Software\\Test\\Plain Key", "Percent"), "100%");
  EXPECT_EQ(Text("Software\\Test\\Plain Key\\Child"), "c");
  EXPECT_EQ(Text("Software\\Test\\Replaced"), "kova");
  EXPECT_TRUE(Exists("Software\\Test\\Replaced\\Inner"));
  EXPECT_EQ(Text("Software\\Test\\{GUID-LIKE}"), "bare braces");
}

TEST_F(RegistrarTest, RegisterTwiceReplacesOnlyForceRemoveKeys) {
  CRegObject registrar;
  ASSERT_EQ(registrar.AddReplacement("NAME", "kova"), S_OK);
  ASSERT_EQ(registrar.StringRegister(kScript), S_OK);
  ASSERT_STATUS_OK(kova::com::WriteText(HKEY_CURRENT_USER,
                                        "Software\\Test\\Replaced\\Stale", nullptr, "x"));
  ASSERT_STATUS_OK(kova::com::WriteText(HKEY_CURRENT_USER, "Software\\Test\\Plain Key",
                                        "Other", "kept"));
  ASSERT_EQ(registrar.StringRegister(kScript), S_OK);
  EXPECT_FALSE(Exists("Software\\Test\\Replaced\\Stale"));
  EXPECT_TRUE(Exists("Software\\Test\\Replaced\\Inner"));
  EXPECT_EQ(Text("Software\\Test\\Plain Key", "Other"), "kept");
}

TEST_F(RegistrarTest, UnregisterKeepsNoRemoveAndForeignContent) {
  CRegObject registrar;
  ASSERT_EQ(registrar.AddReplacement("NAME", "kova"), S_OK);
  ASSERT_EQ(registrar.StringRegister(kScript), S_OK);
  // Content the script does not know: a foreign key inside the replaced key goes
  // with it; a foreign value keeps its plain key alive.
  ASSERT_STATUS_OK(kova::com::WriteText(
      HKEY_CURRENT_USER, "Software\\Test\\Replaced\\Foreign", nullptr, "x"));
  ASSERT_STATUS_OK(kova::com::WriteText(HKEY_CURRENT_USER, "Software\\Test\\Plain Key",
                                        "Other", "kept"));
  ASSERT_EQ(registrar.StringUnregister(kScript), S_OK);
  EXPECT_TRUE(Exists("Software\\Test"));
  EXPECT_FALSE(Exists("Software\\Test\\Replaced"));
  EXPECT_FALSE(Exists("Software\\Test\\{GUID-LIKE}"));
  EXPECT_FALSE(Exists("Software\\Test\\Plain Key\\Child"));
  ASSERT_TRUE(Exists("Software\\Test\\Plain Key"));
  EXPECT_EQ(Text("Software\\Test\\Plain Key", "Other"), "kept");
  EXPECT_EQ(Text("Software\\Test\\Plain Key"), "<missing>");
  EXPECT_EQ(Text("Software\\Test\\Plain Key", "Count"), "<missing>");

  // Unregistering again finds nothing to do.
  EXPECT_EQ(registrar.StringUnregister(kScript), S_OK);
  EXPECT_TRUE(Exists("Software\\Test"));
}

TEST_F(RegistrarTest, DeleteRemovesOnRegisterOnly) {
  ASSERT_STATUS_OK(
      kova::com::WriteText(HKEY_CURRENT_USER, "Software\\Old\\Deep", nullptr, "x"));
  CRegObject registrar;
  constexpr char kDelete[] = "HKCU { NoRemove Software { Delete Old } }";
  ASSERT_EQ(registrar.StringRegister(kDelete), S_OK);
  EXPECT_FALSE(Exists("Software\\Old"));
  ASSERT_STATUS_OK(
      kova::com::WriteText(HKEY_CURRENT_USER, "Software\\Old", nullptr, "y"));
  ASSERT_EQ(registrar.StringUnregister(kDelete), S_OK);
  EXPECT_EQ(Text("Software\\Old"), "y");
}

TEST_F(RegistrarTest, SyntaxErrorsChangeNothing) {
  CRegObject registrar;
  ASSERT_EQ(registrar.AddReplacement("NAME", "kova"), S_OK);
  const char* const bad[] = {
      "HKCU { Software { First = s 'x' } Broken = s '%UNKNOWN%' }",
      "HKCU { Software { First = s 'unterminated } }",
      "HKCU { val Name = s 'x' }",
      "HKCU { Software { val Count = d -1 } }",
      "HKCU { Software { val Count = d 12abc } }",
      "HKCU { Software { val Blob = b 'abc' } }",
      "HKCU { Software { Key = q 'x' } }",
      "HKCU { Software { First = s 'x' }",
      "HKXX { Software }",
      "HKCU { Software { 'a\\b' } }",
  };
  for (const char* script : bad) {
    SCOPED_TRACE(script);
    EXPECT_EQ(registrar.StringRegister(script), DISP_E_EXCEPTION);
    EXPECT_FALSE(Exists("Software\\First"));
  }
  EXPECT_EQ(registrar.StringRegister(nullptr), E_INVALIDARG);
  EXPECT_EQ(registrar.AddReplacement("", "x"), E_INVALIDARG);
}

}  // namespace
