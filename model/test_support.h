// Kova definitions written into a test's private registry, for the tests of the
// model and of the facade.
#ifndef KOVA_MODEL_TEST_SUPPORT_H_
#define KOVA_MODEL_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <variant>

#include "model/kova.h"
#include "tests/test_util.h"
#include "windows.h"

namespace kova::test {

// One registry value: text (REG_SZ) or number (REG_DWORD).
struct RegValue {
  std::string name;
  std::variant<std::string, DWORD> data;
};

// Creates the definition `kova` below the Kovas key of `hive` with `values`.
inline void DefineKova(HKEY hive, const std::string& kova,
                       std::initializer_list<RegValue> values) {
  HKEY key = nullptr;
  const std::string path = std::string(kKovasKeyPath) + "\\" + kova;
  ASSERT_STATUS_OK(RegCreateKeyExA(hive, path.c_str(), 0, nullptr,
                                   REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                                   nullptr));
  for (const RegValue& value : values) {
    LONG status = 0;
    if (const auto* text = std::get_if<std::string>(&value.data)) {
      status = RegSetValueExA(key, value.name.c_str(), 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(text->c_str()),
                              static_cast<DWORD>(text->size() + 1));
    } else {
      const DWORD number = std::get<DWORD>(value.data);
      status = RegSetValueExA(key, value.name.c_str(), 0, REG_DWORD,
                              reinterpret_cast<const BYTE*>(&number), sizeof(number));
    }
    EXPECT_STATUS_OK(status) << value.name;
  }
  RegCloseKey(key);
}

// Sets a text value below HKEY_*\Software\Corvanta\Vintrel\12.00\Locale.
inline void SetLocaleValue(HKEY hive, const char* name, const std::string& text) {
  HKEY key = nullptr;
  ASSERT_STATUS_OK(RegCreateKeyExA(hive, "Software\\Corvanta\\Vintrel\\12.00\\Locale", 0,
                                   nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                   nullptr, &key, nullptr));
  EXPECT_STATUS_OK(RegSetValueExA(key, name, 0, REG_SZ,
                                  reinterpret_cast<const BYTE*>(text.c_str()),
                                  static_cast<DWORD>(text.size() + 1)));
  RegCloseKey(key);
}

}  // namespace kova::test

#endif  // KOVA_MODEL_TEST_SUPPORT_H_
