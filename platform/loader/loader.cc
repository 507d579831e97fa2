// Modules over the dynamic loader. An HMODULE is the loader's handle, which in
// glibc is the module's link map: LoadLibraryA, GetModuleHandleA and
// GetModuleHandleExA therefore agree on the handle of a module, and a handle is
// checked against the list of loaded modules before it is used.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/os_path.h"
#include "errhandlingapi.h"
#include "libloaderapi.h"
#include "sysinfo/ascii_text.h"
#include "sysinfoapi.h"
#include "winerror.h"

namespace {

using kova::platform::FromOsPath;
using kova::platform::ToLowerAscii;
using kova::platform::ToOsPath;

// The platform libraries whose functions the stand-in provides itself.
constexpr std::string_view kSystemLibraries[] = {
    "kernel32.dll", "advapi32.dll", "user32.dll",  "shell32.dll",
    "ole32.dll",    "oleaut32.dll", "dbghelp.dll", "imagehlp.dll"};

constexpr int kLoadFlags = RTLD_NOW | RTLD_LOCAL;

link_map* MainModule() {
  static link_map* const main_module = [] {
    link_map* map = nullptr;
    if (void* handle = dlopen(nullptr, RTLD_NOW)) dlinfo(handle, RTLD_DI_LINKMAP, &map);
    return map;
  }();
  return main_module;
}

// Whether `handle` is the link map of a loaded module. The list is walked while
// the loader's lock is held (dl_iterate_phdr takes it), so that a module being
// unloaded on another thread is not followed.
bool IsLoadedModule(const void* handle) {
  if (handle == nullptr) return false;
  struct Search {
    link_map* first;
    const void* handle;
    bool found;
  } search{MainModule(), handle, false};
  dl_iterate_phdr(
      [](dl_phdr_info*, std::size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        for (link_map* map = s->first; map != nullptr; map = map->l_next) {
          if (map == s->handle) {
            s->found = true;
            break;
          }
        }
        return 1;
      },
      &search);
  return search.found;
}

std::string MainProgramPath() {
  std::string path(4096, '\0');
  const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
  path.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
  return path;
}

// The OS path of a loaded module (the main program's has no name in its map).
std::string ModulePath(const link_map* map) {
  if (map == MainModule() || map->l_name == nullptr || *map->l_name == '\0')
    return MainProgramPath();
  return map->l_name;
}

// The module that contains `address`, or null.
link_map* ModuleOfAddress(const void* address) {
  Dl_info info;
  link_map* map = nullptr;
  if (dladdr1(address, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0)
    return nullptr;
  return map;
}

// Takes a reference on a module that is already loaded; returns its handle.
void* ReferenceModule(link_map* map) {
  if (map == MainModule()) return dlopen(nullptr, RTLD_NOW);
  return dlopen(map->l_name, RTLD_NOW | RTLD_NOLOAD);
}

// The shared-library file names a module name stands for: "x.dll" and "x" (the
// platform supplies ".dll") are "libx.so"; "x." is the file "x"; a name with
// another extension is the file itself. Each as given, then in lower case, as
// the platform's names ignore case.
std::vector<std::string> FileCandidates(std::string_view base) {
  std::string file;
  const std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos) {
    file = "lib" + std::string(base) + ".so";
  } else if (ToLowerAscii(base.substr(dot)) == ".dll") {
    file = "lib" + std::string(base.substr(0, dot)) + ".so";
  } else if (dot + 1 == base.size()) {
    file = std::string(base.substr(0, dot));
  } else {
    file = std::string(base);
  }
  std::vector<std::string> candidates{file};
  if (std::string lower = ToLowerAscii(file); lower != file) candidates.push_back(lower);
  return candidates;
}

struct ModuleName {
  std::string folder;  // OS form, empty without a folder part
  std::string base;
};

// The folder part of an OS path ("/" for the root), or the empty text.
std::string FolderOf(const std::string& os_path) {
  const std::size_t slash = os_path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : os_path.substr(0, slash);
}

ModuleName SplitModuleName(std::string_view name) {
  const std::string os_name = ToOsPath(name);
  return {FolderOf(os_name), os_name.substr(os_name.rfind('/') + 1)};
}

bool IsSystemLibrary(const ModuleName& name) {
  if (!name.folder.empty()) return false;
  const std::string lower = ToLowerAscii(name.base);
  for (std::string_view system : kSystemLibraries) {
    if (lower == system || lower + ".dll" == system) return true;
  }
  return false;
}

link_map* StandInModule() {
  return ModuleOfAddress(reinterpret_cast<const void*>(&LoadLibraryA));
}

std::string JoinOsPath(const std::string& folder, const std::string& file) {
  return folder == "/" ? "/" + file : folder + "/" + file;
}

// A loaded module whose file is one of `candidates`: in `folder` when given,
// else in any folder (the platform reuses a loaded module of the same name).
link_map* FindLoadedModule(const ModuleName& name,
                           const std::vector<std::string>& candidates) {
  struct Search {
    const ModuleName* name;
    const std::vector<std::string>* candidates;
    std::vector<std::string> paths;
  } search{&name, &candidates, {}};
  dl_iterate_phdr(
      [](dl_phdr_info* info, std::size_t, void* data) {
        auto* s = static_cast<Search*>(data);
        if (info->dlpi_name == nullptr || *info->dlpi_name == '\0') return 0;
        const std::string_view path(info->dlpi_name);
        const std::size_t slash = path.rfind('/');
        const std::string_view file =
            slash == std::string_view::npos ? path : path.substr(slash + 1);
        for (const std::string& candidate : *s->candidates) {
          if (file != candidate) continue;
          if (s->name->folder.empty() || path == JoinOsPath(s->name->folder, candidate))
            s->paths.emplace_back(path);
        }
        return 0;
      },
      &search);
  for (const std::string& path : search.paths) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr) continue;
    dlclose(handle);
    return static_cast<link_map*>(handle);
  }
  return nullptr;
}

