// KovaBrowse and KovaBrowseMultiSel against a scripted dialog component: what
// the component receives in which order, how its answers become the loaded
// file or the file list, and what happens when it cannot be made or is
// cancelled.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "api/api_test_support.h"
#include "api/testing/browse_double.h"
#include "kova_registrar.h"
#include "model/test_support.h"
#include "objbase.h"
#include "tests/test_util.h"

namespace {

using kova::test::Bstr;
using kova::test::DefineKova;
using kova::test::OutBstr;
using kova::test::ScopedEnv;
using kova::test::TestApi;
using kova::test::WriteFileBytes;

constexpr char kDoubleScript[] = R"(HKCR
{
	NoRemove CLSID
	{
		ForceRemove '{0A36DA4B-D84B-4ADE-9803-C7A7E721B8B6}' = s 'Browse dialog double'
		{
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
		}
	}
}
)";

using Log = std::vector<std::string>;

class BrowseBridgeTest : public kova::test::IsolatedTest {
 protected:
  BrowseBridgeTest()
      : user_dir_("KOVA_USERDIR", std::string("/srv/user")),
        user_file_dir_("KOVA_USERFILEDIR", std::string("/srv/userfiles")),
        log_("KOVA_TEST_BROWSE_LOG", root().OsPath("browse-log")),
        script_("KOVA_TEST_BROWSE_SCRIPT", root().OsPath("browse-script")) {
    WriteFileBytes(root().OsPath("work/Sessions/a.lms"), "[Lumaset]\r\nCount=3\r\n");
    WriteFileBytes(root().OsPath("work/Sessions/b.lms"), "[Lumaset]\r\nCount=4\r\n");
    DefineKova(HKEY_CURRENT_USER, "Work",
               {{"Path1", root().WinPath("work")}, {"DisplayName.eng", "Work Files"}});
  }
  void SetUp() override {
    ASSERT_GE(CoInitialize(nullptr), 0);
    kova::com::CRegObject registrar;
    const std::string module = kova::test::LibDir() + "/libkovatestbrowse.so";
    ASSERT_EQ(registrar.AddReplacement("MODULE", module.c_str()), S_OK);
    ASSERT_EQ(registrar.StringRegister(kDoubleScript), S_OK);
  }
  void TearDown() override {
    for (KOVA_LONG_PTR handle : handles_) api_.KovaUnInitialize(handle);
    CoUninitialize();
  }

