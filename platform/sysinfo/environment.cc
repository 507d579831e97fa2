// Environment variables. Names are looked up as given first and then without
// regard to case, as the platform's names are case-insensitive.
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/os_path.h"
#include "errhandlingapi.h"
#include "processenv.h"
#include "sysinfo/ascii_text.h"
#include "winerror.h"

extern char** environ;

namespace {

// Serialises this module's reads and writes of the environment.
std::mutex& EnvironmentMutex() {
  static std::mutex mutex;
  return mutex;
}

// Caller holds EnvironmentMutex.
std::optional<std::string> LookUpLocked(std::string_view name) {
  if (name.empty() || name.find('=') != std::string_view::npos) return std::nullopt;
  if (const char* value = std::getenv(std::string(name).c_str())) return value;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    std::string_view text(*entry);
    const std::size_t eq = text.find('=');
    if (eq != std::string_view::npos &&
        kova::platform::EqualsIgnoreAsciiCase(text.substr(0, eq), name))
      return std::string(text.substr(eq + 1));
  }
  return std::nullopt;
}

// The platform's expansion: a reference whose name is undefined or empty keeps its
// first '%', and scanning goes on at its closing '%', which may open the next
// reference ("%%" and "%X%Y%" with only Y defined give "%%" and "%Xy").
std::string ExpandLocked(std::string_view source) {
  std::string result;
  std::size_t i = 0;
  while (i < source.size()) {
    const std::size_t percent = source.find('%', i);
    if (percent == std::string_view::npos) {
      result.append(source.substr(i));
      break;
    }
    result.append(source.substr(i, percent - i));
    const std::size_t close = source.find('%', percent + 1);
    if (close == std::string_view::npos) {
      result.append(source.substr(percent));
      break;
    }
    if (auto value = LookUpLocked(source.substr(percent + 1, close - percent - 1))) {
      result.append(*value);
      i = close + 1;
      continue;
    }
    result.push_back('%');
    i = percent + 1;
  }
  return result;
}

}  // namespace

// Reproduces the platform's expansion rules (see ExpandLocked) and return rule: the
// size of the result including the NUL, which exceeds nSize when the buffer is too
// small (the buffer is then left as it is). Pinned by environment_test.
extern "C" DWORD WINAPI ExpandEnvironmentStringsA(LPCSTR lpSrc, LPSTR lpDst,
                                                  DWORD nSize) {
  if (lpSrc == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::string expanded;
  {
    std::lock_guard<std::mutex> lock(EnvironmentMutex());
    expanded = ExpandLocked(lpSrc);
  }
  const DWORD needed = static_cast<DWORD>(expanded.size() + 1);
  if (lpDst == nullptr || needed > nSize) return needed;
  std::memcpy(lpDst, expanded.c_str(), needed);
  return needed;
}

// Returns the length without the NUL, or the size needed including it when the
// buffer is too small; a missing variable gives 0 and ERROR_ENVVAR_NOT_FOUND, a
// variable set to the empty text 0 and ERROR_SUCCESS. Pinned by environment_test.
extern "C" DWORD WINAPI GetEnvironmentVariableA(LPCSTR lpName, LPSTR lpBuffer,
                                                DWORD nSize) {
  std::optional<std::string> value;
  if (lpName != nullptr) {
    std::lock_guard<std::mutex> lock(EnvironmentMutex());
    value = LookUpLocked(lpName);
  }
  if (!value) {
    SetLastError(ERROR_ENVVAR_NOT_FOUND);
    return 0;
  }
  if (value->empty()) SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(
      kova::platform::CopyOutWithNeededSize(*value, lpBuffer, nSize));
}

// A null value removes the variable (removing a missing one succeeds); an empty or
// null name, or one containing '=', fails with ERROR_INVALID_PARAMETER.
// Pinned by environment_test.
extern "C" BOOL WINAPI SetEnvironmentVariableA(LPCSTR lpName, LPCSTR lpValue) {
  if (lpName == nullptr || *lpName == '\0' || std::strchr(lpName, '=') != nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard<std::mutex> lock(EnvironmentMutex());
  const int rc = lpValue == nullptr ? unsetenv(lpName) : setenv(lpName, lpValue, 1);
  if (rc != 0) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return FALSE;
  }
  return TRUE;
}
