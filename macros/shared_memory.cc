#include "macros/shared_memory.h"

#include <cstring>
#include <string_view>

namespace kova {

std::string FormatBlockName(const char* format) {
  std::string name = format != nullptr ? format : "";
  constexpr std::string_view kPidField = "%08ld";
  const std::size_t field = name.find(kPidField);
  if (field != std::string::npos) {
    std::string digits = std::to_string(GetCurrentProcessId());
    if (digits.size() < 8) digits.insert(0, 8 - digits.size(), '0');
    name.replace(field, kPidField.size(), digits);
  }
  if (name.size() > kMaxBlockNameLength) name.resize(kMaxBlockNameLength);
  return name;
}

bool CreateNamedSharedMemory(const char* name, DWORD size, HANDLE* handle, void** view) {
  if (handle == nullptr || view == nullptr) return false;
  *handle = nullptr;
  *view = nullptr;
  std::string block_name = name != nullptr && *name != '\0'
                               ? std::string(name)
                               : FormatBlockName(kFileMappingBlockFormat);
  if (block_name.size() > kMaxBlockNameLength) block_name.resize(kMaxBlockNameLength);

  SetLastError(ERROR_SUCCESS);
  *handle = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size,
                               block_name.c_str());
  if (*handle == nullptr) return false;
  // Taken before mapping, so that the mapping call cannot disturb it.
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  *view = MapViewOfFile(*handle, FILE_MAP_WRITE, 0, 0, size);
  if (existed) return false;
  if (*view != nullptr) std::memset(*view, 0, size);
  return true;
}

}  // namespace kova
