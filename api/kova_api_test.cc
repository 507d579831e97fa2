#include "api/kova_api.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "api/api_test_support.h"
#include "api/bstr_text.h"
#include "api/kova_session.h"
#include "model/kova.h"
#include "model/test_support.h"
#include "tests/test_util.h"

namespace {

using kova::test::Bstr;
using kova::test::DefineKova;
using kova::test::OutBstr;
using kova::test::ScopedEnv;
using kova::test::TestApi;

class ApiTest : public kova::test::IsolatedTest {
 protected:
  ApiTest() : user_dir_("KOVA_USERDIR", std::string("/srv/user")) {}

  void DefineWork() {
    DefineKova(HKEY_CURRENT_USER, "Work",
               {{"Path1", root().WinPath("work")}, {"DisplayName.eng", "Work Files"}});
    DefineKova(HKEY_CURRENT_USER, "Sales2",
               {{"Path1", "\\s2"}, {"DisplayName.eng", "Sales"}});
  }

  LONG Initialize() {
    LONG handle = -1;
    EXPECT_EQ(api_.KovaInitialize(&handle), S_OK);
    EXPECT_NE(handle, 0);
    return handle;
  }

  TestApi api_;
  ScopedEnv user_dir_;
};

TEST_F(ApiTest, InitializeNeedsAUserDirectory) {
  {
    ScopedEnv empty("KOVA_USERDIR", std::string());
    LONG handle = 77;
    EXPECT_EQ(api_.KovaInitialize(&handle), S_FALSE);
    EXPECT_EQ(handle, 0);
  }
  const LONG handle = Initialize();
  // The block's USERDIR slot holds the session's directory with a backslash.
  kova::CKovas view(nullptr);
  EXPECT_EQ(view.GetReplacers()->GetUserDir(), "\\srv\\user\\");
  EXPECT_EQ(api_.KovaUnInitialize(handle), S_OK);
  // The handle is gone: refused, not dereferenced.
  EXPECT_EQ(api_.KovaUnInitialize(handle), S_FALSE);
  EXPECT_EQ(api_.KovaUnInitialize(0), S_OK);
}

// Every operation that needs a session, with a zero handle and with one that the
// process never handed out: 1, out strings null, nothing created.
TEST_F(ApiTest, ZeroAndUnknownHandlesAreRefused) {
  for (LONG handle : {LONG{0}, LONG{0x5EED}}) {
    SCOPED_TRACE(handle);
    Bstr a("Sect"), b("Key"), c("Val");
    OutBstr out;
    EXPECT_EQ(api_.KovaGetProfileString(handle, a.in(), b.in(), c.in(), out.out(), 100),
              S_FALSE);
    EXPECT_TRUE(out.is_null());
    ULONG number = 0xABCD;
    EXPECT_EQ(api_.KovaGetProfileInt(handle, a.in(), b.in(), 5, &number), S_FALSE);
    EXPECT_EQ(number, 0xABCDu);
    EXPECT_EQ(api_.KovaSetProfileString(handle, a.in(), b.in(), c.in()), S_FALSE);
    EXPECT_EQ(api_.KovaPublishLumasetDepFiles(handle), S_FALSE);
    EXPECT_EQ(api_.KovaRenameFile(handle, a.in(), b.in()), S_FALSE);
    EXPECT_EQ(api_.KovaDeleteFile(handle, a.in()), S_FALSE);
    const std::string destination = root().OsPath("copy.ini");
    Bstr dst(destination);
    EXPECT_EQ(api_.KovaCopyFileToLocalFS(handle, a.in(), dst.in(), VARIANT_FALSE),
              S_FALSE);
    EXPECT_FALSE(kova::test::PathExists(destination));
    EXPECT_EQ(api_.KovaFlushFile(handle), S_FALSE);
    OutBstr name;
    EXPECT_EQ(api_.KovaFindNext(handle, 0, name.out()), S_FALSE);
    EXPECT_TRUE(name.is_null());
    EXPECT_EQ(api_.KovaIsPathWriteAble(handle, a.in()), S_FALSE);
    EXPECT_EQ(api_.KovaSetSelItemPath(handle, a.in()), S_FALSE);
    OutBstr chosen;
    EXPECT_EQ(api_.KovaBrowse(handle, APP_LUMASET, PROMPT_OPEN, VARIANT_FALSE,
                              VARIANT_FALSE, 0, 0, chosen.out()),
              S_FALSE);
    EXPECT_TRUE(chosen.is_null());
    OutBstr list;
    EXPECT_EQ(api_.KovaBrowseMultiSel(handle, APP_PENDREL, VARIANT_FALSE, VARIANT_FALSE,
                                      0, 0, list.out(), 100),
              S_FALSE);
    EXPECT_TRUE(list.is_null());
  }
}

TEST_F(ApiTest, UnknownHandlesAreRefusedWhereZeroMeansATemporarySession) {
  DefineWork();
  const LONG unknown = 0x5EED;
  Bstr path("<Work>\\a.file");
  OutBstr display, kovaPath, defaultPath;
  EXPECT_EQ(api_.KovaGetKovaDisplayPath(unknown, path.in(), display.out()), S_FALSE);
  EXPECT_TRUE(display.is_null());
  Bstr name("<Work Files>\\a.file");
  EXPECT_EQ(api_.KovaGetPathFromDisplayName(unknown, name.in(), kovaPath.out()), S_FALSE);
  EXPECT_TRUE(kovaPath.is_null());
  EXPECT_EQ(api_.KovaGetDefaultKovaPath(unknown, defaultPath.out()), S_FALSE);
  EXPECT_TRUE(defaultPath.is_null());
  EXPECT_EQ(api_.KovaFileExists(unknown, path.in()), S_FALSE);
  LONG handle = unknown;
  EXPECT_EQ(api_.KovaLoadFile(&handle, path.in()), S_FALSE);
  EXPECT_EQ(handle, unknown);
}

TEST_F(ApiTest, LoadFileWithZeroHandleHandsOutASession) {
  LONG handle = 0;
  Bstr path("<Work>\\a.file");
  EXPECT_EQ(api_.KovaLoadFile(&handle, path.in()), S_OK);
  ASSERT_NE(handle, 0);
  LONG again = handle;
  EXPECT_EQ(api_.KovaLoadFile(&again, path.in()), S_OK);
  EXPECT_EQ(again, handle);
  EXPECT_EQ(api_.KovaUnInitialize(handle), S_OK);
}

TEST_F(ApiTest, SelectedItemPathIsStoredInTheSystemForm) {
  const LONG handle = Initialize();
  Bstr path("<Work>/Sessions/a.file");
  EXPECT_EQ(api_.KovaSetSelItemPath(handle, path.in()), S_OK);
  EXPECT_EQ(kova::LookupSession(handle)->selItemPath(), "<Work>\\Sessions\\a.file");
  EXPECT_EQ(api_.KovaUnInitialize(handle), S_OK);
}

TEST_F(ApiTest, DefaultKovaPath) {
  {
    // Nothing defined: the built-in Kova, whose root is empty.
    OutBstr path;
    EXPECT_EQ(api_.KovaGetDefaultKovaPath(0, path.out()), S_OK);
    EXPECT_EQ(path.text(), "");
  }
  DefineWork();
  DefineKova(HKEY_LOCAL_MACHINE, "Shared", {{"Path1", "\\m"}, {"DefaultKova", DWORD{1}}});
  for (LONG handle : {LONG{0}, Initialize()}) {
    SCOPED_TRACE(handle);
    OutBstr path;
    EXPECT_EQ(api_.KovaGetDefaultKovaPath(handle, path.out()), S_OK);
    EXPECT_EQ(path.text(), "<Shared>\\");
    EXPECT_EQ(api_.KovaUnInitialize(handle), S_OK);
  }
}

TEST_F(ApiTest, PathFromDisplayName) {
  DefineWork();
  const LONG handle = Initialize();
  struct Row {
    const char* input;
    HRESULT want_result;
    const char* want;
  } rows[] = {
      {"<Work Files>\\Sessions\\a.file", S_OK, "<Work>\\Sessions\\a.file"},
      {"<WORK files>\\a.file", S_OK, "<Work>\\a.file"},
      {"<Work Files>", S_OK, "<Work>\\"},
      {"<<Work Files>/x/y.file", S_OK, "<Work>\\x\\y.file"},
      {"Work Files", S_OK, "<Work>\\"},
      {"<Sales>\\b", S_OK, "<Sales2>\\b"},
      {"<Work>\\a.file", S_FALSE, nullptr},
      {"", S_FALSE, nullptr},
  };
  for (LONG session : {LONG{0}, handle}) {
    for (const Row& row : rows) {
      SCOPED_TRACE(std::string(row.input) + (session ? " (session)" : " (temporary)"));
      Bstr input(row.input);
      OutBstr out;
      EXPECT_EQ(api_.KovaGetPathFromDisplayName(session, input.in(), out.out()),
                row.want_result);
      if (row.want == nullptr) {
        EXPECT_TRUE(out.is_null());
      } else {
        EXPECT_EQ(out.text(), row.want);
      }
    }
  }
  EXPECT_EQ(api_.KovaUnInitialize(handle), S_OK);
}

TEST_F(ApiTest, KovaDisplayPathOfTheFolderThatHoldsTheFile) {
  DefineWork();
  struct Row {
    const char* input;
    HRESULT want_result;
    const char* want;
  } rows[] = {
      {"<Work>\\Sessions\\a.file", S_OK, "<Work Files>\\Sessions\\"},
      {"<work>\\a.file", S_OK, "<Work Files>\\"},
      {"<Work>/Deep/er/a.file", S_OK, "<Work Files>\\Deep\\er\\"},
      {"<Work>", S_OK, "<Work Files>\\"},
      {"<Sales2>\\x\\", S_OK, "<Sales>\\x\\"},
      {"<Other>\\a.file", S_FALSE, nullptr},
      {"\\srv\\work\\a.file", S_FALSE, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.input);
    Bstr input(row.input);
    OutBstr out;
    EXPECT_EQ(api_.KovaGetKovaDisplayPath(0, input.in(), out.out()), row.want_result);
    if (row.want == nullptr) {
      EXPECT_TRUE(out.is_null());
    } else {
      EXPECT_EQ(out.text(), row.want);
    }
  }
}

TEST_F(ApiTest, FindInitRejectsOtherApplicationTypes) {
  LONG handle = 1234;
  LONG count = -5;
  Bstr folder("<Work>\\"), extension(".ini");
  EXPECT_EQ(api_.KovaFindInit(&handle, folder.in(), extension.in(),
                              static_cast<APP_TYPE>(3), &count),
            S_FALSE);
  EXPECT_EQ(handle, 0);
  EXPECT_EQ(count, -5);
}

TEST_F(ApiTest, NullBstrIsTheEmptyTextAndNullOutPointersAreRefused) {
  DefineWork();
  BSTR none = nullptr;
  OutBstr out;
  EXPECT_EQ(api_.KovaGetKovaDisplayPath(0, &none, out.out()), S_FALSE);
  EXPECT_TRUE(out.is_null());
  EXPECT_EQ(api_.KovaInitialize(nullptr), S_FALSE);
  EXPECT_EQ(api_.KovaGetDefaultKovaPath(0, nullptr), S_FALSE);
  EXPECT_EQ(kova::BstrToAnsi(nullptr), "");
  Bstr unicode("K\xC3\xB6ln \xE2\x82\xAC");
  EXPECT_EQ(kova::BstrToAnsi(unicode.in()), "K\xC3\xB6ln \xE2\x82\xAC");
}

}  // namespace
