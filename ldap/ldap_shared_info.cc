#include "ldap/ldap_shared_info.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "macros/shared_memory.h"

namespace kova {

namespace {

std::string BlockName(const std::string& kovaName) {
  std::string name = kLDAPInfoBlockFormat;
  name.replace(name.find("%s"), 2, kovaName);
  return name;
}

}  // namespace

CLDAPSharedInfo::CLDAPSharedInfo(const std::string& kovaName)
    : name_(BlockName(kovaName)) {}

CLDAPSharedInfo::~CLDAPSharedInfo() { Close(); }

BOOL CLDAPSharedInfo::Open() {
  if (view_ != nullptr) return TRUE;
  HANDLE mapping = nullptr;
  void* view = nullptr;
  // Whether the block is new does not matter: a new one is zero-filled.
  (void)CreateNamedSharedMemory(name_.c_str(), kLDAPInfoBlockSize, &mapping, &view);
  if (view == nullptr) {
    if (mapping != nullptr) CloseHandle(mapping);
    return FALSE;
  }
  mapping_ = mapping;
  view_ = static_cast<unsigned char*>(view);
  return TRUE;
}

void CLDAPSharedInfo::Close() {
  if (view_ != nullptr) UnmapViewOfFile(view_);
  if (mapping_ != nullptr) CloseHandle(mapping_);
  view_ = nullptr;
  mapping_ = nullptr;
}

std::string CLDAPSharedInfo::ReadText(std::size_t offset) {
  if (!Open()) return std::string();
  char field[kLDAPInfoTextSize];
  std::memcpy(field, view_ + offset, sizeof field);
  const char* end = std::find(field, field + kLDAPInfoTextSize - 1, '\0');
  return std::string(field, std::size_t(end - field));
}

void CLDAPSharedInfo::WriteText(std::size_t offset, const std::string& text) {
  if (!Open()) return;
  char field[kLDAPInfoTextSize] = {};
  std::memcpy(field, text.data(), std::min(text.size(), kLDAPInfoTextSize - 1));
  std::memcpy(view_ + offset, field, sizeof field);
}

ULONG CLDAPSharedInfo::ReadValue(std::size_t offset) {
  if (!Open()) return 0;
  std::uint32_t value = 0;
  std::memcpy(&value, view_ + offset, sizeof value);
  return value;
}

void CLDAPSharedInfo::WriteValue(std::size_t offset, ULONG value) {
  if (!Open()) return;
  const std::uint32_t field = static_cast<std::uint32_t>(value);
  std::memcpy(view_ + offset, &field, sizeof field);
}

std::string CLDAPSharedInfo::GetUserName() { return ReadText(kLDAPInfoUserNameOffset); }

void CLDAPSharedInfo::SetUserName(const std::string& userName) {
  WriteText(kLDAPInfoUserNameOffset, userName);
}

std::string CLDAPSharedInfo::GetPassword() { return ReadText(kLDAPInfoPasswordOffset); }

void CLDAPSharedInfo::SetPassword(const std::string& password) {
  WriteText(kLDAPInfoPasswordOffset, password);
}

ULONG CLDAPSharedInfo::GetLastLDAPError() { return ReadValue(kLDAPInfoLastErrorOffset); }

void CLDAPSharedInfo::SetLastLDAPError(ULONG code) {
  WriteValue(kLDAPInfoLastErrorOffset, code);
}

BOOL CLDAPSharedInfo::IsCancelled() {
  return ReadValue(kLDAPInfoCancelledOffset) != 0 ? TRUE : FALSE;
}

void CLDAPSharedInfo::SetCancelled(BOOL cancelled) {
  WriteValue(kLDAPInfoCancelledOffset, cancelled ? 1 : 0);
}

}  // namespace kova
