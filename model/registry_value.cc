#include "model/registry_value.h"

#include <cstring>

#include "common/text.h"

namespace kova {

namespace {

[[nodiscard]] bool QueryValue(HKEY key, const char* name, DWORD* type,
                              BYTE (&buffer)[kRegistryValueBufferSize], DWORD* size) {
  *size = kRegistryValueBufferSize;
  std::memset(buffer, 0, sizeof(buffer));
  return RegQueryValueExA(key, name, nullptr, type, buffer, size) == ERROR_SUCCESS;
}

}  // namespace

bool ReadValueText(HKEY key, const char* name, std::string* text) {
  BYTE buffer[kRegistryValueBufferSize];
  DWORD type = 0;
  DWORD size = 0;
  if (!QueryValue(key, name, &type, buffer, &size)) return false;
  if (size > kRegistryValueBufferSize) size = kRegistryValueBufferSize;
  *text = std::string(BoundedText(reinterpret_cast<const char*>(buffer), size));
  return true;
}

bool ReadValueDword(HKEY key, const char* name, DWORD* value) {
  BYTE buffer[kRegistryValueBufferSize];
  DWORD type = 0;
  DWORD size = 0;
  if (!QueryValue(key, name, &type, buffer, &size)) return false;
  if (type != REG_DWORD || size != sizeof(DWORD)) return false;
  std::memcpy(value, buffer, sizeof(DWORD));
  return true;
}

}  // namespace kova
