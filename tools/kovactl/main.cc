// kovactl: drives the KovaIntr component the way late-bound script clients do
// (ProgID -> CLSIDFromProgID -> CoCreateInstance -> IDispatch), one call per
// line, and registers or unregisters the component's library. See README.md.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "errhandlingapi.h"
#include "fileapi.h"
#include "libloaderapi.h"
#include "objbase.h"
#include "processenv.h"
#include "tools/kovactl/runner.h"
#include "tools/kovactl/script.h"
#include "winnls.h"

namespace {

constexpr char kUsage[] =
    R"(usage: kovactl [--json] [--progid PROGID] [-f FILE | LINE...]
       kovactl register [--machine] [LIBRARY]
       kovactl unregister [--machine] [LIBRARY]

Creates the component by its ProgID (default KovaIntr.KovaIntrApi) and runs one
operation per line, only through IDispatch (GetIDsOfNames and Invoke). The
lines come from the arguments (one argument, one line), from FILE with -f, or
from standard input.

Line syntax:
  [$name =] Operation [argument ...]      # comment
  arguments: 12, -3, 0x1F       a 32-bit integer
             "text"             a string; \" and \\ are escapes, any other
                                backslash is itself ("<Work>\a.lms")
             true, false        a boolean
             $name              a session variable, passed by reference
             out                an out placeholder; its value is printed
  "$name =" keeps the operation's return value, e.g. a session handle:
    $h = KovaInitialize
    KovaLoadFile $h "<Work>\a.lms"
    KovaGetProfileString $h "Section" "Key" "" out 260

Output, one line per call:
  Operation: hr=0xXXXXXXXX [retval=V] [$name=V ...] [#N=V ...]
  (#N: the out placeholder at argument N; V: 12, true, "text" or empty).
  --json prints one JSON object per call instead:
  {"op":..., "hr":"0x...", "retval":V, "vars":{...}, "out":{"N":V}}

register / unregister load LIBRARY (default: libKovaIntr.so in the installed
component folder beside kovactl's bin folder, else in the build's lib folder)
and call its DllRegisterServer / DllUnregisterServer. With --machine they work
on this computer's machine hive (/etc/corvanta/system.reg) even when
KOVA_REGISTRY_DIR names another folder.

Exit status: 0 when every line ran (an operation's own S_FALSE included), 1 when
creation, a name look-up or an invocation failed (the run stops there), 2 for a
usage or syntax error.
)";

std::u16string Widen(const std::string& text) {
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  if (needed <= 1) return {};
  std::u16string wide(std::size_t(needed), u'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), needed);
  wide.resize(std::size_t(needed - 1));
  return wide;
}

std::string Hex(HRESULT hr) {
  std::ostringstream text;
  text << "0x" << std::hex << std::uppercase;
  text.width(8);
  text.fill('0');
  text << static_cast<unsigned long>(static_cast<DWORD>(hr));
  return text.str();
}

#ifndef KOVA_COMPONENT_DIR
#define KOVA_COMPONENT_DIR "lib/kovaintr"
#endif

// <prefix>\<component folder>\libKovaIntr.so when kovactl is installed, else
// <build>\lib\libKovaIntr.so; <prefix> is the parent of kovactl's folder.
std::string DefaultLibrary() {
  char self[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, self, sizeof self);
  if (length == 0 || length >= sizeof self - 1) return "KovaIntr.dll";
  std::string prefix(self, length);
  for (int i = 0; i < 2; ++i) {
    const std::size_t slash = prefix.find_last_of('\\');
    if (slash == std::string::npos) return "KovaIntr.dll";
    prefix.erase(slash);
  }
  std::string installed = prefix + "\\" + KOVA_COMPONENT_DIR + "\\libKovaIntr.so";
  for (char& c : installed) {
    if (c == '/') c = '\\';
  }
  if (GetFileAttributesA(installed.c_str()) != INVALID_FILE_ATTRIBUTES) return installed;
  return prefix + "\\lib\\libKovaIntr.so";
}

int Register(bool do_register, const std::string& library) {
  const char* entry = do_register ? "DllRegisterServer" : "DllUnregisterServer";
  HMODULE module = LoadLibraryA(library.c_str());
  if (module == nullptr) {
    std::cerr << "kovactl: cannot load " << library << " (error " << GetLastError()
              << ")\n";
    return 1;
  }
  using EntryPoint = HRESULT (*)();
  const auto function = reinterpret_cast<EntryPoint>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, entry)));
  if (function == nullptr) {
    std::cerr << "kovactl: " << library << " has no " << entry << "\n";
    FreeLibrary(module);
    return 1;
  }
  const HRESULT hr = function();
  std::cout << entry << ": hr=" << Hex(hr) << "\n";
  FreeLibrary(module);
  return SUCCEEDED(hr) ? 0 : 1;
}

int RunLines(const std::vector<std::string>& lines, std::istream* input, bool json,
             const std::string& progid) {
  // Parse everything first, so that a syntax error runs nothing.
  std::vector<kova::kovactl::Call> calls;
  std::string line;
  std::size_t number = 0;
  auto parse = [&](const std::string& text) {
    ++number;
    kova::kovactl::Call call;
    bool is_call = false;
    std::string error;
    if (!kova::kovactl::ParseLine(text, &call, &is_call, &error)) {
      std::cerr << "kovactl: line " << number << ": " << error << "\n";
      return false;
    }
    if (is_call) calls.push_back(std::move(call));
    return true;
  };
  for (const std::string& text : lines) {
    if (!parse(text)) return 2;
  }
  while (input != nullptr && std::getline(*input, line)) {
    if (!parse(line)) return 2;
  }

  const HRESULT init = CoInitialize(nullptr);
  if (FAILED(init)) {
    std::cerr << "kovactl: CoInitialize failed: " << Hex(init) << "\n";
    return 1;
  }
  int status = 0;
  CLSID clsid;
  const std::u16string wide_progid = Widen(progid);
  HRESULT hr = CLSIDFromProgID(wide_progid.c_str(), &clsid);
  IDispatch* api = nullptr;
  if (SUCCEEDED(hr)) {
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                          reinterpret_cast<void**>(&api));
  }
  if (FAILED(hr)) {
    std::cerr << "kovactl: cannot create " << progid << ": " << Hex(hr) << "\n";
    status = 1;
  } else {
    {
      kova::kovactl::Runner runner(api, json, std::cout);
      for (const kova::kovactl::Call& call : calls) {
        if (FAILED(runner.Run(call))) {
          status = 1;
          break;
        }
      }
    }
    api->Release();
  }
  std::cout.flush();
  CoFreeUnusedLibraries();
  CoUninitialize();
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (!args.empty() && (args[0] == "register" || args[0] == "unregister")) {
    std::size_t next = 1;
    const bool machine = next < args.size() && args[next] == "--machine";
    if (machine) ++next;
    if (next < args.size() && (args[next] == "--help" || args[next] == "-h")) {
      std::cout << kUsage;
      return 0;
    }
    if (args.size() > next + 1 || (next < args.size() && args[next].starts_with('-'))) {
      std::cerr << kUsage;
      return 2;
    }
    // Without KOVA_REGISTRY_DIR the registry uses the hives at their default
    // places, and HKEY_CLASSES_ROOT writes its new keys to the machine's.
    if (machine && !SetEnvironmentVariableA("KOVA_REGISTRY_DIR", nullptr)) {
      std::cerr << "kovactl: cannot clear KOVA_REGISTRY_DIR (error " << GetLastError()
                << ")\n";
      return 1;
    }
    return Register(args[0] == "register",
                    next < args.size() ? args[next] : DefaultLibrary());
  }
  bool json = false;
  std::string progid = "KovaIntr.KovaIntrApi";
  std::string file;
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--help" || args[i] == "-h") {
      std::cout << kUsage;
      return 0;
    }
    if (args[i] == "--json") {
      json = true;
    } else if (args[i] == "--progid" && i + 1 < args.size()) {
      progid = args[++i];
    } else if (args[i] == "-f" && i + 1 < args.size()) {
      file = args[++i];
    } else if (!args[i].empty() && args[i][0] == '-') {
      std::cerr << "kovactl: unknown option " << args[i] << "\n" << kUsage;
      return 2;
    } else {
      lines.push_back(args[i]);
    }
  }
  if (!file.empty() && !lines.empty()) {
    std::cerr << "kovactl: give lines either with -f or as arguments\n";
    return 2;
  }
  if (!file.empty()) {
    std::ifstream stream(file);
    if (!stream) {
      std::cerr << "kovactl: cannot read " << file << "\n";
      return 2;
    }
    return RunLines({}, &stream, json, progid);
  }
  return RunLines(lines, lines.empty() ? &std::cin : nullptr, json, progid);
}
