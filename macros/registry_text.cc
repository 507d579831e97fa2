#include "macros/registry_text.h"

#include "common/text.h"

namespace kova {

LONG QueryRegistryValue(HKEY root, const char* key_path, const char* value_name,
                        char* buffer, DWORD size, bool* key_opened) {
  *key_opened = false;
  if (buffer == nullptr) return ERROR_INVALID_PARAMETER;
  ScopedRegKey key;
  const LONG open_status =
      RegOpenKeyExA(root, key_path, 0, KEY_QUERY_VALUE, key.receive());
  if (open_status != ERROR_SUCCESS) return open_status;
  *key_opened = true;
  DWORD data_size = size;
  const LONG status = RegQueryValueExA(key.get(), value_name, nullptr, nullptr,
                                       reinterpret_cast<BYTE*>(buffer), &data_size);
  if (status != ERROR_SUCCESS) return status;
  // Text values carry their NUL; a binary value may not, and the readers treat the
  // buffer as text.
  if (data_size < size) {
    buffer[data_size] = '\0';
    return ERROR_SUCCESS;
  }
  if (size == 0 || buffer[size - 1] != '\0') return ERROR_MORE_DATA;
  return ERROR_SUCCESS;
}

RegistryText ReadRegistryText(HKEY root, const char* key_path, const char* value_name,
                              std::string* text) {
  text->clear();
  char buffer[kRegistryTextBufferSize] = {};
  bool key_opened = false;
  const LONG status =
      QueryRegistryValue(root, key_path, value_name, buffer, sizeof(buffer), &key_opened);
  if (!key_opened) return RegistryText::kKeyMissing;
  if (status != ERROR_SUCCESS) return RegistryText::kValueUnreadable;
  text->assign(BoundedText(buffer, sizeof(buffer)));
  return RegistryText::kRead;
}

}  // namespace kova
