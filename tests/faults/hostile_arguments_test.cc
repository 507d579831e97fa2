// Every operation of the interface with arguments a careless or hostile client
// passes: session handles the process never gave out or already took back, null
// BSTRs, texts of 100,000 characters, sizes and indices out of range. Each is
// refused or cut; nothing crashes and nothing outside the call's reach changes.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "api/api_test_support.h"
#include "model/test_support.h"
#include "tests/test_util.h"
#include "windows.h"

namespace {

using kova::test::Bstr;
using kova::test::OutBstr;
using kova::test::ReadFileBytes;
using kova::test::ScopedEnv;
using kova::test::TestApi;
using kova::test::WriteFileBytes;

constexpr KOVA_LONG_PTR kNeverIssued = 0x7ffffff0;
constexpr std::size_t kLongText = 100000;

// One operation, called with `handle` and with `text` for every text argument;
// its out string (if any) goes to `out`.
struct Operation {
  const char* name;
  bool takes_handle;
  bool has_out;
  std::function<HRESULT(TestApi&, KOVA_LONG_PTR, BSTR*, OutBstr&)> call;
};

std::vector<Operation> Operations() {
  return {
      {"KovaInitialize", false, false,
       [](TestApi& api, KOVA_LONG_PTR, BSTR*, OutBstr&) {
         KOVA_LONG_PTR h = 0;
         HRESULT hr = api.KovaInitialize(&h);
         api.KovaUnInitialize(h);
         return hr;
       }},
      {"KovaBrowse", true, true,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR*, OutBstr& out) {
         return api.KovaBrowse(h, APP_LUMASET, BROWSE_TYPE(0), VARIANT_FALSE,
                               VARIANT_FALSE, 0, 0, out.out());
       }},
      {"KovaUnInitialize", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR*, OutBstr&) {
         return api.KovaUnInitialize(h);
       }},
      {"KovaLoadFile", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         KOVA_LONG_PTR inout = h;
         return api.KovaLoadFile(&inout, text);
       }},
      {"KovaGetProfileString", true, true,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr& out) {
         return api.KovaGetProfileString(h, text, text, text, out.out(), 260);
       }},
      {"KovaGetProfileInt", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         ULONG value = 0;
         return api.KovaGetProfileInt(h, text, text, 7, &value);
       }},
      {"KovaGetKovaDisplayPath", true, true,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr& out) {
         return api.KovaGetKovaDisplayPath(h, text, out.out());
       }},
      {"KovaSetProfileString", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         return api.KovaSetProfileString(h, text, text, text);
       }},
      {"KovaPublishLumasetDepFiles", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR*, OutBstr&) {
         return api.KovaPublishLumasetDepFiles(h);
       }},
      {"KovaBrowseMultiSel", true, true,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR*, OutBstr& out) {
         return api.KovaBrowseMultiSel(h, APP_LUMASET, VARIANT_FALSE, VARIANT_FALSE, 0, 0,
                                       out.out(), 10);
       }},
      {"KovaRenameFile", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         return api.KovaRenameFile(h, text, text);
       }},
      {"KovaDeleteFile", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         return api.KovaDeleteFile(h, text);
       }},
      {"KovaCopyFileToLocalFS", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         return api.KovaCopyFileToLocalFS(h, text, text, VARIANT_TRUE);
       }},
      {"KovaFileExists", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         return api.KovaFileExists(h, text);
       }},
      {"KovaFlushFile", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR*, OutBstr&) {
         return api.KovaFlushFile(h);
       }},
      {"KovaPathConvertKovatoFS", false, true,
       [](TestApi& api, KOVA_LONG_PTR, BSTR* text, OutBstr& out) {
         return api.KovaPathConvertKovatoFS(text, out.out());
       }},
      // Its handle is an out value only: the incoming one is never read.
      {"KovaFindInit", false, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         KOVA_LONG_PTR inout = h;
         LONG count = -1;
         HRESULT hr = api.KovaFindInit(&inout, text, text, APP_LUMASET, &count);
         // A new session of its own; the incoming handle is never read.
         if (inout != h) api.KovaUnInitialize(inout);
         return hr;
       }},
      {"KovaFindNext", true, true,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR*, OutBstr& out) {
         return api.KovaFindNext(h, 0, out.out());
       }},
      {"KovaGetPathFromDisplayName", true, true,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr& out) {
         return api.KovaGetPathFromDisplayName(h, text, out.out());
       }},
      {"KovaGetDefaultKovaPath", true, true,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR*, OutBstr& out) {
         return api.KovaGetDefaultKovaPath(h, out.out());
       }},
      {"KovaIsPathWriteAble", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         return api.KovaIsPathWriteAble(h, text);
       }},
      {"KovaSetSelItemPath", true, false,
       [](TestApi& api, KOVA_LONG_PTR h, BSTR* text, OutBstr&) {
         return api.KovaSetSelItemPath(h, text);
       }},
  };
}

class HostileArgumentsTest : public kova::test::IsolatedTest {
 protected:
  HostileArgumentsTest() : user_dir_("KOVA_USERDIR", std::string("/srv/user")) {}

  void SetUp() override {
    kova::test::DefineKova(HKEY_CURRENT_USER, "Work",
                           {{"Path1", root().WinPath("work")}, {"Type1", DWORD{0}}});
    WriteFileBytes(Keep(), kKept);
    WriteFileBytes(root().OsPath("work/scratch.lms"), "[S]\r\nK=scratch\r\n");
  }

  // A file no call of this test may change: every call names it or runs in a
  // folder that holds it.
  std::string Keep() { return root().OsPath("work/keep.lms"); }
  static constexpr char kKept[] = "[S]\r\nK=kept\r\n";

