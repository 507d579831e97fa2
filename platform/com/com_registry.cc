#include "com_registry.h"

#include <vector>

#include "winerror.h"

namespace kova::com {

void ScopedKey::Reset() {
  if (key_ != nullptr) RegCloseKey(key_);
  key_ = nullptr;
}

bool ReadText(HKEY root, const std::string& subkey, const char* name, std::string* text) {
  ScopedKey key;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD type = 0, size = 0;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, nullptr, &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  std::vector<BYTE> data(std::size_t(size) + 1, 0);
  DWORD got = size;
  if (RegQueryValueExA(key.get(), name, nullptr, &type, data.data(), &got) !=
      ERROR_SUCCESS) {
    return false;
  }
  text->assign(reinterpret_cast<const char*>(data.data()));
  return true;
}

LSTATUS WriteText(HKEY root, const std::string& subkey, const char* name,
                  const std::string& text) {
  ScopedKey key;
  LSTATUS status =
      RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, key.receive(), nullptr);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExA(key.get(), name, 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()),
                        DWORD(text.size() + 1));
}

bool IsEmptyKey(HKEY root, const std::string& subkey) {
  ScopedKey key;
  if (RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, key.receive()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD subkeys = 0, values = 0;
  if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                       &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  return subkeys == 0 && values == 0;
}

void DeleteIfEmpty(HKEY root, const std::string& subkey) {
  if (IsEmptyKey(root, subkey)) RegDeleteKeyA(root, subkey.c_str());
}

}  // namespace kova::com
