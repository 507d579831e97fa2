// The interface on file-system Kovas: loaded files and their profile values, path
// conversions, file operations and enumeration, seen as a client sees them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "api/api_test_support.h"
#include "model/test_support.h"
#include "tests/test_util.h"

namespace {

using kova::test::Bstr;
using kova::test::DefineKova;
using kova::test::OutBstr;
using kova::test::PathExists;
using kova::test::ReadFileBytes;
using kova::test::ScopedEnv;
using kova::test::TestApi;
using kova::test::WriteFileBytes;

// Two Kovas whose names share a prefix, Sales being the default.
class FilesApiTest : public kova::test::IsolatedTest {
 protected:
  FilesApiTest() : user_dir_("KOVA_USERDIR", std::string("/srv/user")) {
    WriteFileBytes(root().OsPath("sales/.keep"), "");
    WriteFileBytes(root().OsPath("sales2/.keep"), "");
    WriteFileBytes(root().OsPath("sales/Sessions/.keep"), "");
    DefineKova(HKEY_CURRENT_USER, "Sales",
               {{"Path1", root().WinPath("sales")}, {"DefaultKova", DWORD{1}}});
    DefineKova(HKEY_CURRENT_USER, "Sales2", {{"Path1", root().WinPath("sales2")}});
  }
  ~FilesApiTest() override {
    for (KOVA_LONG_PTR handle : handles_) api_.KovaUnInitialize(handle);
  }

  KOVA_LONG_PTR Load(const std::string& path) {
    KOVA_LONG_PTR handle = 0;
    Bstr text(path);
    EXPECT_EQ(api_.KovaLoadFile(&handle, text.in()), S_OK);
    handles_.push_back(handle);
    return handle;
  }
  KOVA_LONG_PTR Initialize() {
    KOVA_LONG_PTR handle = 0;
    EXPECT_EQ(api_.KovaInitialize(&handle), S_OK);
    handles_.push_back(handle);
    return handle;
  }

  HRESULT Set(KOVA_LONG_PTR h, const std::string& section, const std::string& key,
              const std::string& value) {
    Bstr s(section), k(key), v(value);
    return api_.KovaSetProfileString(h, s.in(), k.in(), v.in());
  }
  std::string Get(KOVA_LONG_PTR h, const std::string& section, const std::string& key,
                  const std::string& defaultValue, ULONG size = 260) {
    Bstr s(section), k(key), d(defaultValue);
    OutBstr value;
    EXPECT_EQ(api_.KovaGetProfileString(h, s.in(), k.in(), d.in(), value.out(), size),
              S_OK);
    return value.text();
  }
  // The text of `path` converted to a file-system path, or "<S_FALSE>".
  std::string ToFileSystem(const std::string& path) {
    Bstr in(path);
    OutBstr out;
    if (api_.KovaPathConvertKovatoFS(in.in(), out.out()) != S_OK) {
      EXPECT_TRUE(out.is_null());
      return "<S_FALSE>";
    }
    return out.text();
  }
  HRESULT OnPath(HRESULT (TestApi::*operation)(KOVA_LONG_PTR, BSTR*), KOVA_LONG_PTR h,
                 const std::string& path) {
    Bstr text(path);
    return (api_.*operation)(h, text.in());
  }
  // The names KovaFindNext hands out for a new search, in no particular order.
  std::multiset<std::string> Find(const std::string& folder, const std::string& filter,
                                  APP_TYPE app) {
    KOVA_LONG_PTR handle = -1;
    LONG count = -1;
    Bstr f(folder), e(filter);
    EXPECT_EQ(api_.KovaFindInit(&handle, f.in(), e.in(), app, &count), S_OK);
    handles_.push_back(handle);
    std::multiset<std::string> names;
    for (LONG i = 0; i < count; ++i) {
      OutBstr name;
      EXPECT_EQ(api_.KovaFindNext(handle, i, name.out()), S_OK);
      names.insert(name.text());
    }
    OutBstr past;
    EXPECT_EQ(api_.KovaFindNext(handle, count, past.out()), S_FALSE);
    EXPECT_TRUE(past.is_null());
    return names;
  }