  // A session of the test's own with a loaded file.
  KOVA_LONG_PTR Session() {
    KOVA_LONG_PTR h = 0;
    Bstr path(std::string("<Work>\\scratch.lms"));
    EXPECT_EQ(api_.KovaLoadFile(&h, path.in()), S_OK);
    return h;
  }

  // The Kova's folder is as SetUp left it, apart from the scratch file.
  void ExpectKovaFolderIntact() {
    EXPECT_EQ(ReadFileBytes(Keep()), kKept);
    EXPECT_TRUE(kova::test::PathExists(registry_dir() + "/user.reg"));
    for (const auto& entry : std::filesystem::directory_iterator(root().OsPath("work"))) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(name == "keep.lms" || name == "scratch.lms") << name;
    }
  }

  TestApi api_;
  ScopedEnv user_dir_;
};

TEST_F(HostileArgumentsTest, HandlesTheProcessNeverGaveOutOrTookBackAreRefused) {
  KOVA_LONG_PTR released = Session();
  ASSERT_EQ(api_.KovaUnInitialize(released), S_OK);
  for (const Operation& op : Operations()) {
    if (!op.takes_handle) continue;
    for (KOVA_LONG_PTR handle : {kNeverIssued, released, KOVA_LONG_PTR{-1}}) {
      SCOPED_TRACE(std::string(op.name) + " with handle " + std::to_string(handle));
      Bstr text(std::string("<Work>\\keep.lms"));
      OutBstr out;
      EXPECT_EQ(op.call(api_, handle, text.in(), out), S_FALSE);
      if (op.has_out) {
        EXPECT_TRUE(out.is_null()) << out.text();
      }
    }
  }
  ExpectKovaFolderIntact();
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(HostileArgumentsTest, NullAndHugeTextsAreRefusedOrCut) {
  const std::string huge(kLongText, 'A');
  // The empty text, huge texts, and names of the Kova's own folder and of its
  // parent, which no file operation may take for a file.
  const std::vector<std::string> texts = {
      std::string(),     huge,
      "<Work>\\" + huge, "<Work>\\" + std::string(kLongText, '\\'),
      "<Work>\\",        "<Work>",
      "<Work>\\.."};
  for (const Operation& op : Operations()) {
    for (std::size_t variant = 0; variant <= texts.size(); ++variant) {
      SCOPED_TRACE(std::string(op.name) + " variant " + std::to_string(variant));
      const KOVA_LONG_PTR h = Session();
      BSTR null_text = nullptr;
      std::unique_ptr<Bstr> text;
      if (variant > 0) text = std::make_unique<Bstr>(texts[variant - 1]);
      OutBstr out;
      const HRESULT hr = op.call(api_, h, text ? text->in() : &null_text, out);
      EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << hr;
      if (op.has_out) {
        EXPECT_EQ(out.is_null(), hr == S_FALSE) << out.text().substr(0, 80);
      }
      // The session survives what it was given.
      if (op.name != std::string("KovaUnInitialize")) {
        EXPECT_EQ(api_.KovaUnInitialize(h), S_OK);
      }
    }
  }
  ExpectKovaFolderIntact();
}

TEST_F(HostileArgumentsTest, SizesAndIndicesOutOfRangeAreRefusedOrCut) {
  const KOVA_LONG_PTR h = Session();
  const std::string huge(kLongText, 'v');
  Bstr s("S"), k("Huge"), v(huge), d("default");
  ASSERT_EQ(api_.KovaSetProfileString(h, s.in(), k.in(), v.in()), S_OK);
  struct Row {
    ULONG size;
    std::size_t longest;
  };
  for (const Row& row :
       {Row{0, 0}, Row{1, 0}, Row{2, 1}, Row{260, 259},
        Row{ULONG(kLongText) + 10, kLongText}, Row{0xffffffffu, kLongText}}) {
    SCOPED_TRACE(row.size);
    OutBstr value;
    const HRESULT hr =
        api_.KovaGetProfileString(h, s.in(), k.in(), d.in(), value.out(), row.size);
    EXPECT_TRUE(hr == S_OK || hr == S_FALSE) << hr;
    if (hr == S_OK) {
      EXPECT_LE(value.text().size(), row.longest);
      EXPECT_EQ(value.text(), huge.substr(0, value.text().size()));
    }
  }

  LONG count = -1;
  KOVA_LONG_PTR find = 0;
  Bstr folder(std::string("<Work>")), extension(std::string(".*"));
  ASSERT_EQ(api_.KovaFindInit(&find, folder.in(), extension.in(), APP_LUMASET, &count),
            S_OK);
  ASSERT_EQ(count, 2);
  for (LONG index : {LONG{-1}, LONG{2}, LONG{0x7fffffff}, LONG(0x80000000u)}) {
    SCOPED_TRACE(index);
    OutBstr name;
    EXPECT_EQ(api_.KovaFindNext(find, index, name.out()), S_FALSE);
    EXPECT_TRUE(name.is_null());
  }
  for (short size : {short{0}, short{-1}, short{0x7fff}}) {
    SCOPED_TRACE(size);
    OutBstr list;
    EXPECT_EQ(api_.KovaBrowseMultiSel(h, APP_LUMASET, VARIANT_FALSE, VARIANT_FALSE, 0, 0,
                                      list.out(), size),
              S_FALSE);
    EXPECT_TRUE(list.is_null());
  }
  EXPECT_EQ(api_.KovaFindInit(&find, folder.in(), extension.in(), APP_TYPE(99), &count),
            S_FALSE);
  EXPECT_EQ(api_.KovaUnInitialize(find), S_OK);
  EXPECT_EQ(api_.KovaUnInitialize(h), S_OK);
  ExpectKovaFolderIntact();
}

}  // namespace
