#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "tests/test_util.h"
#include "windows.h"

namespace {

using kova::test::IsolatedTest;

constexpr DWORD kSentinelError = 0xdeadbeef;

using AnswerFunction = int (*)();
using LoadFunction = HMODULE (*)(const char*);

// FARPROC to the export's real type, as callers of GetProcAddress do.
template <typename Function>
Function As(FARPROC address) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(address));
}

std::string WinForm(std::string path) {
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string TestModuleOsPath() { return kova::test::LibDir() + "/libkovaloadertest.so"; }

std::string ModuleFileName(HMODULE module) {
  char buffer[4096];
  const DWORD length = GetModuleFileNameA(module, buffer, sizeof buffer);
  EXPECT_GT(length, 0u);
  EXPECT_LT(length, sizeof buffer);
  return std::string(buffer, length);
}

// Whether the test module is loaded at the moment, asked without loading it.
bool TestModuleLoaded() { return GetModuleHandleA("kovaloadertest.dll") != nullptr; }

class Loader : public IsolatedTest {};

TEST_F(Loader, LoadsByPlatformNameResolvesAndUnloads) {
  ASSERT_FALSE(TestModuleLoaded());
  const std::string lib_folder = WinForm(kova::test::LibDir());
  const char* names[] = {"kovaloadertest.dll", "KovaLoaderTest.DLL", "kovaloadertest",
                         "libkovaloadertest.so"};
  for (const char* name : names) {
    SCOPED_TRACE(name);
    SetLastError(kSentinelError);
    HMODULE module = LoadLibraryA(name);
    ASSERT_NE(module, nullptr) << GetLastError();
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_EQ(ModuleFileName(module), WinForm(TestModuleOsPath()));

    auto answer = As<AnswerFunction>(GetProcAddress(module, "KovaLoaderTestAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(As<AnswerFunction>(GetProcAddress(module, MAKEINTRESOURCEA(7))), answer);

    ASSERT_WIN_OK(FreeLibrary(module));
    EXPECT_FALSE(TestModuleLoaded());
  }

  // A name with a folder part loads that file; both separators work.
  for (const std::string& name : {lib_folder + "\\kovaloadertest.dll",
                                  kova::test::LibDir() + "/KOVALOADERTEST.dll"}) {
    SCOPED_TRACE(name);
    HMODULE module = LoadLibraryA(name.c_str());
    ASSERT_NE(module, nullptr);
    EXPECT_WIN_OK(FreeLibrary(module));
  }
}

TEST_F(Loader, ReferenceCountsPairLoadsWithFrees) {
  HMODULE first = LoadLibraryA("kovaloadertest.dll");
  ASSERT_NE(first, nullptr);
  HMODULE second = LoadLibraryA("KOVALOADERTEST.DLL");
  EXPECT_EQ(second, first);
  EXPECT_EQ(GetModuleHandleA("kovaloadertest.dll"), first);

  HMODULE counted = nullptr;
  ASSERT_WIN_OK(GetModuleHandleExA(0, "kovaloadertest.dll", &counted));
  EXPECT_EQ(counted, first);

  ASSERT_WIN_OK(FreeLibrary(first));
  ASSERT_WIN_OK(FreeLibrary(second));
  EXPECT_TRUE(TestModuleLoaded());
  ASSERT_WIN_OK(FreeLibrary(counted));
  EXPECT_FALSE(TestModuleLoaded());

  SetLastError(kSentinelError);
  EXPECT_EQ(GetModuleHandleA("kovaloadertest.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
}

TEST_F(Loader, SearchesTheFolderOfTheAskingModuleFirst) {
  // Two copies in a folder that is on no library path: only code inside the
  // first copy can find the second by its bare name.
  const std::string folder = root().OsPath("modules");
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(TestModuleOsPath(), folder + "/libouter.so");
  std::filesystem::copy_file(TestModuleOsPath(), folder + "/libsibling.so");

  SetLastError(kSentinelError);
  EXPECT_EQ(LoadLibraryA("sibling.dll"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

  HMODULE outer = LoadLibraryA(root().WinPath("modules/outer.dll").c_str());
  ASSERT_NE(outer, nullptr) << GetLastError();
  auto load = As<LoadFunction>(GetProcAddress(outer, "KovaLoaderTestLoad"));
  ASSERT_NE(load, nullptr);
  HMODULE sibling = load("Sibling.dll");
  ASSERT_NE(sibling, nullptr) << GetLastError();
  EXPECT_NE(sibling, outer);
  EXPECT_EQ(ModuleFileName(sibling), root().WinPath("modules/libsibling.so"));
  // Once loaded, the bare name finds it from anywhere, as on the platform.
  EXPECT_EQ(GetModuleHandleA("sibling.dll"), sibling);

  EXPECT_WIN_OK(FreeLibrary(sibling));
  EXPECT_WIN_OK(FreeLibrary(outer));
  EXPECT_EQ(GetModuleHandleA("sibling.dll"), nullptr);
}

TEST_F(Loader, SystemLibraryNamesAreThePlatformItself) {
  HMODULE kernel32 = LoadLibraryA("kernel32.dll");
  ASSERT_NE(kernel32, nullptr);
  auto language = GetProcAddress(kernel32, "GetUserDefaultUILanguage");
  EXPECT_EQ(reinterpret_cast<void*>(language),
            reinterpret_cast<void*>(&GetUserDefaultUILanguage));
  const std::string platform_file = ModuleFileName(kernel32);
  EXPECT_TRUE(platform_file.ends_with("\\libkovaplatform.so") ||
              platform_file.find("\\libkovaplatform.so.") != std::string::npos)
      << platform_file;

  for (const char* name :
       {"KERNEL32.DLL", "advapi32.dll", "user32.dll", "shell32.dll", "ole32.dll",
        "oleaut32.dll", "dbghelp.dll", "imagehlp.dll", "kernel32"}) {
    SCOPED_TRACE(name);
    HMODULE module = LoadLibraryA(name);
    EXPECT_EQ(module, kernel32);
    EXPECT_EQ(GetModuleHandleA(name), kernel32);
    EXPECT_WIN_OK(FreeLibrary(module));
  }
  // Only the stand-in's own exports: not those of the C library below it.
  SetLastError(kSentinelError);
  EXPECT_EQ(GetProcAddress(kernel32, "malloc"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PROC_NOT_FOUND));
  EXPECT_WIN_OK(FreeLibrary(kernel32));
}

TEST_F(Loader, FailuresSetThePlatformCodes) {
  HMODULE module = LoadLibraryA("kovaloadertest.dll");
  ASSERT_NE(module, nullptr);
  int not_a_module = 0;
  const auto bogus = reinterpret_cast<HMODULE>(&not_a_module);
  const std::string missing_folder = root().WinPath("nowhere/kovaloadertest.dll");
  struct Case {
    const char* name;
    std::function<bool()> fails;
    DWORD error;
  };
  const Case cases[] = {
      {"missing library", [] { return !LoadLibraryA("no_such_library.dll"); },
       ERROR_MOD_NOT_FOUND},
      {"missing folder", [&] { return !LoadLibraryA(missing_folder.c_str()); },
       ERROR_MOD_NOT_FOUND},
      {"missing export", [&] { return !GetProcAddress(module, "NoSuchFunction"); },
       ERROR_PROC_NOT_FOUND},
      {"missing ordinal", [&] { return !GetProcAddress(module, MAKEINTRESOURCEA(8)); },
       ERROR_PROC_NOT_FOUND},
      {"export of a dependency", [&] { return !GetProcAddress(module, "LoadLibraryA"); },
       ERROR_PROC_NOT_FOUND},
      {"unknown handle", [&] { return !GetProcAddress(bogus, "KovaLoaderTestAnswer"); },
       ERROR_MOD_NOT_FOUND},
      {"free null", [] { return !FreeLibrary(nullptr); }, ERROR_INVALID_HANDLE},
      {"free unknown", [&] { return !FreeLibrary(bogus); }, ERROR_INVALID_HANDLE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetLastError(kSentinelError);
    EXPECT_TRUE(c.fails());
    EXPECT_EQ(GetLastError(), c.error);
  }
  char buffer[16] = "sentinel";
  SetLastError(kSentinelError);
  EXPECT_EQ(GetModuleFileNameA(bogus, buffer, sizeof buffer), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  EXPECT_STREQ(buffer, "sentinel");
  EXPECT_WIN_OK(FreeLibrary(module));
}

TEST_F(Loader, ModuleFileNameOfTheMainProgramAndTheCutRule) {
  const std::string program =
      WinForm(std::filesystem::read_symlink("/proc/self/exe").string());
  EXPECT_EQ(ModuleFileName(nullptr), program);
  EXPECT_EQ(ModuleFileName(GetModuleHandleA(nullptr)), program);

  const DWORD length = static_cast<DWORD>(program.size());
  char buffer[4096];
  struct Row {
    DWORD size;
    DWORD result;
    std::string text;
    DWORD error;
  };
  const Row rows[] = {
      {length + 1, length, program, kSentinelError},
      {length, length, program.substr(0, length - 1), ERROR_INSUFFICIENT_BUFFER},
      {5, 5, program.substr(0, 4), ERROR_INSUFFICIENT_BUFFER},
      {1, 1, "", ERROR_INSUFFICIENT_BUFFER},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    std::memset(buffer, 'X', sizeof buffer);
    SetLastError(kSentinelError);
    EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, row.size), row.result);
    EXPECT_EQ(std::string(buffer), row.text);
    EXPECT_EQ(buffer[row.size], 'X');
    EXPECT_EQ(GetLastError(), row.error);
  }
  SetLastError(kSentinelError);
  EXPECT_EQ(GetModuleFileNameA(nullptr, buffer, 0), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST_F(Loader, ModuleHandleFromAnAddress) {
  HMODULE module = LoadLibraryA("kovaloadertest.dll");
  ASSERT_NE(module, nullptr);
  auto answer = GetProcAddress(module, "KovaLoaderTestAnswer");
  ASSERT_NE(answer, nullptr);

  HMODULE found = nullptr;
  ASSERT_WIN_OK(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(answer), &found));
  EXPECT_EQ(found, module);

  // Counting: the module outlives the LoadLibraryA reference.
  ASSERT_WIN_OK(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                   reinterpret_cast<LPCSTR>(answer), &found));
  ASSERT_WIN_OK(FreeLibrary(module));
  EXPECT_TRUE(TestModuleLoaded());
  ASSERT_WIN_OK(FreeLibrary(found));
  EXPECT_FALSE(TestModuleLoaded());

  static int in_main_program = 0;
  ASSERT_WIN_OK(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(&in_main_program), &found));
  EXPECT_EQ(found, GetModuleHandleA(nullptr));
  ASSERT_WIN_OK(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                       GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                   reinterpret_cast<LPCSTR>(&GetUserDefaultLangID),
                                   &found));
  EXPECT_EQ(found, GetModuleHandleA("kernel32.dll"));

  auto heap = std::make_unique<int>(1);
  found = reinterpret_cast<HMODULE>(0x1);
  SetLastError(kSentinelError);
  EXPECT_FALSE(GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                                  reinterpret_cast<LPCSTR>(heap.get()), &found));
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));

  SetLastError(kSentinelError);
  EXPECT_FALSE(GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      nullptr, &found));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

}  // namespace