  TestApi api_;
  ScopedEnv user_dir_;
  std::vector<KOVA_LONG_PTR> handles_;
};

TEST_F(FilesApiTest, WrittenValuesReadBackAsWritten) {
  const KOVA_LONG_PTR h = Load("<Sales>\\Sessions\\a.lms");
  struct Row {
    const char* value;
    const char* stored;  // the line as it lands in the file
  } rows[] = {
      {" lead", "V0=' lead'"},     {"trail ", "V1='trail '"},
      {"'abc'", "V2=''abc''"},     {"'open", "V3='open"},
      {"\"dq\"", "V4=\"\"dq\"\""}, {"plain text", "V5=plain text"},
  };
  for (int i = 0; i < 6; ++i) {
    ASSERT_EQ(Set(h, "S", "V" + std::to_string(i), rows[i].value), S_OK);
  }
  const std::string stored = ReadFileBytes(root().OsPath("sales/Sessions/a.lms"));
  for (int i = 0; i < 6; ++i) {
    SCOPED_TRACE(rows[i].value);
    EXPECT_NE(stored.find(std::string(rows[i].stored) + "\r\n"), std::string::npos)
        << stored;
    EXPECT_EQ(Get(h, "S", "V" + std::to_string(i), "none"), rows[i].value);
  }

  ASSERT_EQ(Set(h, "S", "V5", ""), S_OK);  // the empty value removes the key
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales/Sessions/a.lms")).find("V5="),
            std::string::npos);
  EXPECT_EQ(Get(h, "S", "V5", "gone"), "gone");
  EXPECT_EQ(Get(h, "Nowhere", "V1", "default"), "default");
}

TEST_F(FilesApiTest, ReadsAreCutToTheBufferTheClientNames) {
  const KOVA_LONG_PTR h = Load("<Sales>\\b.lms");
  const std::string longValue(10000, 'x');
  ASSERT_EQ(Set(h, "S", "Short", "abcdefgh"), S_OK);
  ASSERT_EQ(Set(h, "S", "Long", longValue), S_OK);
  EXPECT_EQ(Get(h, "S", "Short", "", 4), "abc");
  EXPECT_EQ(Get(h, "S", "Short", "", 1), "");
  EXPECT_EQ(Get(h, "S", "Short", "", 0), "");
  EXPECT_EQ(Get(h, "S", "Long", "", 0x7FFFFFFF), longValue);
  EXPECT_EQ(Get(h, "S", "Long", "", 5000), longValue.substr(0, 4999));
  EXPECT_EQ(Get(h, "S", "Long", "", 8193), longValue.substr(0, 8192));

  ASSERT_EQ(Set(h, "S", "Port", "2323"), S_OK);
  Bstr s("S"), port("Port"), missing("Missing");
  ULONG value = 0;
  EXPECT_EQ(api_.KovaGetProfileInt(h, s.in(), port.in(), 23, &value), S_OK);
  EXPECT_EQ(value, 2323u);
  EXPECT_EQ(api_.KovaGetProfileInt(h, s.in(), missing.in(), 23, &value), S_OK);
  EXPECT_EQ(value, 23u);
}

TEST_F(FilesApiTest, ProfileOperationsNeedALoadedFile) {
  const KOVA_LONG_PTR h = Initialize();
  Bstr s("S"), k("K"), d("D");
  OutBstr value;
  EXPECT_EQ(api_.KovaGetProfileString(h, s.in(), k.in(), d.in(), value.out(), 260),
            S_FALSE);
  EXPECT_TRUE(value.is_null());
  EXPECT_EQ(Set(h, "S", "K", "v"), S_FALSE);
  EXPECT_EQ(api_.KovaFlushFile(h), S_FALSE);
}

