// The shell's special folders: SHGetSpecialFolderLocation, SHGetPathFromIDListA
// and SHGetMalloc. Pinned by special_folders_test.cc.
//
// An item identifier list here has the platform's outer layout: one item (a
// 16-bit size that counts itself, then the OS path with its NUL) and the
// terminating zero size, in one block from the task allocator.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "base/os_path.h"
#include "combaseapi.h"
#include "shlobj.h"
#include "winerror.h"

namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

std::string HomeFolder() {
  std::string home = Env("HOME");
  if (!home.empty()) return home;
  const struct passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "/";
}

std::string FirstSet(const char* variable, const std::string& fallback) {
  std::string value = Env(variable);
  return value.empty() ? fallback : value;
}

// shlobj.h documents these places.
std::optional<std::string> SpecialFolder(int csidl) {
  switch (csidl) {
    case CSIDL_DESKTOP:
      return FirstSet("XDG_DESKTOP_DIR", HomeFolder() + "/Desktop");
    case CSIDL_PERSONAL: {
      std::string documents = Env("KOVA_DOCUMENTS_DIR");
      if (!documents.empty()) return documents;
      return FirstSet("XDG_DOCUMENTS_DIR", HomeFolder() + "/Documents");
    }
    case CSIDL_APPDATA:
      return FirstSet("XDG_CONFIG_HOME", HomeFolder() + "/.config");
    case CSIDL_LOCAL_APPDATA:
      return FirstSet("XDG_DATA_HOME", HomeFolder() + "/.local/share");
    case CSIDL_COMMON_APPDATA:
      return std::string("/var/lib");
    case CSIDL_PROGRAM_FILES:
      return std::string("/usr/lib");
    default:
      return std::nullopt;
  }
}

void CreateFolders(const std::string& os_path) {
  for (std::string::size_type end = os_path.find('/', 1);;
       end = os_path.find('/', end + 1)) {
    mkdir(os_path.substr(0, end).c_str(), 0700);  // an existing folder is fine
    if (end == std::string::npos) return;
  }
}

}  // namespace

extern "C" HRESULT WINAPI SHGetSpecialFolderLocation(HWND, int csidl,
                                                     LPITEMIDLIST* ppidl) {
  if (ppidl == nullptr) return E_INVALIDARG;
  *ppidl = nullptr;
  const std::optional<std::string> folder = SpecialFolder(csidl & ~CSIDL_FLAG_MASK);
  if (!folder) return E_INVALIDARG;
  if (csidl & CSIDL_FLAG_CREATE) CreateFolders(*folder);
  const std::size_t item_size = sizeof(std::uint16_t) + folder->size() + 1;
  if (item_size > 0xFFFF) return E_INVALIDARG;
  auto* block =
      static_cast<unsigned char*>(CoTaskMemAlloc(item_size + sizeof(std::uint16_t)));
  if (block == nullptr) return E_OUTOFMEMORY;
  const auto size = static_cast<std::uint16_t>(item_size);
  const std::uint16_t terminator = 0;
  std::memcpy(block, &size, sizeof size);
  std::memcpy(block + sizeof size, folder->c_str(), folder->size() + 1);
  std::memcpy(block + item_size, &terminator, sizeof terminator);
  *ppidl = reinterpret_cast<LPITEMIDLIST>(block);
  return S_OK;
}

// Copies the folder in the system's form into pszPath (MAX_PATH characters).
// FALSE, with an empty pszPath, for an empty list or a path that does not fit.
extern "C" BOOL WINAPI SHGetPathFromIDListA(LPCITEMIDLIST pidl, LPSTR pszPath) {
  if (pszPath == nullptr) return FALSE;
  pszPath[0] = '\0';
  if (pidl == nullptr) return FALSE;
  const auto* block = reinterpret_cast<const unsigned char*>(pidl);
  std::uint16_t size;
  std::memcpy(&size, block, sizeof size);
  if (size <= sizeof size) return FALSE;
  const char* text = reinterpret_cast<const char*>(block + sizeof size);
  const std::string path =
      kova::platform::FromOsPath(std::string(text, strnlen(text, size - sizeof size)));
  if (path.size() >= MAX_PATH) return FALSE;
  std::memcpy(pszPath, path.c_str(), path.size() + 1);
  return TRUE;
}

// The shell's allocator is the task allocator, as on the platform.
extern "C" HRESULT WINAPI SHGetMalloc(IMalloc** ppMalloc) {
  if (ppMalloc == nullptr) return E_INVALIDARG;
  return CoGetMalloc(1, ppMalloc);
}