void* TryLoad(const std::string& os_path) { return dlopen(os_path.c_str(), kLoadFlags); }

HMODULE LoadModule(LPCSTR module_name, const void* caller) {
  const ModuleName name = SplitModuleName(module_name);
  if (name.base.empty()) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (IsSystemLibrary(name)) {
    if (link_map* self = StandInModule())
      return static_cast<HMODULE>(ReferenceModule(self));
  }
  const std::vector<std::string> candidates = FileCandidates(name.base);
  void* handle = nullptr;
  if (link_map* loaded = FindLoadedModule(name, candidates))
    handle = ReferenceModule(loaded);
  if (handle == nullptr && !name.folder.empty()) {
    for (const std::string& file : candidates) {
      if ((handle = TryLoad(JoinOsPath(name.folder, file))) != nullptr) break;
    }
  }
  if (handle == nullptr && name.folder.empty()) {
    // The folder of the module that asks, the system folder, then the library path.
    std::vector<std::string> folders;
    if (link_map* asking = ModuleOfAddress(caller))
      folders.push_back(FolderOf(ModulePath(asking)));
    char system[4096];
    const UINT length = GetSystemDirectoryA(system, sizeof system);
    if (length > 0 && length < sizeof system) folders.push_back(ToOsPath(system));
    for (const std::string& folder : folders) {
      for (const std::string& file : candidates) {
        if (handle == nullptr && !folder.empty())
          handle = TryLoad(JoinOsPath(folder, file));
      }
    }
    for (const std::string& file : candidates) {
      if (handle == nullptr) handle = TryLoad(file);
    }
  }
  if (handle == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
  return static_cast<HMODULE>(handle);
}

// The loaded module a name stands for, without loading anything or taking a
// reference; null when it is not loaded.
link_map* ModuleOfName(LPCSTR module_name) {
  if (module_name == nullptr) return MainModule();
  const ModuleName name = SplitModuleName(module_name);
  if (name.base.empty()) return nullptr;
  if (IsSystemLibrary(name)) return StandInModule();
  return FindLoadedModule(name, FileCandidates(name.base));
}

link_map* ModuleOfHandle(HMODULE module) {
  if (module == nullptr) return MainModule();
  return IsLoadedModule(module) ? reinterpret_cast<link_map*>(module) : nullptr;
}

}  // namespace

