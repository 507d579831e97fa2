// The browse dialog component: its registration, its interface through the
// vtable and IDispatch, and the dialog itself, without a terminal and in a real
// one (a tmux pane) driven by keys while kovactl runs the browse.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/bstr_convert.h"
#include "kova_browse_dialog.h"
#include "kova_catalog.h"
#include "libloaderapi.h"
#include "model/test_support.h"
#include "objbase.h"
#include "oleauto.h"
#include "tests/test_util.h"

namespace {

using kova::test::BinDir;
using kova::test::DefineKova;
using kova::test::LibDir;
using kova::test::ReadFileBytes;
using kova::test::WriteFileBytes;

class BrowseDialogTest : public kova::test::IsolatedTest {
 protected:
  BrowseDialogTest()
      : user_dir_("KOVA_USERDIR", root().OsPath("user")),
        user_file_dir_("KOVA_USERFILEDIR", root().OsPath("userfiles")) {
    WriteFileBytes(root().OsPath("work/Sessions/a.lms"), "[Lumaset]\r\nCount=3\r\n");
    WriteFileBytes(root().OsPath("work/Sessions/b.lms"), "[Lumaset]\r\nCount=4\r\n");
    WriteFileBytes(root().OsPath("work/Sessions/c.pn"), "[Pendrel]\r\n");
    DefineKova(HKEY_CURRENT_USER, "Work",
               {{"Path1", root().WinPath("work")}, {"DisplayName.eng", "Work Files"}});
  }
  void SetUp() override {
    ASSERT_GE(CoInitialize(nullptr), 0);
    dialog_ = LoadLibraryA((LibDir() + "/libKovaBrowseDialog.so").c_str());
    ASSERT_NE(dialog_, nullptr);
    ASSERT_EQ(Call(dialog_, "DllRegisterServer"), S_OK);
    api_ = LoadLibraryA((LibDir() + "/libKovaIntr.so").c_str());
    ASSERT_NE(api_, nullptr);
    ASSERT_EQ(Call(api_, "DllRegisterServer"), S_OK);
  }
  void TearDown() override {
    if (dialog_ != nullptr) FreeLibrary(dialog_);
    if (api_ != nullptr) FreeLibrary(api_);
    CoUninitialize();
  }

  static HRESULT Call(HMODULE module, const char* entry) {
    FARPROC proc = GetProcAddress(module, entry);
    if (proc == nullptr) return E_FAIL;
    return reinterpret_cast<HRESULT (*)()>(reinterpret_cast<void (*)()>(proc))();
  }

