#include "macros/replacer_sources.h"

#include <array>
#include <string_view>

#include "common/path_text.h"
#include "common/text.h"
#include "macros/registry_text.h"
#include "macros/replacers.h"
#include "shlobj.h"
#include "windows.h"

namespace kova::replacer_sources {

namespace {

constexpr char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

// The platform id of the 9x family has bit 0 set (VER_PLATFORM_WIN32_WINDOWS).
constexpr DWORD kWin9xPlatformBit = 1;

constexpr std::array<const char*, 20> kHomeDirectoryKeys = {
    "Software\\Corvanta\\Vintrel\\12.00\\Brevox",
    "Software\\Corvanta\\Vintrel\\11.00\\Brevox",
    "Software\\Corvanta\\Vintrel\\10.00\\Brevox",
    "Software\\Corvanta\\Vintrel\\9.00\\Brevox",
    "Software\\Corvanta\\Vintrel\\8.00\\Brevox",
    "Software\\Corvanta\\Vintrel\\7.11\\Brevox",
    "Software\\Corvanta\\Vintrel\\7.10\\Brevox",
    "Software\\Corvanta\\Vintrel\\7.00\\Brevox",
    "Software\\Corvanta\\Vintrel\\12.00\\Security",
    "Software\\Corvanta\\Vintrel\\11.00\\Security",
    "Software\\Corvanta\\Vintrel\\10.00\\Security",
    "Software\\Corvanta\\Vintrel\\9.00\\Security",
    "Software\\Corvanta\\Vintrel\\12.00\\Corvanta Neighborhood",
    "Software\\Corvanta\\Vintrel\\11.00\\Corvanta Neighborhood",
    "Software\\Corvanta\\Vintrel\\10.00\\Corvanta Neighborhood",
    "Software\\Corvanta\\Vintrel\\9.00\\Corvanta Neighborhood",
    "Software\\Corvanta\\Vintrel\\8.00\\Corvanta Neighborhood",
    "Software\\Corvanta\\Vintrel\\7.11\\Corvanta Neighborhood",
    "Software\\Corvanta\\Vintrel\\7.10\\Corvanta Neighborhood",
    "Software\\Corvanta\\Vintrel\\7.00\\Corvanta Neighborhood",
};
constexpr std::size_t kProductDirectoryKeyCount = 8;

// The text of a query that returns its length without the NUL, or the size it
// needs when the buffer is too small; nullopt for a failure or a result that does
// not fit.
std::optional<std::string> FittedText(DWORD result, const char* buffer) {
  if (result == 0 || result >= kApiBufferSize) return std::nullopt;
  return std::string(buffer, result);
}

// Frees a shell item list through the shell's allocator.
class ItemListOwner {
 public:
  ItemListOwner() = default;
  ~ItemListOwner() {
    if (list_ == nullptr) return;
    IMalloc* allocator = nullptr;
    if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return;
    allocator->Free(list_);
    allocator->Release();
  }
  ItemListOwner(const ItemListOwner&) = delete;
  ItemListOwner& operator=(const ItemListOwner&) = delete;

  LPITEMIDLIST* receive() { return &list_; }
  LPCITEMIDLIST get() const { return list_; }

 private:
  LPITEMIDLIST list_ = nullptr;
};

// The drive of the Windows directory ("C:"). A directory without a drive letter,
// as a POSIX path is, gives the empty text rather than its first two characters.
std::string WindowsDriveLetter() {
  std::string directory = WindowsDirectory();
  if (directory.size() < 2 || directory[1] != ':') return "";
  directory.resize(2);
  return directory;
}

}  // namespace

std::span<const char* const> ProductDirectoryKeys() {
  return std::span<const char* const>(kHomeDirectoryKeys)
      .first(kProductDirectoryKeyCount);
}

std::span<const char* const> HomeDirectoryKeys() { return kHomeDirectoryKeys; }

std::optional<std::string> VersionSearch(const char* value_name,
                                         std::span<const char* const> keys) {
  for (const char* key : keys) {
    for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
      std::string text;
      if (ReadRegistryText(root, key, value_name, &text) == RegistryText::kRead &&
          !text.empty())
        return text;
    }
  }
  return std::nullopt;
}

std::optional<std::string> ProgramFilesDir() {
  std::string text;
  if (ReadRegistryText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion",
                       "ProgramFilesDir", &text) == RegistryText::kKeyMissing)
    return std::nullopt;
  return text;
}

std::optional<std::string> DeploymentServerPath() {
  const std::string key = std::string("Software\\Classes\\CLSID\\") +
                          kDeploymentComponentClassId + "\\InprocServer32";
  std::string path;
  RegistryText read = ReadRegistryText(HKEY_CURRENT_USER, key.c_str(), nullptr, &path);
  if (read == RegistryText::kKeyMissing)
    read = ReadRegistryText(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, &path);
  if (read == RegistryText::kKeyMissing) return std::nullopt;
  return ShortPath(path).value_or(path);
}