// Reproduces the platform's search (see libloaderapi.h): the folder of the
// calling module first, then the library path; each call takes a reference that
// FreeLibrary gives back. Failure gives null and ERROR_MOD_NOT_FOUND.
// Pinned by loader_test.
extern "C" HMODULE WINAPI LoadLibraryA(LPCSTR lpLibFileName) {
  // Read here, in the exported function, where the return address is the caller's.
  const void* caller = __builtin_return_address(0);
  if (lpLibFileName == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return LoadModule(lpLibFileName, caller);
}

// A null or unknown handle gives FALSE and ERROR_INVALID_HANDLE; the module is
// unloaded when its last reference goes. Pinned by loader_test.
extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
  if (!IsLoadedModule(hLibModule) || dlclose(hLibModule) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

// Finds only what the module itself exports, as the platform's export table
// would: a symbol that the loader finds in one of the module's dependencies does
// not count. Ordinal n is the symbol "kova_ordinal_<n>". An unknown handle gives
// ERROR_MOD_NOT_FOUND, a missing export ERROR_PROC_NOT_FOUND. Pinned by loader_test.
extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
  link_map* module = ModuleOfHandle(hModule);
  if (module == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  if (lpProcName == nullptr || (IS_INTRESOURCE(lpProcName) && LOWORD(lpProcName) == 0)) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  char ordinal_name[32];
  const char* symbol = lpProcName;
  if (IS_INTRESOURCE(lpProcName)) {
    std::snprintf(ordinal_name, sizeof ordinal_name, "kova_ordinal_%u",
                  static_cast<unsigned>(LOWORD(lpProcName)));
    symbol = ordinal_name;
  }
  void* address = dlsym(module, symbol);
  if (address == nullptr || ModuleOfAddress(address) != module) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(address);
}

// Reproduces the platform's rule for a buffer too small: the path is cut to
// nSize - 1 characters and NUL-terminated, nSize is returned and the last error is
// ERROR_INSUFFICIENT_BUFFER. The path has backslashes. Pinned by loader_test.
extern "C" DWORD WINAPI GetModuleFileNameA(HMODULE hModule, LPSTR lpFilename,
                                           DWORD nSize) {
  link_map* module = ModuleOfHandle(hModule);
  if (module == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return 0;
  }
  if (lpFilename == nullptr && nSize > 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const std::string path = FromOsPath(ModulePath(module));
  if (path.size() < nSize) {
    std::memcpy(lpFilename, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
  }
  if (nSize > 0) {
    std::memcpy(lpFilename, path.data(), nSize - 1);
    lpFilename[nSize - 1] = '\0';
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return nSize;
}

// A loaded module by name (no reference taken), null for the main program;
// not loaded gives null and ERROR_MOD_NOT_FOUND. Pinned by loader_test.
extern "C" HMODULE WINAPI GetModuleHandleA(LPCSTR lpModuleName) {
  link_map* module = ModuleOfName(lpModuleName);
  if (module == nullptr) SetLastError(ERROR_MOD_NOT_FOUND);
  return reinterpret_cast<HMODULE>(module);
}

// As GetModuleHandleA, or by an address inside the module with
// GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS; takes a reference unless
// GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT, or keeps the module loaded for
// good with GET_MODULE_HANDLE_EX_FLAG_PIN. Pinned by loader_test.
extern "C" BOOL WINAPI GetModuleHandleExA(DWORD dwFlags, LPCSTR lpModuleName,
                                          HMODULE* phModule) {
  constexpr DWORD kKnownFlags = GET_MODULE_HANDLE_EX_FLAG_PIN |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT |
                                GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
  const bool pin = dwFlags & GET_MODULE_HANDLE_EX_FLAG_PIN;
  const bool unchanged = dwFlags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  if (phModule != nullptr) *phModule = nullptr;
  if (phModule == nullptr || (dwFlags & ~kKnownFlags) || (pin && unchanged)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  link_map* module = (dwFlags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
                         ? ModuleOfAddress(lpModuleName)
                         : ModuleOfName(lpModuleName);
  if (module == nullptr) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  if (pin && module != MainModule()) {
    dlopen(module->l_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  } else if (!unchanged && !pin) {
    ReferenceModule(module);
  }
  *phModule = reinterpret_cast<HMODULE>(module);
  return TRUE;
}