TEST_F(FilesApiTest, KovaPathsConvertToFileSystemPaths) {
  WriteFileBytes(root().OsPath("outside/plain.lms"), "[S]\r\n");
  struct Row {
    std::string path;
    std::string expected;
  } rows[] = {
      {"<Sales>\\x\\y.lms", root().OsPath("sales/x/y.lms")},
      {"<sales2>\\f.lms", root().OsPath("sales2/f.lms")},
      {"<SALES>\\f.lms", root().OsPath("sales/f.lms")},
      // A Kova no one defined stays as it is, attributed to the default Kova.
      {"<Nope>\\a.lms", "<Nope>/a.lms"},
      // A plain path outside every Kova is returned as it is.
      {root().OsPath("outside/plain.lms"), root().OsPath("outside/plain.lms")},
      // A file-system path inside a Kova comes back as that Kova's file.
      {root().OsPath("sales2/z.lms"), root().OsPath("sales2/z.lms")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    EXPECT_EQ(ToFileSystem(row.path), row.expected);
  }
}

TEST_F(FilesApiTest, FlushOfAFileSystemFileChangesNothing) {
  const KOVA_LONG_PTR h = Load("<Sales>\\c.lms");
  ASSERT_EQ(Set(h, "S", "K", "v"), S_OK);
  const std::string before = ReadFileBytes(root().OsPath("sales/c.lms"));
  EXPECT_EQ(api_.KovaFlushFile(h), S_OK);
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales/c.lms")), before);
  EXPECT_EQ(Get(h, "S", "K", ""), "v");
}

TEST_F(FilesApiTest, ExistsDeleteAndRenameInsideAndAcrossKovas) {
  const KOVA_LONG_PTR h = Initialize();
  WriteFileBytes(root().OsPath("sales/a.lms"), "a");
  WriteFileBytes(root().OsPath("sales/b.lms"), "b");
  EXPECT_EQ(OnPath(&TestApi::KovaFileExists, h, "<Sales>\\a.lms"), S_OK);
  EXPECT_EQ(OnPath(&TestApi::KovaFileExists, 0, "<Sales>\\a.lms"), S_OK);
  EXPECT_EQ(OnPath(&TestApi::KovaFileExists, h, "<Sales>\\none.lms"), S_FALSE);
  EXPECT_EQ(OnPath(&TestApi::KovaFileExists, h, "<Nope>\\a.lms"), S_FALSE);

  EXPECT_EQ(OnPath(&TestApi::KovaDeleteFile, h, "<Sales>\\b.lms"), S_OK);
  EXPECT_FALSE(PathExists(root().OsPath("sales/b.lms")));
  EXPECT_EQ(OnPath(&TestApi::KovaDeleteFile, h, "<Sales>\\b.lms"), S_FALSE);

  // A move into another Kova lands in that Kova's folder.
  Bstr from("<Sales>\\a.lms"), to("<Sales2>\\moved.lms");
  EXPECT_EQ(api_.KovaRenameFile(h, from.in(), to.in()), S_OK);
  EXPECT_FALSE(PathExists(root().OsPath("sales/a.lms")));
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/moved.lms")), "a");

  Bstr again("<Sales2>\\moved.lms"), renamed("<Sales2>\\renamed.lms");
  EXPECT_EQ(api_.KovaRenameFile(h, again.in(), renamed.in()), S_OK);
  EXPECT_EQ(ReadFileBytes(root().OsPath("sales2/renamed.lms")), "a");
  EXPECT_EQ(api_.KovaRenameFile(h, again.in(), renamed.in()), S_FALSE);
}

TEST_F(FilesApiTest, WritabilityProbeLeavesNothingAndShowsFailures) {
  const KOVA_LONG_PTR h = Initialize();
  EXPECT_EQ(OnPath(&TestApi::KovaIsPathWriteAble, h, "<Sales>\\"), S_OK);
  EXPECT_FALSE(PathExists(root().OsPath("sales/____Test____Writable____File___.twr")));
  EXPECT_EQ(OnPath(&TestApi::KovaIsPathWriteAble, h, "<Sales>\\new.lms"), S_OK);
  EXPECT_FALSE(PathExists(root().OsPath("sales/new.lms")));
  EXPECT_TRUE(MessageBoxLines().empty());

  EXPECT_EQ(OnPath(&TestApi::KovaIsPathWriteAble, h, "<Sales>\\missing\\x.lms"), S_FALSE);
  const auto boxes = MessageBoxLines();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find("Corvanta"), std::string::npos) << boxes[0];
  EXPECT_NE(boxes[0].find("missing"), std::string::npos) << boxes[0];
  EXPECT_EQ(OnPath(&TestApi::KovaIsPathWriteAble, 0, "<Sales>\\"), S_FALSE);
}

