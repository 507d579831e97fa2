// Registry set-up and a fully writable replacer record for the tests of this folder.
#ifndef KOVA_MACROS_TEST_SUPPORT_H_
#define KOVA_MACROS_TEST_SUPPORT_H_

#include <gtest/gtest.h>

#include <string>

#include "macros/replacers.h"
#include "tests/test_util.h"
#include "windows.h"

namespace kova::test {

// A private record whose every slot a test can fill, as the other components of
// the process do through the shared block.
class SlotReplacers : public CReplacers {
 public:
  SlotReplacers() : CReplacers(false, nullptr) {}
  using CReplacers::SetSlot;
};

inline void CreateRegKey(HKEY root, const std::string& key) {
  HKEY handle = nullptr;
  ASSERT_STATUS_OK(RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_ALL_ACCESS, nullptr, &handle, nullptr));
  RegCloseKey(handle);
}

// Writes a value (null name: the default value), creating the key.
inline void SetRegValue(HKEY root, const std::string& key, const char* name,
                        const std::string& value, DWORD type = REG_SZ) {
  HKEY handle = nullptr;
  ASSERT_STATUS_OK(RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_ALL_ACCESS, nullptr, &handle, nullptr));
  const LONG status =
      RegSetValueExA(handle, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>(value.size() + 1));
  RegCloseKey(handle);
  ASSERT_STATUS_OK(status);
}

}  // namespace kova::test

#endif  // KOVA_MACROS_TEST_SUPPORT_H_
