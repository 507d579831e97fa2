// The Windows and system folders. There are none on Linux, so both come from
// documented, overridable defaults (sysinfoapi.h).
#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "base/os_path.h"
#include "sysinfoapi.h"

namespace {

std::string WindowsFolder() {
  if (const char* dir = std::getenv("KOVA_WINDOWS_DIR"); dir && *dir) return dir;
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "/tmp") + "/.local/share/corvanta/windows";
}

std::string SystemFolder() {
  if (const char* dir = std::getenv("KOVA_SYSTEM_DIR"); dir && *dir) return dir;
  Dl_info info;
  if (dladdr(reinterpret_cast<void*>(&GetSystemDirectoryA), &info) && info.dli_fname) {
    std::string path = info.dli_fname;
    std::string::size_type slash = path.rfind('/');
    if (slash != std::string::npos) return path.substr(0, slash == 0 ? 1 : slash);
  }
  return "/usr/lib";
}

UINT CopyFolder(const std::string& os_path, LPSTR buffer, UINT size) {
  std::string path = kova::platform::FromOsPath(os_path);
  while (path.size() > 1 && path.back() == '\\') path.pop_back();
  return static_cast<UINT>(kova::platform::CopyOutWithNeededSize(path, buffer, size));
}

}  // namespace

// Reproduces the platform's return rule: length without the NUL, or the size needed
// including it when uSize is too small. Pinned by sysinfo_test.
extern "C" UINT WINAPI GetWindowsDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyFolder(WindowsFolder(), lpBuffer, uSize);
}

extern "C" UINT WINAPI GetSystemDirectoryA(LPSTR lpBuffer, UINT uSize) {
  return CopyFolder(SystemFolder(), lpBuffer, uSize);
}