TEST_F(FilesApiTest, CopyToTheLocalFileSystemIsATextCopy) {
  // A zero byte ends its 519-byte piece; the next piece is copied again.
  std::string bytes(600, 'b');
  bytes.replace(0, 10, std::string(10, 'a'));
  bytes[10] = '\0';
  WriteFileBytes(root().OsPath("sales/z.lms"), bytes);
  const std::string expected = std::string(10, 'a') + std::string(600 - 519, 'b');

  const KOVA_LONG_PTR h = Initialize();
  const std::string destination = root().OsPath("out.txt");
  Bstr source("<Sales>\\z.lms"), target(destination), none("");
  EXPECT_EQ(api_.KovaCopyFileToLocalFS(h, source.in(), target.in(), VARIANT_FALSE), S_OK);
  EXPECT_EQ(ReadFileBytes(destination), expected);

  // Fail-if-exists is only VARIANT_TRUE; 1 overwrites.
  WriteFileBytes(destination, "keep");
  EXPECT_EQ(api_.KovaCopyFileToLocalFS(h, source.in(), target.in(), VARIANT_TRUE),
            S_FALSE);
  EXPECT_EQ(ReadFileBytes(destination), "keep");
  EXPECT_EQ(api_.KovaCopyFileToLocalFS(h, none.in(), target.in(), 1), S_OK);
  EXPECT_EQ(ReadFileBytes(destination), expected);

  // The source stays loaded.
  WriteFileBytes(root().OsPath("sales/z.lms"), "[S]\r\nK=loaded\r\n");
  EXPECT_EQ(Get(h, "S", "K", ""), "loaded");

  Bstr missing("<Sales>\\missing.lms");
  EXPECT_EQ(api_.KovaCopyFileToLocalFS(h, missing.in(), target.in(), VARIANT_FALSE),
            S_OK);
  EXPECT_EQ(ReadFileBytes(destination), "");
  Bstr badTarget(root().OsPath("no/such/folder/out.txt"));
  EXPECT_EQ(api_.KovaCopyFileToLocalFS(h, source.in(), badTarget.in(), VARIANT_FALSE),
            S_FALSE);
}

TEST_F(FilesApiTest, FindListsTheFilesOfOneApplication) {
  for (const char* name : {"a.lms", "B.LMS", "c.pn", "d.jzq", "x.l", "e.pn", "f.lms"}) {
    WriteFileBytes(root().OsPath(std::string("sales/Sessions/") + name), "[S]\r\n");
  }
  WriteFileBytes(root().OsPath("sales/Sessions/Old.lms/inner.lms"), "");
  WriteFileBytes(root().OsPath("sales/Sessions/Sub/inner.lms"), "");

  using Names = std::multiset<std::string>;
  // Folders are listed too, but only one whose name carries the type survives.
  EXPECT_EQ(Find("<Sales>\\Sessions", ".lms", APP_LUMASET),
            (Names{"a.lms", "B.LMS", "f.lms", "Old.lms"}));
  EXPECT_EQ(Find("<Sales>\\Sessions", ".*", APP_PENDREL), (Names{"c.pn", "e.pn"}));
  EXPECT_EQ(Find("<Sales>\\Sessions", ".pn", APP_LUMASET), (Names{"Old.lms"}));
  // The pattern may come with the folder.
  EXPECT_EQ(Find("<Sales>\\Sessions\\*.lms", "", APP_LUMASET),
            (Names{"a.lms", "B.LMS", "f.lms", "Old.lms"}));
  EXPECT_EQ(Find("<Sales>\\Missing", ".lms", APP_LUMASET), Names{});
  EXPECT_EQ(Find("<Sales2>\\", ".lms", APP_LUMASET), Names{});

  KOVA_LONG_PTR handle = 0;
  LONG count = 0;
  Bstr folder("<Sales>\\Sessions"), filter(".lms");
  ASSERT_EQ(api_.KovaFindInit(&handle, folder.in(), filter.in(), APP_LUMASET, &count),
            S_OK);
  handles_.push_back(handle);
  OutBstr first, again, negative;
  EXPECT_EQ(api_.KovaFindNext(handle, 0, first.out()), S_OK);
  EXPECT_EQ(api_.KovaFindNext(handle, 0, again.out()), S_OK);
  EXPECT_EQ(first.text(), again.text());
  EXPECT_EQ(api_.KovaFindNext(handle, -1, negative.out()), S_FALSE);
  EXPECT_TRUE(negative.is_null());
}

}  // namespace