  HMODULE dialog_ = nullptr;
  HMODULE api_ = nullptr;
  kova::test::ScopedEnv user_dir_;
  kova::test::ScopedEnv user_file_dir_;
};

TEST_F(BrowseDialogTest, RegistersItsClassUnderItsProgIDAndUnregistersIt) {
  CLSID clsid = GUID_NULL;
  ASSERT_EQ(CLSIDFromProgID(u"" KOVA_BROWSE_DIALOG_PROGID, &clsid), S_OK);
  EXPECT_TRUE(clsid == CLSID_KovaBrowseDialog);
  ASSERT_EQ(Call(dialog_, "DllUnregisterServer"), S_OK);
  EXPECT_TRUE(FAILED(CLSIDFromProgID(u"" KOVA_BROWSE_DIALOG_PROGID, &clsid)));
  IKovaBrowseDialog* dialog = nullptr;
  EXPECT_TRUE(
      FAILED(CoCreateInstance(CLSID_KovaBrowseDialog, nullptr, CLSCTX_ALL,
                              IID_IKovaBrowseDialog, reinterpret_cast<void**>(&dialog))));
  EXPECT_EQ(dialog, nullptr);
}

TEST_F(BrowseDialogTest, ServesItsOperationsThroughTheVtableAndIDispatch) {
  IKovaBrowseDialog* dialog = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_KovaBrowseDialog, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IKovaBrowseDialog, reinterpret_cast<void**>(&dialog)),
            S_OK);
  // Nothing chosen yet: an empty path and no array.
  kova::ScopedBstr path;
  EXPECT_EQ(dialog->GetPath(path.receive()), S_OK);
  ASSERT_NE(path.get(), nullptr);
  EXPECT_EQ(path.Text(), "");
  SAFEARRAY sentinel{};
  SAFEARRAY* paths = &sentinel;
  EXPECT_EQ(dialog->GetPaths(&paths), S_FALSE);
  EXPECT_EQ(paths, nullptr);

  struct Row {
    const char16_t* name;
    DISPID id;
  } rows[] = {{u"Show", 1},
              {u"SetMode", 2},
              {u"GetPath", 3},
              {u"SetPath", 4},
              {u"SetEditAllowed", 6},
              {u"SetFileOpsAllowed", 7},
              {u"SetFileTypeCode", 8},
              {u"SetUserFileDir", 9},
              {u"SetHelpTopic", 10},
              {u"SetParentWindow", 11}};
  for (const Row& row : rows) {
    std::u16string name(row.name);
    LPOLESTR names[] = {name.data()};
    DISPID id = -1;
    EXPECT_EQ(dialog->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
    EXPECT_EQ(id, row.id);
  }
  // Late bound, SetMode with a Save-as mode and GetPath as the return value.
  VARIANT argument;
  VariantInit(&argument);
  argument.vt = VT_I4;
  argument.lVal = kKovaBrowseModeLumasetSaveAs;
  DISPPARAMS params = {&argument, nullptr, 1, 0};
  EXPECT_EQ(
      dialog->Invoke(2, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr),
      S_OK);
  VARIANT result;
  VariantInit(&result);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  EXPECT_EQ(
      dialog->Invoke(3, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr),
      S_OK);
  EXPECT_EQ(result.vt, VT_BSTR);
  VariantClear(&result);
  dialog->Release();
}

TEST_F(BrowseDialogTest, WithoutATerminalTheBrowseIsCancelled) {
  const kova::test::RunResult run = kova::test::RunProgram("browse_dialog_probe", {});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out, "init=00000000\nbrowse=00000001\npath=<null>\n");
}

TEST_F(BrowseDialogTest, TheCatalogListsThroughTheInterfaceAndTheDefinitions) {
  WriteFileBytes(root().OsPath("work/Sessions/Old/d.lms"), "");
  DefineKova(HKEY_CURRENT_USER, "Arch",
             {{"Path1", root().WinPath("arch")}, {"DefaultKova", DWORD{1}}});
  kova::browse::KovaCatalog catalog;
  ASSERT_TRUE(catalog.Open());
  const std::vector<kova::browse::BrowseCatalog::Kova> kovas = catalog.ListKovas();
  ASSERT_EQ(kovas.size(), 2u);
  for (const auto& kova : kovas) {
    SCOPED_TRACE(kova.root);
    EXPECT_EQ(kova.isDefault, kova.root == "<Arch>\\");
    EXPECT_EQ(kova.displayName, kova.root == "<Work>\\" ? "Work Files" : "Arch");
  }
  using Names = std::vector<std::string>;
  EXPECT_EQ(catalog.ListFolders("<Work>\\"), Names{"Sessions"});
  EXPECT_EQ(catalog.ListFolders("<Work>\\Sessions\\"), Names{"Old"});
  EXPECT_TRUE(catalog.ListFolders("<Nowhere>\\").empty());
  Names lumaset = catalog.ListFiles("<Work>\\Sessions\\", 64);
  std::sort(lumaset.begin(), lumaset.end());
  EXPECT_EQ(lumaset, (Names{"a.lms", "b.lms"}));
  EXPECT_EQ(catalog.ListFiles("<Work>\\Sessions\\", 62), Names{"c.pn"});
  EXPECT_TRUE(catalog.ListFiles("<Work>\\", 64).empty());
  EXPECT_EQ(catalog.DisplayPath("<Work>\\Sessions\\"), "<Work Files>\\Sessions\\");
  EXPECT_EQ(catalog.DisplayPath("<Work>\\"), "<Work Files>\\");

  EXPECT_TRUE(catalog.RenameFile("<Work>\\Sessions\\a.lms", "<Work>\\Sessions\\e.lms"));
  EXPECT_EQ(ReadFileBytes(root().OsPath("work/Sessions/e.lms")),
            "[Lumaset]\r\nCount=3\r\n");
  EXPECT_TRUE(catalog.DeleteFile("<Work>\\Sessions\\b.lms"));
  EXPECT_FALSE(kova::test::PathExists(root().OsPath("work/Sessions/b.lms")));
  EXPECT_FALSE(catalog.DeleteFile("<Work>\\Sessions\\b.lms"));
}

