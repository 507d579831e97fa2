// The private-profile functions of winbase.h over the parsed form and the store.
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#include "base/posix_error.h"
#include "errhandlingapi.h"
#include "profile/profile_store.h"
#include "profile/profile_text.h"
#include "winbase.h"
#include "winerror.h"

namespace {

using kova::platform::profile::LoadProfile;
using kova::platform::profile::LoadResult;
using kova::platform::profile::Profile;
using kova::platform::profile::ProfileEdit;
using kova::platform::profile::ResolveProfilePath;
using kova::platform::profile::StripOneQuotePair;
using kova::platform::profile::TrimBlanks;
using kova::platform::profile::TrimTrailingBlanks;

// Copies a value into a buffer of size > 0, cut to size - 1 characters.
DWORD CopyValue(std::string_view text, char* buffer, DWORD size) {
  std::size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<DWORD>(n);
}

// Copies a double-NUL list into a buffer of size > 0. A list counts as fitting only
// with a character to spare; otherwise it is cut to size - 2 characters, ends with
// two NULs and the result is size - 2, as the platform does.
DWORD CopyList(const std::vector<std::string_view>& names, char* buffer, DWORD size) {
  std::size_t total = 0;
  for (std::string_view name : names) total += name.size() + 1;
  if (total + 1 < size) {
    char* out = buffer;
    for (std::string_view name : names) {
      std::memcpy(out, name.data(), name.size());
      out += name.size();
      *out++ = '\0';
    }
    *out = '\0';
    return static_cast<DWORD>(total);
  }
  if (size == 1) {
    buffer[0] = '\0';
    return 0;
  }
  std::size_t room = size - 2;
  char* out = buffer;
  for (std::string_view name : names) {
    if (room == 0) break;
    std::size_t n = name.size() < room ? name.size() : room;
    std::memcpy(out, name.data(), n);
    out += n;
    room -= n;
    if (room == 0) break;
    *out++ = '\0';
    --room;
  }
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

// The parsed file for a read, or null with the last error set (2 for a missing
// file, 3 for a missing folder).
std::shared_ptr<const Profile> LoadForRead(LPCSTR file_name) {
  std::optional<std::string> os_path = ResolveProfilePath(file_name);
  if (!os_path) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  LoadResult loaded = LoadProfile(*os_path);
  if (!loaded.profile)
    kova::platform::SetLastErrorFromPathErrno(loaded.error, os_path->c_str());
  return loaded.profile;
}

// The value as read: trimmed, one pair of enclosing quotes removed.
std::optional<std::string_view> FindValue(const Profile& profile, LPCSTR section,
                                          LPCSTR key) {
  const Profile::Section* found = profile.FindSection(TrimBlanks(section));
  if (found == nullptr) return std::nullopt;
  const Profile::Key* entry = Profile::FindKey(*found, TrimBlanks(key));
  if (entry == nullptr) return std::nullopt;
  return StripOneQuotePair(entry->value);
}

DWORD GetProfileText(LPCSTR app, LPCSTR key, LPCSTR default_text, LPSTR buffer,
                     DWORD size, LPCSTR file_name) {
  const std::string_view fallback = TrimTrailingBlanks(default_text ? default_text : "");
  std::shared_ptr<const Profile> profile = LoadForRead(file_name);
  if (app == nullptr)
    return CopyList(profile ? profile->SectionNames() : std::vector<std::string_view>{},
                    buffer, size);
  if (!profile) return CopyValue(fallback, buffer, size);
  if (key == nullptr) {
    // A section without listable keys, or no such section, gives the default.
    const Profile::Section* section = profile->FindSection(TrimBlanks(app));
    std::vector<std::string_view> names;
    if (section != nullptr) names = Profile::KeyNames(*section);
    if (names.empty()) return CopyValue(fallback, buffer, size);
    return CopyList(names, buffer, size);
  }
  std::optional<std::string_view> value = FindValue(*profile, app, key);
  return CopyValue(value ? *value : fallback, buffer, size);
}

// An optional sign, then decimal digits, or hexadecimal ones after a lower-case
// "0x", up to the first other character; wraps modulo 2^32.
UINT ParseProfileInt(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && kova::platform::profile::IsBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
    negative = text[pos++] == '-';
  std::uint32_t base = 10;
  if (text.substr(pos, 2) == "0x") {
    base = 16;
    pos += 2;
  }
  std::uint32_t result = 0;
  for (; pos < text.size(); ++pos) {
    char c = text[pos];
    std::uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    } else {
      break;
    }
    result = result * base + digit;
  }
  return negative ? 0u - result : result;
}

}  // namespace