std::optional<std::string> ShortPath(const std::string& path) {
  char buffer[kApiBufferSize] = {};
  return FittedText(GetShortPathNameA(path.c_str(), buffer, kApiBufferSize), buffer);
}

bool IsWin9xFamily() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  if (!GetVersionExA(&version)) return false;
  return (version.dwPlatformId & kWin9xPlatformBit) != 0;
}

std::string SystemDirectory() {
  char buffer[kApiBufferSize] = {};
  return FittedText(GetSystemDirectoryA(buffer, kApiBufferSize), buffer).value_or("");
}

std::string WindowsDirectory() {
  char buffer[kApiBufferSize] = {};
  return FittedText(GetWindowsDirectoryA(buffer, kApiBufferSize), buffer).value_or("");
}

std::string TempDirectory() {
  char buffer[kApiBufferSize] = {};
  return StripTrailingBackslash(
      FittedText(GetTempPathA(kApiBufferSize, buffer), buffer).value_or(""));
}

std::string WindowsDrive() {
  std::string directory = WindowsDirectory();
  const std::size_t colon = directory.find(':');
  if (colon != std::string::npos) directory.resize(colon + 1);
  return directory;
}

std::string Rundll32Path() {
  const std::string directory = IsWin9xFamily() ? WindowsDirectory() : SystemDirectory();
  return StripTrailingBackslash(directory) + "\\rundll32.exe";
}

std::string UserName() {
  char buffer[kApiBufferSize] = {};
  DWORD size = kApiBufferSize;
  if (!GetUserNameA(buffer, &size)) return "User";
  return std::string(BoundedText(buffer, kApiBufferSize));
}

std::string ShellFolder(const char* folder, bool all_users) {
  const HKEY root =
      all_users && !IsWin9xFamily() ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  std::string text;
  (void)ReadRegistryText(root, kShellFoldersKey, folder, &text);
  return text;
}

std::string AppDataFolder(bool all_users) {
  std::string text;
  if (!all_users || IsWin9xFamily()) {
    if (ReadRegistryText(HKEY_CURRENT_USER, kShellFoldersKey, "AppData", &text) ==
        RegistryText::kRead)
      return text;
    return WindowsDriveLetter();
  }

  const bool first_read =
      ReadRegistryText(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common AppData", &text) ==
      RegistryText::kRead;
  if (first_read && !text.empty()) return text;

  // The all-users start menu's sibling folder stands in for a missing
  // "Common AppData"; it is created on the way.
  std::string derived;
  std::string start_menu;
  if (ReadRegistryText(HKEY_LOCAL_MACHINE, kShellFoldersKey, "Common Start Menu",
                       &start_menu) == RegistryText::kRead) {
    const std::size_t last = start_menu.rfind('\\');
    if (last != std::string::npos)
      derived = start_menu.substr(0, last + 1) + "Application Data";
    if (derived.size() >= kApiBufferSize) derived.clear();
  }
  if (!derived.empty() && CreateDirectoryA(derived.c_str(), nullptr)) return derived;
  if (first_read) return derived;
  return WindowsDriveLetter();
}

std::string DocumentsFolder() {
  ItemListOwner list;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, list.receive())) ||
      list.get() == nullptr)
    return "";
  char path[MAX_PATH] = {};
  if (!SHGetPathFromIDListA(list.get(), path)) return "";
  return std::string(BoundedText(path, sizeof(path)));
}

bool IsX86Machine() {
  std::string architecture;
  return ReadRegistryText(
             HKEY_LOCAL_MACHINE,
             "SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment",
             "PROCESSOR_ARCHITECTURE", &architecture) == RegistryText::kRead &&
         architecture == "x86";
}

std::string DefaultSoundFolder() {
  for (const char* event_key : {"AppEvents\\Schemes\\Apps\\.Default\\SystemExclamation",
                                "AppEvents\\Schemes\\Apps\\.Default\\SystemStart"}) {
    ScopedRegKey key;
    if (RegOpenKeyA(HKEY_CURRENT_USER, event_key, key.receive()) != ERROR_SUCCESS)
      continue;
    char buffer[kApiBufferSize] = {};
    LONG size = kApiBufferSize;
    const LONG status = RegQueryValueA(key.get(), ".Default", buffer, &size);
    if (status != ERROR_SUCCESS) continue;
    const std::string_view file = BoundedText(buffer, sizeof(buffer));
    if (file.empty()) continue;
    return CutAtLastBackslash(file);
  }
  return "";
}

}  // namespace kova::replacer_sources