TEST_F(BrowseDialogTest, WithoutTheKovaIntrComponentTheCatalogCannotOpen) {
  ASSERT_EQ(Call(api_, "DllUnregisterServer"), S_OK);
  kova::browse::KovaCatalog catalog;
  EXPECT_FALSE(catalog.Open());
  EXPECT_TRUE(catalog.ListFiles("<Work>\\", 64).empty());
  EXPECT_FALSE(catalog.DeleteFile("<Work>\\Sessions\\b.lms"));
}

void Pause() { std::this_thread::sleep_for(std::chrono::milliseconds(100)); }

// A tmux server of its own (socket in the test's folder) with one pane that
// runs a shell script; killed with the object.
class TmuxPane {
 public:
  TmuxPane(const std::string& socket, const std::string& script) : socket_(socket) {
    started_ = Tmux("-f /dev/null new-session -d -x 160 -y 60 -s browse 'sh " + script +
                    "'") == 0;
  }
  ~TmuxPane() { Tmux("kill-server >/dev/null 2>&1"); }
  TmuxPane(const TmuxPane&) = delete;
  TmuxPane& operator=(const TmuxPane&) = delete;

  bool started() const { return started_; }
  void Type(const std::string& keys) { Tmux("send-keys -t browse -l '" + keys + "'"); }
  void Enter() { Tmux("send-keys -t browse Enter"); }
  std::string Screen() {
    std::string text;
    std::FILE* pipe =
        popen(("tmux -S '" + socket_ + "' capture-pane -p -t browse").c_str(), "r");
    if (pipe == nullptr) return text;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
      text.append(buffer, n);
    }
    pclose(pipe);
    return text;
  }
  // Waits (a generous while, polling) until the pane shows `text`.
  [[nodiscard]] bool WaitFor(const std::string& text) {
    for (int i = 0; i < 300; ++i) {
      if (Screen().find(text) != std::string::npos) return true;
      Pause();
    }
    return false;
  }

 private:
  int Tmux(const std::string& arguments) {
    return std::system(("tmux -S '" + socket_ + "' " + arguments).c_str());
  }
  std::string socket_;
  bool started_ = false;
};

bool WaitForFile(const std::string& path) {
  for (int i = 0; i < 300; ++i) {
    if (kova::test::PathExists(path)) return true;
    Pause();
  }
  return false;
}

class TerminalBrowseTest : public BrowseDialogTest {
 protected:
  void SetUp() override {
    if (std::system("command -v tmux >/dev/null 2>&1") != 0) {
      GTEST_SKIP() << "tmux is not installed (scripts/install-deps installs it); the "
                      "dialog is not tried in a terminal";
    }
    BrowseDialogTest::SetUp();
  }

  // Runs kovactl on `lines` in a tmux pane; the pane's environment is the test's.
  std::unique_ptr<TmuxPane> StartClient(const std::vector<std::string>& lines) {
    std::ofstream(root().OsPath("client.kova")) << [&] {
      std::string text;
      for (const std::string& line : lines) text += line + "\n";
      return text;
    }();
    std::string script;
    for (const char* name :
         {"KOVA_REGISTRY_DIR", "TMPDIR", "HOME", "XDG_CONFIG_HOME", "KOVA_WINDOWS_DIR",
          "KOVA_MESSAGEBOX_LOG", "KOVA_USERDIR", "KOVA_USERFILEDIR", "LD_LIBRARY_PATH"}) {
      const char* value = std::getenv(name);
      if (value != nullptr)
        script += "export " + std::string(name) + "='" + value + "'\n";
    }
    script += "'" + BinDir() + "/kovactl' -f '" + root().OsPath("client.kova") + "' > '" +
              root().OsPath("client.out") + "' 2>&1\ntouch '" +
              root().OsPath("client.done") + "'\n";
    std::ofstream(root().OsPath("client.sh")) << script;
    return std::make_unique<TmuxPane>(root().OsPath("tmux.sock"),
                                      root().OsPath("client.sh"));
  }
  // From the list of Kovas into <Work>\Sessions\, a line and a screen each.
  [[nodiscard]] static bool WalkToSessions(TmuxPane* pane) {
    for (const char* shown :
         {"Folder <Work Files>\\\n", "Folder <Work Files>\\Sessions\\\n"}) {
      pane->Type("1");
      pane->Enter();
      if (!pane->WaitFor(shown)) {
        ADD_FAILURE() << "waiting for " << shown << pane->Screen();
        return false;
      }
    }
    return true;
  }
  std::string ClientOutput() {
    EXPECT_TRUE(WaitForFile(root().OsPath("client.done")));
    return ReadFileBytes(root().OsPath("client.out"));
  }
};