// Reproduces the platform's reading rules: trimmed names compared without case,
// the first duplicate winning, one quote pair stripped, values cut to nSize - 1,
// key and section lists as double-NUL lists cut to nSize - 2, the default (trailing
// blanks removed) for anything missing, last error 2 for a missing file. Pinned
// by profile_test (ReadTest, ListTest).
extern "C" DWORD WINAPI GetPrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                                 LPCSTR lpDefault, LPSTR lpReturnedString,
                                                 DWORD nSize, LPCSTR lpFileName) {
  if (lpReturnedString == nullptr || nSize == 0) return 0;
  try {
    return GetProfileText(lpAppName, lpKeyName, lpDefault, lpReturnedString, nSize,
                          lpFileName);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    lpReturnedString[0] = '\0';
    return 0;
  }
}

// Reproduces the platform's number rule on the value as GetPrivateProfileStringA
// reads it; an empty or missing value gives nDefault. Pinned by profile_test
// (IntTest).
extern "C" UINT WINAPI GetPrivateProfileIntA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                             INT nDefault, LPCSTR lpFileName) {
  const UINT fallback = static_cast<UINT>(nDefault);
  if (lpAppName == nullptr || lpKeyName == nullptr) return fallback;
  try {
    std::shared_ptr<const Profile> profile = LoadForRead(lpFileName);
    if (!profile) return fallback;
    std::optional<std::string_view> value = FindValue(*profile, lpAppName, lpKeyName);
    if (!value || value->empty()) return fallback;
    return ParseProfileInt(*value);
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return fallback;
  }
}

// As GetPrivateProfileStringA with a null section. Pinned by profile_test (ListTest).
extern "C" DWORD WINAPI GetPrivateProfileSectionNamesA(LPSTR lpszReturnBuffer,
                                                       DWORD nSize, LPCSTR lpFileName) {
  return GetPrivateProfileStringA(nullptr, nullptr, nullptr, lpszReturnBuffer, nSize,
                                  lpFileName);
}

// Reproduces the platform's writing rules: a new key at the end of its section, a
// new section at the end of the file, an existing key rewritten in place, removals
// of the first key or section of the name, untouched lines kept byte for byte, no
// write at all when nothing changes, CRLF for a new file. Unlike the platform the
// file is replaced atomically (see WriteProfile), and a text that could not be read
// back as written (a line break anywhere, a key holding '=' or starting with ';' or
// '[') is refused with ERROR_INVALID_PARAMETER instead of damaging the file. Pinned
// by profile_test (WriteTest) and profile_process_test.
extern "C" BOOL WINAPI WritePrivateProfileStringA(LPCSTR lpAppName, LPCSTR lpKeyName,
                                                  LPCSTR lpString, LPCSTR lpFileName) {
  try {
    if (lpFileName != nullptr && lpFileName[0] == '\0') {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    if (lpAppName == nullptr) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return FALSE;
    }
    ProfileEdit edit{TrimBlanks(lpAppName), std::nullopt, std::nullopt};
    if (lpKeyName != nullptr) edit.key = TrimBlanks(lpKeyName);
    if (lpKeyName != nullptr && lpString != nullptr)
      edit.value = std::string_view(lpString);
    if (!IsWritableEdit(edit)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    std::optional<std::string> os_path = ResolveProfilePath(lpFileName);
    return os_path && kova::platform::profile::WriteProfile(*os_path, edit) ? TRUE
                                                                            : FALSE;
  } catch (...) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
}