  KOVA_LONG_PTR Initialize() {
    KOVA_LONG_PTR handle = 0;
    EXPECT_EQ(api_.KovaInitialize(&handle), S_OK);
    handles_.push_back(handle);
    return handle;
  }
  // The answers of the dialog, one "key\tvalue..." line each.
  void Script(const std::vector<std::string>& lines) {
    std::ofstream script(root().OsPath("browse-script"), std::ios::trunc);
    for (const std::string& line : lines) script << line << '\n';
  }
  // The calls the dialog received since the last look, one per line.
  Log TakeLog() {
    Log lines;
    {
      std::ifstream in(root().OsPath("browse-log"));
      for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    std::ofstream(root().OsPath("browse-log"), std::ios::trunc);
    return lines;
  }
  HRESULT Browse(KOVA_LONG_PTR h, APP_TYPE app, BROWSE_TYPE kind, OutBstr* path,
                 VARIANT_BOOL edit = VARIANT_TRUE, VARIANT_BOOL ops = VARIANT_TRUE,
                 ULONG help = 0, KOVA_LONG_PTR parent = 0) {
    return api_.KovaBrowse(h, app, kind, edit, ops, help, parent, path->out());
  }
  HRESULT BrowseMany(KOVA_LONG_PTR h, short size, OutBstr* list,
                     APP_TYPE app = APP_LUMASET) {
    return api_.KovaBrowseMultiSel(h, app, VARIANT_TRUE, VARIANT_TRUE, 0, 0, list->out(),
                                   size);
  }
  // The loaded file's Count of section Lumaset, or "<none>" without a loaded file.
  std::string LoadedCount(KOVA_LONG_PTR h) {
    Bstr section("Lumaset"), key("Count"), fallback("");
    OutBstr value;
    if (api_.KovaGetProfileString(h, section.in(), key.in(), fallback.in(), value.out(),
                                  260) != S_OK) {
      return "<none>";
    }
    return value.text();
  }
  void SelectItem(KOVA_LONG_PTR h, const std::string& path) {
    Bstr text(path);
    ASSERT_EQ(api_.KovaSetSelItemPath(h, text.in()), S_OK);
  }

  TestApi api_;
  ScopedEnv user_dir_;
  ScopedEnv user_file_dir_;
  ScopedEnv log_;
  ScopedEnv script_;
  std::vector<KOVA_LONG_PTR> handles_;
};

TEST_F(BrowseBridgeTest, TheDialogIsConfiguredInItsOrder) {
  struct Row {
    const char* name;
    APP_TYPE app;
    BROWSE_TYPE kind;
    VARIANT_BOOL edit;
    VARIANT_BOOL ops;
    ULONG help;
    KOVA_LONG_PTR parent;
    const char* userFileDir;  // KOVA_USERFILEDIR
    Log calls;
  } rows[] = {
      {"Lumaset open, nothing optional",
       APP_LUMASET,
       PROMPT_OPEN,
       VARIANT_TRUE,
       VARIANT_TRUE,
       0,
       0,
       "",
       {"created", "SetMode\t26", "SetFileTypeCode\t64", "Show\t2", "released"}},
      {"Pendrel open with everything; 1 is not true",
       APP_PENDREL,
       PROMPT_OPEN,
       1,
       VARIANT_FALSE,
       7,
       42,
       "/srv/userfiles",
       {"created", "SetParentWindow\t42", "SetMode\t22", "SetFileTypeCode\t62",
        "SetEditAllowed\t0", "SetFileOpsAllowed\t0", "SetHelpTopic\t7",
        "SetUserFileDir\t[\\srv\\userfiles\\]", "Show\t2", "released"}},
      {"Pendrel open, file operations passed as 1",
       APP_PENDREL,
       PROMPT_OPEN,
       VARIANT_TRUE,
       1,
       0,
       0,
       "",
       {"created", "SetMode\t22", "SetFileTypeCode\t62", "SetFileOpsAllowed\t0",
        "Show\t2", "released"}},
      {"Lumaset Save-as: preselected, no parent, edit or file-operation settings",
       APP_LUMASET,
       PROMPT_SAVEAS,
       VARIANT_FALSE,
       VARIANT_FALSE,
       3,
       5,
       "/srv/userfiles",
       {"created", "SetMode\t27", "SetFileTypeCode\t64",
        "SetPath\t[<Work>\\Sessions\\a.lms]", "SetHelpTopic\t3",
        "SetUserFileDir\t[\\srv\\userfiles\\]", "Show\t2", "released"}},
      {"Pendrel Save-as",
       APP_PENDREL,
       PROMPT_SAVEAS,
       VARIANT_TRUE,
       VARIANT_TRUE,
       0,
       0,
       "",
       {"created", "SetMode\t23", "SetFileTypeCode\t62",
        "SetPath\t[<Work>\\Sessions\\a.lms]", "Show\t2", "released"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ScopedEnv userFiles("KOVA_USERFILEDIR", std::string(row.userFileDir));
    const KOVA_LONG_PTR h = Initialize();
    SelectItem(h, "<Work>\\Sessions\\a.lms");
    TakeLog();
    OutBstr path;
    EXPECT_EQ(
        Browse(h, row.app, row.kind, &path, row.edit, row.ops, row.help, row.parent),
        S_FALSE);
    EXPECT_TRUE(path.is_null());
    EXPECT_EQ(TakeLog(), row.calls);
  }
}

TEST_F(BrowseBridgeTest, OpenPreselectsNothingAndSaveAsTheSelectedItem) {
  const KOVA_LONG_PTR h = Initialize();
  OutBstr path;
  ASSERT_EQ(Browse(h, APP_LUMASET, PROMPT_SAVEAS, &path), S_FALSE);
  // Nothing selected yet: the empty text is preselected.
  EXPECT_EQ(TakeLog().at(3), "SetPath\t[]");
  SelectItem(h, "<Work>\\Sessions\\b.lms");
  ASSERT_EQ(Browse(h, APP_LUMASET, PROMPT_SAVEAS, &path), S_FALSE);
  EXPECT_EQ(TakeLog().at(3), "SetPath\t[<Work>\\Sessions\\b.lms]");
  ASSERT_EQ(Browse(h, APP_LUMASET, PROMPT_OPEN, &path), S_FALSE);
  for (const std::string& call : TakeLog()) EXPECT_NE(call.rfind("SetPath", 0), 0u);
}

TEST_F(BrowseBridgeTest, TheChosenFileIsLoadedWhateverTheComponentReturns) {
  for (const char* hresult : {"0", "80004005", "1"}) {
    SCOPED_TRACE(hresult);
    Script(
        {"show\t1", "path\t<Work>\\Sessions\\a.lms", std::string("hresult\t") + hresult});
    const KOVA_LONG_PTR h = Initialize();
    TakeLog();
    OutBstr path;
    ASSERT_EQ(Browse(h, APP_LUMASET, PROMPT_OPEN, &path), S_OK);
    EXPECT_EQ(path.text(), "<Work>\\Sessions\\a.lms");
    EXPECT_EQ(LoadedCount(h), "3");
    const Log calls = TakeLog();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(Log(calls.end() - 3, calls.end()), (Log{"Show\t2", "GetPath", "released"}));
  }
}

TEST_F(BrowseBridgeTest, ACancelledOrEmptyChoiceKeepsTheLoadedFile) {
  const KOVA_LONG_PTR h = Initialize();
  Script({"show\t1", "path\t<Work>\\Sessions\\b.lms"});
  OutBstr first;
  ASSERT_EQ(Browse(h, APP_LUMASET, PROMPT_OPEN, &first), S_OK);
  ASSERT_EQ(LoadedCount(h), "4");
  struct Row {
    const char* name;
    std::vector<std::string> script;
    bool asksForPath;
  } rows[] = {
      {"Show leaves 2", {"path\t<Work>\\Sessions\\a.lms"}, false},
      {"Show gives 0", {"show\t0", "path\t<Work>\\Sessions\\a.lms"}, false},
      {"Show gives -1", {"show\t-1", "path\t<Work>\\Sessions\\a.lms"}, false},
      {"no path handed out", {"show\t1"}, true},
      {"an empty path", {"show\t1", "path\t"}, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Script(row.script);
    TakeLog();
    OutBstr path;
    EXPECT_EQ(Browse(h, APP_LUMASET, PROMPT_SAVEAS, &path), S_FALSE);
    EXPECT_TRUE(path.is_null());
    EXPECT_EQ(LoadedCount(h), "4");
    const Log calls = TakeLog();
    EXPECT_EQ(std::find(calls.begin(), calls.end(), "GetPath") != calls.end(),
              row.asksForPath);
    EXPECT_EQ(calls.back(), "released");
  }
}

TEST_F(BrowseBridgeTest, WithoutTheComponentNothingIsChosen) {
  kova::com::CRegObject registrar;
  ASSERT_EQ(registrar.AddReplacement("MODULE", "unused"), S_OK);
  ASSERT_EQ(registrar.StringUnregister(kDoubleScript), S_OK);
  const KOVA_LONG_PTR h = Initialize();
  for (BROWSE_TYPE kind : {PROMPT_OPEN, PROMPT_SAVEAS}) {
    OutBstr path;
    EXPECT_EQ(Browse(h, APP_PENDREL, kind, &path), S_FALSE);
    EXPECT_TRUE(path.is_null());
  }
  OutBstr list;
  EXPECT_EQ(BrowseMany(h, 260, &list), S_FALSE);
  EXPECT_TRUE(list.is_null());
  EXPECT_TRUE(TakeLog().empty());
}

TEST_F(BrowseBridgeTest, AMultipleSelectionListsTheFolderAndTheNamesAndUnloadsTheFile) {
  const KOVA_LONG_PTR h = Initialize();
  Script({"show\t1", "path\t<Work>\\Sessions\\b.lms"});
  OutBstr loaded;
  ASSERT_EQ(Browse(h, APP_LUMASET, PROMPT_OPEN, &loaded), S_OK);
  Script({"show\t1", "path\t<Work>\\Sessions\\a.lms",
          "paths\t<Work>\\Sessions\\a.lms\t<Work>\\Sessions\\b.lms"});
  TakeLog();
  OutBstr list;
  ASSERT_EQ(BrowseMany(h, 260, &list), S_OK);
  const std::string expected("<Work>\\Sessions\0a.lms\0a.lms\0b.lms\0\0", 35);
  EXPECT_EQ(list.text(), expected);
  EXPECT_EQ(LoadedCount(h), "<none>");
  EXPECT_EQ(TakeLog(), (Log{"created", "SetMode\t26", "SetFileTypeCode\t64",
                            "SetUserFileDir\t[\\srv\\userfiles\\]", "Show\t2", "GetPath",
                            "GetPaths", "released"}));
}

TEST_F(BrowseBridgeTest, TheFileListIsCutAtNSize) {
  const KOVA_LONG_PTR h = Initialize();
  // The folder "<Work>\Sessions" counts 16, each name 6 more: 22, 28, 34.
  const std::string folder("<Work>\\Sessions\0", 16);
  struct Row {
    short size;
    std::string names;
  } rows[] = {
      {35, std::string("a.lms\0b.lms\0c.lms\0", 18)},
      {34, std::string("a.lms\0b.lms\0", 12)},
      {23, std::string("a.lms\0", 6)},
      {22, ""},
      {17, ""},
      {1, ""},
      {0, ""},
      {-1, ""},
      {-32768, ""},
  };
  Script({"show\t1", "path\t<Work>\\Sessions\\a.lms",
          "paths\t<Work>\\Sessions\\b.lms\t<Work>\\Sessions\\c.lms"});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.size);
    OutBstr list;
    ASSERT_EQ(BrowseMany(h, row.size, &list), S_OK);
    EXPECT_EQ(list.text(), folder + row.names + std::string(1, '\0'));
  }
}

TEST_F(BrowseBridgeTest, TheFileListOfUnusualSelections) {
  const KOVA_LONG_PTR h = Initialize();
  const std::string longName(40000, 'n');
  struct Row {
    const char* name;
    std::vector<std::string> script;
    std::string list;
  } rows[] = {
      {"a first path without a backslash",
       {"show\t1", "path\ta.lms", "paths\t<Work>\\x\\b.lms"},
       std::string("\0a.lms\0b.lms\0\0", 14)},
      {"no array",
       {"show\t1", "path\t<Work>\\a.lms"},
       std::string("<Work>\0a.lms\0\0", 14)},
      {"an empty array",
       {"show\t1", "path\t<Work>\\a.lms", "paths"},
       std::string("<Work>\0a.lms\0\0", 14)},
      // A 16-bit count would wrap below the limit here and let the later name in.
      {"a name too long for a 16-bit count",
       {"show\t1", "path\t<Work>\\" + longName, "paths\t<Work>\\b.lms"},
       std::string("<Work>\0\0", 8)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Script(row.script);
    OutBstr list;
    ASSERT_EQ(BrowseMany(h, 32767, &list), S_OK);
    EXPECT_EQ(list.text(), row.list);
  }
  Script({"show\t0", "path\t<Work>\\a.lms", "paths\t<Work>\\b.lms"});
  OutBstr cancelled;
  EXPECT_EQ(BrowseMany(h, 260, &cancelled), S_FALSE);
  EXPECT_TRUE(cancelled.is_null());
}

}  // namespace
