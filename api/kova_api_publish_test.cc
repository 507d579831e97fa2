// KovaPublishLumasetDepFiles on a session file in a file-system Kova: which
// dependent files are published where, how the entries are rewritten, and the
// removal of the server's configuration file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "api/api_test_support.h"
#include "files/error_message.h"
#include "files/message_box_log_test_util.h"
#include "model/test_support.h"
#include "tests/test_util.h"

namespace {

namespace fs = std::filesystem;
using kova::test::Bstr;
using kova::test::DefineKova;
using kova::test::OutBstr;
using kova::test::PathExists;
using kova::test::ReadFileBytes;
using kova::test::ScopedEnv;
using kova::test::TestApi;
using kova::test::WriteFileBytes;

// Kova A (the default) holds the dependent files, Kova B the session file
// <B>\Sessions\s.lms; the user-file folder lies in neither.
class PublishApiTest : public kova::test::IsolatedTest {
 protected:
  PublishApiTest()
      : user_dir_("KOVA_USERDIR", std::string("/srv/user")),
        user_file_dir_("KOVA_USERFILEDIR", root().OsPath("userfiles")) {
    WriteFileBytes(root().OsPath("a/Lumaset/x.file"), "x");
    WriteFileBytes(root().OsPath("a/Lumaset/w.file"), "w");
    WriteFileBytes(root().OsPath("b/Sessions/.keep"), "");
    WriteFileBytes(root().OsPath("userfiles/Lumaset/y.file"), "y");
    DefineKova(HKEY_CURRENT_USER, "A",
               {{"Path1", root().WinPath("a")}, {"DefaultKova", DWORD{1}}});
    DefineKova(HKEY_CURRENT_USER, "B", {{"Path1", root().WinPath("b")}});
  }
  ~PublishApiTest() override { api_.KovaUnInitialize(handle_); }

  // Writes the session file and loads it.
  void LoadSession(const std::string& contents) {
    WriteFileBytes(SessionOs(), contents);
    Bstr path("<B>\\Sessions\\s.lms");
    ASSERT_EQ(api_.KovaLoadFile(&handle_, path.in()), S_OK);
  }
  std::string SessionOs() { return root().OsPath("b/Sessions/s.lms"); }

  std::string Get(const std::string& section, const std::string& key) {
    Bstr s(section), k(key), d("<none>");
    OutBstr value;
    EXPECT_EQ(
        api_.KovaGetProfileString(handle_, s.in(), k.in(), d.in(), value.out(), 260),
        S_OK);
    return value.text();
  }
  // The box that says publishing `path` has no valid place.
  static std::string InvalidPathBox(const std::string& path) {
    std::string text;
    kova::ComposeErrorMessage(ERROR_BAD_PATHNAME, path.c_str(), nullptr, &text);
    return kova::test::BoxLine("Corvanta", text, MB_ICONERROR);
  }

  TestApi api_;
  KOVA_LONG_PTR handle_ = 0;
  ScopedEnv user_dir_;
  ScopedEnv user_file_dir_;
};

TEST_F(PublishApiTest, EntriesArePublishedIntoTheSessionsKovaAndRewritten) {
  LoadSession(
      "[Lumaset]\r\nCount=6\r\n"
      "[Clients]\r\n"
      "C1=<A>\\Lumaset\\x.file\r\n"
      "C3=\r\n"
      "C4=u:Lumaset\\y.file\r\n"
      "C5=Umbra\\z.file\r\n"
      "C6=<A>/Lumaset/w.file\r\n"
      "[Server]\r\nConfiguration File=server.cfg\r\n");
  ASSERT_EQ(api_.KovaPublishLumasetDepFiles(handle_), S_OK);

  struct Row {
    const char* key;
    std::string value;
  };
  const std::string base = "<B>\\Sessions\\";
  const Row rows[] = {
      {"C1", base + "x.file"},
      {"C2", base},  // missing
      {"C3", base},  // empty
      {"C4", "Lumaset\\y.file"},
      {"C5", base + "z.file"},  // an upper-case U is a path
      {"C6", base + "w.file"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.key);
    EXPECT_EQ(Get("Clients", row.key), row.value);
  }
  EXPECT_EQ(Get("Server", "Configuration File"), "<none>");

  // The files keep their place inside the Kova.
  EXPECT_EQ(ReadFileBytes(root().OsPath("b/Lumaset/x.file")), "x");
  EXPECT_EQ(ReadFileBytes(root().OsPath("b/Lumaset/w.file")), "w");
  EXPECT_FALSE(PathExists(root().OsPath("b/Sessions/x.file")));
  EXPECT_FALSE(PathExists(root().OsPath("b/Lumaset/y.file")));
  EXPECT_EQ(ReadFileBytes(root().OsPath("userfiles/Lumaset/y.file")), "y");

  // The empty entries and the path in no Kova are refused by the default Kova;
  // the user-file entry has no destination folder at all.
  const std::string userFile = root().WinPath("userfiles") + "\\Lumaset\\y.file";
  const std::vector<std::string> expected = {InvalidPathBox(""), InvalidPathBox(""),
                                             InvalidPathBox(userFile),
                                             InvalidPathBox("Umbra\\z.file")};
  EXPECT_EQ(MessageBoxLines(), expected);
}

TEST_F(PublishApiTest, ACountOfZeroOnlyRemovesTheConfigurationFile) {
  const std::string clients = "[Clients]\r\nC1=<A>\\Lumaset\\x.file\r\n";
  LoadSession("[Lumaset]\r\nCount=0\r\n" + clients +
              "[Server]\r\nConfiguration File=server.cfg\r\n");
  ASSERT_EQ(api_.KovaPublishLumasetDepFiles(handle_), S_OK);
  EXPECT_EQ(Get("Clients", "C1"), "<A>\\Lumaset\\x.file");
  EXPECT_EQ(Get("Server", "Configuration File"), "<none>");
  EXPECT_FALSE(PathExists(root().OsPath("b/Lumaset")));

  // With an empty value nothing is written at all.
  const std::string untouched =
      "[Lumaset]\r\nCount=0\r\n" + clients + "[Server]\r\nConfiguration File=\r\n";
  LoadSession(untouched);
  ASSERT_EQ(api_.KovaPublishLumasetDepFiles(handle_), S_OK);
  EXPECT_EQ(ReadFileBytes(SessionOs()), untouched);
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(PublishApiTest, ANegativeCountPublishesNothing) {
  const std::string contents =
      "[Lumaset]\r\nCount=-2\r\n[Clients]\r\nC1=<A>\\Lumaset\\x.file\r\n";
  LoadSession(contents);
  ASSERT_EQ(api_.KovaPublishLumasetDepFiles(handle_), S_OK);
  EXPECT_EQ(ReadFileBytes(SessionOs()), contents);
  EXPECT_FALSE(PathExists(root().OsPath("b/Lumaset")));
  EXPECT_TRUE(MessageBoxLines().empty());
}

TEST_F(PublishApiTest, ASessionWithoutALoadedFilePublishesNothing) {
  LONG handle = 0;
  ASSERT_EQ(api_.KovaInitialize(&handle), S_OK);
  EXPECT_EQ(api_.KovaPublishLumasetDepFiles(handle), S_FALSE);
  EXPECT_EQ(api_.KovaUnInitialize(handle), S_OK);
}

}  // namespace