TEST_F(TerminalBrowseTest, OpensTheFilePickedInTheTerminal) {
  std::unique_ptr<TmuxPane> pane =
      StartClient({"$h = KovaInitialize", "$p = KovaBrowse $h 1 1 true true 0 0",
                   "KovaGetProfileString $h \"Lumaset\" \"Count\" \"\" out 260",
                   "KovaUnInitialize $h"});
  ASSERT_TRUE(pane->started());
  ASSERT_TRUE(pane->WaitFor("1  Work Files (default)")) << pane->Screen();
  ASSERT_TRUE(WalkToSessions(pane.get()));
  // Only the Lumaset files are offered.
  const std::string screen = pane->Screen();
  EXPECT_NE(screen.find("2  b.lms"), std::string::npos) << screen;
  EXPECT_EQ(screen.find("c.pn"), std::string::npos) << screen;
  pane->Type("2");
  pane->Enter();
  const std::string out = ClientOutput();
  EXPECT_NE(out.find("KovaBrowse: hr=0x00000000 retval=\"<Work>\\\\Sessions\\\\b.lms\""),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("KovaGetProfileString: hr=0x00000000 $h=1 #5=\"4\""),
            std::string::npos)
      << out;
}

TEST_F(TerminalBrowseTest, SavesUnderANameTypedInTheTerminal) {
  std::unique_ptr<TmuxPane> pane = StartClient(
      {"$h = KovaInitialize", "$p = KovaBrowse $h 1 2 true true 0 0",
       "KovaSetProfileString $h \"Lumaset\" \"Count\" \"9\"", "KovaUnInitialize $h"});
  ASSERT_TRUE(pane->started());
  ASSERT_TRUE(pane->WaitFor("== Save a Lumaset file as ==")) << pane->Screen();
  ASSERT_TRUE(WalkToSessions(pane.get()));
  pane->Type("n fresh");
  pane->Enter();
  const std::string out = ClientOutput();
  EXPECT_NE(out.find("retval=\"<Work>\\\\Sessions\\\\fresh.lms\""), std::string::npos)
      << out;
  EXPECT_EQ(ReadFileBytes(root().OsPath("work/Sessions/fresh.lms")),
            "[Lumaset]\r\nCount=9\r\n");
}

TEST_F(TerminalBrowseTest, ListsSeveralFilesPickedInTheTerminal) {
  std::unique_ptr<TmuxPane> pane = StartClient(
      {"$h = KovaInitialize", "KovaBrowseMultiSel $h 1 true true 0 0 out 260"});
  ASSERT_TRUE(pane->started());
  ASSERT_TRUE(pane->WaitFor("1  Work Files (default)")) << pane->Screen();
  ASSERT_TRUE(WalkToSessions(pane.get()));
  pane->Type("2 1");
  pane->Enter();
  const std::string out = ClientOutput();
  // The first path comes first and again with all of them.
  const std::string list = std::string("<Work>\\\\Sessions") + '\0' + "b.lms" + '\0' +
                           "b.lms" + '\0' + "a.lms" + '\0' + '\0';
  EXPECT_NE(out.find("KovaBrowseMultiSel: hr=0x00000000 $h=1 #7=\"" + list + "\""),
            std::string::npos)
      << out;
}

}  // namespace
