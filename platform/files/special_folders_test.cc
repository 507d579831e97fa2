#include <cstring>
#include <optional>
#include <string>

#include "combaseapi.h"
#include "fileapi.h"
#include "shlobj.h"
#include "tests/test_util.h"
#include "winerror.h"

namespace {

using kova::test::ScopedEnv;

class SpecialFoldersTest : public kova::test::IsolatedTest {
 protected:
  // The folder as the system's callers get it: location, path, free through the
  // shell's allocator.
  std::optional<std::string> FolderOf(int csidl) {
    LPITEMIDLIST pidl = reinterpret_cast<LPITEMIDLIST>(1);
    if (SHGetSpecialFolderLocation(nullptr, csidl, &pidl) != S_OK) {
      EXPECT_EQ(pidl, nullptr);
      return std::nullopt;
    }
    char path[MAX_PATH];
    std::memset(path, '#', sizeof path);
    BOOL ok = SHGetPathFromIDListA(pidl, path);
    IMalloc* shell_malloc = nullptr;
    EXPECT_EQ(SHGetMalloc(&shell_malloc), S_OK);
    shell_malloc->Free(pidl);
    if (!ok) return std::nullopt;
    return std::string(path);
  }
};

TEST_F(SpecialFoldersTest, FoldersComeFromTheirVariablesAndDefaults) {
  const std::string home = root().OsPath("home");
  const std::string win_home = root().WinPath("home");
  ScopedEnv no_documents("KOVA_DOCUMENTS_DIR", std::nullopt);
  ScopedEnv no_xdg_documents("XDG_DOCUMENTS_DIR", std::nullopt);
  ScopedEnv no_data("XDG_DATA_HOME", std::nullopt);
  ScopedEnv no_desktop("XDG_DESKTOP_DIR", std::nullopt);
  EXPECT_EQ(FolderOf(CSIDL_PERSONAL), win_home + "\\Documents");
  EXPECT_EQ(FolderOf(CSIDL_APPDATA), win_home + "\\.config");
  EXPECT_EQ(FolderOf(CSIDL_LOCAL_APPDATA), win_home + "\\.local\\share");
  EXPECT_EQ(FolderOf(CSIDL_DESKTOP), win_home + "\\Desktop");
  EXPECT_EQ(FolderOf(CSIDL_COMMON_APPDATA), "\\var\\lib");
  EXPECT_EQ(FolderOf(CSIDL_PROGRAM_FILES), "\\usr\\lib");

  {
    ScopedEnv xdg("XDG_DOCUMENTS_DIR", "/srv/xdg docs");
    EXPECT_EQ(FolderOf(CSIDL_PERSONAL), "\\srv\\xdg docs");
    ScopedEnv own("KOVA_DOCUMENTS_DIR", "/srv/kova/docs");
    EXPECT_EQ(FolderOf(CSIDL_PERSONAL), "\\srv\\kova\\docs") << "the own variable wins";
    ScopedEnv empty("KOVA_DOCUMENTS_DIR", "");
    EXPECT_EQ(FolderOf(CSIDL_PERSONAL), "\\srv\\xdg docs") << "empty counts as unset";
  }
  ScopedEnv data("XDG_DATA_HOME", "/data");
  EXPECT_EQ(FolderOf(CSIDL_LOCAL_APPDATA), "\\data");
}

TEST_F(SpecialFoldersTest, RefusesUnknownFoldersAndPathsThatDoNotFit) {
  LPITEMIDLIST pidl = reinterpret_cast<LPITEMIDLIST>(1);
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, 0x7f, &pidl), E_INVALIDARG);
  EXPECT_EQ(pidl, nullptr);
  EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_PERSONAL, nullptr), E_INVALIDARG);
  char path[MAX_PATH] = "#";
  EXPECT_FALSE(SHGetPathFromIDListA(nullptr, path));
  EXPECT_STREQ(path, "");

  ScopedEnv long_documents("KOVA_DOCUMENTS_DIR", "/" + std::string(MAX_PATH, 'd'));
  EXPECT_EQ(FolderOf(CSIDL_PERSONAL), std::nullopt);
}

TEST_F(SpecialFoldersTest, FlagCreateMakesTheFolder) {
  ScopedEnv documents("KOVA_DOCUMENTS_DIR", root().OsPath("made/docs"));
  EXPECT_EQ(FolderOf(CSIDL_PERSONAL), root().WinPath("made\\docs"));
  EXPECT_EQ(GetFileAttributesA(root().WinPath("made\\docs").c_str()),
            INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(FolderOf(CSIDL_PERSONAL | CSIDL_FLAG_CREATE), root().WinPath("made\\docs"));
  EXPECT_EQ(GetFileAttributesA(root().WinPath("made\\docs").c_str()),
            DWORD{FILE_ATTRIBUTE_DIRECTORY});
}

TEST_F(SpecialFoldersTest, ShellAllocatorIsTheTaskAllocator) {
  IMalloc* shell_malloc = nullptr;
  IMalloc* task_malloc = nullptr;
  ASSERT_EQ(SHGetMalloc(&shell_malloc), S_OK);
  ASSERT_EQ(CoGetMalloc(1, &task_malloc), S_OK);
  EXPECT_EQ(shell_malloc, task_malloc);
  void* same = nullptr;
  EXPECT_EQ(shell_malloc->QueryInterface(IID_IMalloc, &same), S_OK);
  EXPECT_EQ(same, shell_malloc);
  void* block = shell_malloc->Alloc(64);
  ASSERT_NE(block, nullptr);
  std::memset(block, 0, 64);
  CoTaskMemFree(block);  // either side frees what the other allocated
  EXPECT_EQ(SHGetMalloc(nullptr), E_INVALIDARG);
}

}  // namespace
