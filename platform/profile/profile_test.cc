// Reading, listing, numbers and writing of private-profile files, in one process.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "errhandlingapi.h"
#include "profile/profile_store.h"
#include "tests/test_util.h"
#include "winbase.h"
#include "winerror.h"

namespace {

using kova::test::PathExists;
using kova::test::ReadFileBytes;
using kova::test::WriteFileBytes;

constexpr DWORD kSentinelError = 0xdeadbeef;
constexpr char kFill = '\xcc';

class ProfileTest : public kova::test::IsolatedTest {
 protected:
  std::string Os(const std::string& name) { return root().OsPath(name); }
  std::string Win(const std::string& name) { return root().WinPath(name); }
};

// Calls GetPrivateProfileStringA into a sentinel-filled buffer of `size` (+ spare
// room to see overruns) and checks the result, the bytes up to and including the
// terminator(s) and that nothing after them was touched.
void ExpectRead(LPCSTR section, LPCSTR key, LPCSTR fallback, DWORD size,
                const std::string& file, DWORD expected_ret,
                const std::string& expected_bytes,
                DWORD expected_error = kSentinelError) {
  std::vector<char> buffer(size + 8, kFill);
  SetLastError(kSentinelError);
  DWORD ret =
      GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, file.c_str());
  EXPECT_EQ(ret, expected_ret);
  EXPECT_EQ(GetLastError(), expected_error);
  ASSERT_LE(expected_bytes.size(), buffer.size());
  EXPECT_EQ(std::string(buffer.data(), expected_bytes.size()), expected_bytes);
  for (std::size_t i = expected_bytes.size(); i < buffer.size(); ++i) {
    ASSERT_EQ(buffer[i], kFill) << "byte " << i << " overwritten";
  }
}

const char kReadFile[] =
    "orphan=above\r\n"
    "[ Sec2 ]\r\n"
    "  key1  =  value1  \r\n"
    "quoted='abc'\r\n"
    "dquoted=\"abc\"\r\n"
    "twice=''abc''\r\n"
    "padded=' padded '\r\n"
    "open='abc\r\n"
    "inner=a'b'\r\n"
    "mixed='abc\"\r\n"
    "emptyq=''\r\n"
    "single='\r\n"
    "inline=v ; x\r\n"
    "; comment=1\r\n"
    "  ;indented=2\r\n"
    "#hash=3\r\n"
    "noequals\r\n"
    "empty=\r\n"
    "dup=first\r\n"
    "DUP=second\r\n"
    "eq=a=b\r\n"
    "\tTabbed\t=\tt\t\r\n"
    "[sec2]\r\n"
    "later=x\r\n"
    "[Lf]\n"
    "lf=1\n"
    "[Cr]\r"
    "cr=2\r"
    "[open\r\n"
    "inopen=3\r\n"
    "[Last]\r\n"
    "tail=end";

TEST_F(ProfileTest, ReadTest) {
  WriteFileBytes(Os("read.ini"), kReadFile);
  const std::string file = Win("read.ini");
  struct Row {
    LPCSTR section;
    LPCSTR key;
    LPCSTR fallback;
    std::string expected;
  };
  const Row rows[] = {
      {"Sec2", "key1", "d", "value1"},
      {" sec2 ", "  KEY1 ", "d", "value1"},
      {"SEC2", "quoted", "d", "abc"},
      {"Sec2", "dquoted", "d", "abc"},
      {"Sec2", "twice", "d", "'abc'"},
      {"Sec2", "padded", "d", " padded "},
      {"Sec2", "open", "d", "'abc"},
      {"Sec2", "inner", "d", "a'b'"},
      {"Sec2", "mixed", "d", "'abc\""},
      {"Sec2", "emptyq", "d", ""},
      {"Sec2", "single", "d", "'"},
      {"Sec2", "inline", "d", "v ; x"},
      {"Sec2", "; comment", "d", "d"},
      {"Sec2", ";indented", "d", "d"},
      {"Sec2", "#hash", "d", "3"},
      {"Sec2", "noequals", "d", "d"},
      {"Sec2", "empty", "d", ""},
      {"Sec2", "dup", "d", "first"},
      {"Sec2", "eq", "d", "a=b"},
      {"Sec2", "tabbed", "d", "t"},
      {"Sec2", "later", "d", "d"},   // only the first [sec2] is searched
      {"Sec2", "orphan", "d", "d"},  // above the first header
      {"", "orphan", "d", "d"},
      {"Lf", "lf", "d", "1"},
      {"Cr", "cr", "d", "2"},
      {"Cr", "inopen", "d", "3"},  // "[open" is no header
      {"open", "inopen", "d", "d"},
      {"Last", "tail", "d", "end"},
      {"Sec2", "missing", "dflt  \t", "dflt"},
      {"Sec2", "missing", "  lead", "  lead"},
      {"Sec2", "missing", "'q'", "'q'"},  // the default keeps its quotes
      {"Sec2", "missing", nullptr, ""},
      {"Nope", "key1", "d", "d"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.section) + " / " + row.key);
    ExpectRead(row.section, row.key, row.fallback, 64, file, row.expected.size(),
               row.expected + '\0');
  }
}

TEST_F(ProfileTest, ReadCutsToBufferSize) {
  WriteFileBytes(Os("cut.ini"), "[s]\r\nv=value1\r\nq='abc'\r\n");
  const std::string file = Win("cut.ini");
  struct Row {
    LPCSTR key;
    LPCSTR fallback;
    DWORD size;
    DWORD ret;
    std::string bytes;
  };
  const Row rows[] = {
      {"v", "d", 8, 6, std::string("value1\0", 7)},
      {"v", "d", 7, 6, std::string("value1\0", 7)},
      {"v", "d", 6, 5, std::string("value\0", 6)},
      {"v", "d", 2, 1, std::string("v\0", 2)},
      {"v", "d", 1, 0, std::string("\0", 1)},
      {"v", "d", 0, 0, ""},
      {"q", "d", 3, 2, std::string("ab\0", 3)},
      {"x", "defaultvalue", 4, 3, std::string("def\0", 4)},
      {"x", "defaultvalue", 0, 0, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.key) + " size " + std::to_string(row.size));
    ExpectRead("s", row.key, row.fallback, row.size, file, row.ret, row.bytes);
  }
}

TEST_F(ProfileTest, ReadOfMissingFileGivesDefaultAndError) {
  ExpectRead("s", "k", "dflt ", 16, Win("none.ini"), 4, std::string("dflt\0", 5),
             ERROR_FILE_NOT_FOUND);
  ExpectRead("s", "k", "dflt", 16, Win("nofolder\\none.ini"), 4, std::string("dflt\0", 5),
             ERROR_PATH_NOT_FOUND);
  ExpectRead(nullptr, nullptr, "dflt", 16, Win("none.ini"), 0, std::string("\0", 1),
             ERROR_FILE_NOT_FOUND);
  ExpectRead("s", "k", "dflt", 16, "", 4, std::string("dflt\0", 5), ERROR_FILE_NOT_FOUND);
  SetLastError(kSentinelError);
  EXPECT_EQ(GetPrivateProfileIntA("s", "k", 17, Win("none.ini").c_str()), 17u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(PathExists(Os("none.ini")));
}

const char kListFile[] =
    "top=0\r\n"
    "[one]\r\n"
    "a=1\r\n"
    ";c=2\r\n"
    "bare\r\n"
    "bb=2\r\n"
    "A=dup\r\n"
    "=nameless\r\n"
    "[two]\r\n"
    "[one]\r\n"
    "later=3\r\n"
    "[]\r\n"
    "[empty]\r\n"
    ";only a comment\r\n";

TEST_F(ProfileTest, ListTest) {
  WriteFileBytes(Os("list.ini"), kListFile);
  const std::string file = Win("list.ini");
  using std::string_literals::operator""s;
  struct Row {
    LPCSTR section;
    DWORD size;
    DWORD ret;
    std::string bytes;
  };
  const Row rows[] = {
      // Section names: "one\0two\0empty\0" is 14 characters.
      {nullptr, 64, 14, "one\0two\0empty\0\0"s},
      {nullptr, 16, 14, "one\0two\0empty\0\0"s},
      {nullptr, 15, 13, "one\0two\0empty\0\0"s},  // an exact fit counts as cut
      {nullptr, 10, 8, "one\0two\0\0\0"s},
      {nullptr, 6, 4, "one\0\0\0"s},
      {nullptr, 5, 3, "one\0\0"s},
      {nullptr, 3, 1, "o\0\0"s},
      {nullptr, 2, 0, "\0\0"s},
      {nullptr, 1, 0, "\0"s},
      {nullptr, 0, 0, ""s},
      // Key names of the first [one]: comments, lines without '=', empty names and
      // later duplicates are not listed.
      {"one", 64, 5, "a\0bb\0\0"s},
      {" ONE ", 7, 5, "a\0bb\0\0"s},
      {"one", 6, 4, "a\0bb\0\0"s},
      {"one", 4, 2, "a\0\0\0"s},
      // No listable keys, or no section: the default.
      {"two", 64, 4, "dflt\0"s},
      {"empty", 64, 4, "dflt\0"s},
      {"none", 64, 4, "dflt\0"s},
      {"none", 3, 2, "df\0"s},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.section ? row.section : "(null)") + " size " +
                 std::to_string(row.size));
    ExpectRead(row.section, nullptr, "dflt", row.size, file, row.ret, row.bytes);
    if (row.section != nullptr) continue;
    std::vector<char> buffer(row.size + 8, kFill);
    SetLastError(kSentinelError);
    EXPECT_EQ(GetPrivateProfileSectionNamesA(buffer.data(), row.size, file.c_str()),
              row.ret);
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_EQ(std::string(buffer.data(), row.bytes.size()), row.bytes);
    EXPECT_EQ(buffer[row.bytes.size()], kFill);
  }
}

TEST_F(ProfileTest, IntTest) {
  WriteFileBytes(Os("int.ini"),
                 "[n]\r\n"
                 "plain=42\r\n"
                 "trail=12abc\r\n"
                 "word=abc\r\n"
                 "neg=-5\r\n"
                 "plus=+7\r\n"
                 "hex=0x1F\r\n"
                 "hexlow=0xff\r\n"
                 "hexstop=0xfFz\r\n"
                 "upperx=0X1F\r\n"
                 "bare0x=0x\r\n"
                 "neghex=-0x10\r\n"
                 "quoted='42'\r\n"
                 "quotedsp=' 13 '\r\n"
                 "wrap=4294967297\r\n"
                 "big=4294967295\r\n"
                 "empty=\r\n"
                 "emptyq=''\r\n"
                 "sign=-\r\n"
                 "spaced=  99  \r\n");
  const std::string file = Win("int.ini");
  struct Row {
    LPCSTR key;
    UINT expected;
  };
  const Row rows[] = {
      {"plain", 42},
      {"trail", 12},
      {"word", 0},
      {"neg", 4294967291u},
      {"plus", 7},
      {"hex", 31},
      {"hexlow", 255},
      {"hexstop", 255},
      {"upperx", 0},
      {"bare0x", 0},
      {"neghex", 0xFFFFFFF0u},
      {"quoted", 42},
      {"quotedsp", 13},
      {"wrap", 1},
      {"big", 4294967295u},
      {"empty", 77},
      {"emptyq", 77},
      {"sign", 0},
      {"spaced", 99},
      {"missing", 77},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.key);
    SetLastError(kSentinelError);
    EXPECT_EQ(GetPrivateProfileIntA("N", row.key, 77, file.c_str()), row.expected);
    EXPECT_EQ(GetLastError(), kSentinelError);
  }
  EXPECT_EQ(GetPrivateProfileIntA("nosection", "plain", -1, file.c_str()), 4294967295u);
}

// Writes: the file before (nullopt: no file), one call, the file after.
struct WriteRow {
  const char* name;
  std::optional<std::string> before;
  LPCSTR section;
  LPCSTR key;
  LPCSTR value;
  std::optional<std::string> after;
};

TEST_F(ProfileTest, WriteTest) {
  const WriteRow rows[] = {
      {"new file", std::nullopt, "S", "k", "v", "[S]\r\nk=v\r\n"},
      {"new key before blank line", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "z", "3",
       "[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n"},
      {"new key after comment", "[a]\r\nx=1\r\n; note\r\n[b]\r\n", "A", "z", "3",
       "[a]\r\nx=1\r\n; note\r\nz=3\r\n[b]\r\n"},
      {"new key in header-only section", "[a]\r\n[b]\r\n", "a", "k", "v",
       "[a]\r\nk=v\r\n[b]\r\n"},
      {"new section at end", "[a]\r\nx=1\r\n", "b", "k", "v",
       "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
      {"new section after blank tail", "[a]\r\nx=1\r\n\r\n", "b", "k", "v",
       "[a]\r\nx=1\r\n\r\n[b]\r\nk=v\r\n"},
      {"new key, no final line end", "[a]\r\nx=1", "a", "y", "2",
       "[a]\r\nx=1\r\ny=2\r\n"},
      {"new section, no final line end", "[a]\r\nx=1", "b", "k", "v",
       "[a]\r\nx=1\r\n[b]\r\nk=v\r\n"},
      {"header without line end", "[a]", "a", "k", "v", "[a]\r\nk=v\r\n"},
      {"existing key keeps place and spelling", "[a]\r\n  KeY = old  \r\nz=1\r\n", "A",
       "key", "new", "[a]\r\nKeY=new\r\nz=1\r\n"},
      {"rewritten last line keeps no line end", "[a]\r\nx=1\n[b]\ry=2", "b", "y", "3",
       "[a]\r\nx=1\n[b]\ry=3"},
      {"same value", "[a]\r\n x = 1 \r\n", "a", "x", "1", "[a]\r\n x = 1 \r\n"},
      {"quotes are part of the stored value", "[a]\r\nx='1'\r\n", "a", "x", "1",
       "[a]\r\nx=1\r\n"},
      {"empty value", "[a]\r\nx=1\r\n", "a", "x", "", "[a]\r\nx=\r\n"},
      {"value written as given", "[a]\r\n", "a", "k", " sp ", "[a]\r\nk= sp \r\n"},
      {"names trimmed", "[a]\r\n", " a ", " y ", "v", "[a]\r\ny=v\r\n"},
      {"remove key", "[a]\r\nx=1\r\ny=2\r\n", "a", "X", nullptr, "[a]\r\ny=2\r\n"},
      {"remove last key keeps header", "[a]\r\nx=1\r\n[b]\r\n", "a", "x", nullptr,
       "[a]\r\n[b]\r\n"},
      {"remove missing key", "[a]\r\nx=1\r\n", "a", "y", nullptr, "[a]\r\nx=1\r\n"},
      {"remove key of missing file", std::nullopt, "a", "y", nullptr, std::nullopt},
      {"remove section with comments and blank lines",
       "[a]\r\nx=1\r\n[b]\r\n; about b\r\ny=2\r\n\r\n[c]\r\nz=3\r\n", "B", nullptr,
       nullptr, "[a]\r\nx=1\r\n[c]\r\nz=3\r\n"},
      {"remove last section", "[a]\r\nx=1\r\n[b]\r\ny=2", "b", nullptr, nullptr,
       "[a]\r\nx=1\r\n"},
      {"remove missing section", "[a]\r\n", "b", nullptr, "ignored", "[a]\r\n"},
      {"first duplicate key written", "[a]\r\nx=1\r\nX=2\r\n[A]\r\nx=3\r\n", "a", "x",
       "9", "[a]\r\nx=9\r\nX=2\r\n[A]\r\nx=3\r\n"},
      {"first duplicate key removed", "[a]\r\nx=1\r\nX=2\r\n", "a", "x", nullptr,
       "[a]\r\nX=2\r\n"},
      {"first duplicate section removed", "[a]\r\nx=1\r\n[A]\r\nx=3\r\n", "a", nullptr,
       nullptr, "[A]\r\nx=3\r\n"},
      {"open bracket is no header", "[a]\r\n[b\r\nx=1\r\n", "b", "k", "v",
       "[a]\r\n[b\r\nx=1\r\n[b]\r\nk=v\r\n"},
      {"open bracket line stays in its section", "[a]\r\n[b\r\nx=1\r\n", "a", "y", "2",
       "[a]\r\n[b\r\nx=1\r\ny=2\r\n"},
      {"keys above first header untouched", "top=1\r\n[a]\r\n", "a", "top", "2",
       "top=1\r\n[a]\r\ntop=2\r\n"},
      {"LF file keeps LF", "[a]\n  x = 1 \n\n[b]\ny=2\n", "b", "z", "3",
       "[a]\n  x = 1 \n\n[b]\ny=2\nz=3\n"},
      {"CR file keeps CR", "[a]\rx=1\r", "c", "k", "v", "[a]\rx=1\r[c]\rk=v\r"},
      {"byte-order mark kept", "\xEF\xBB\xBF[a]\r\nx=1\r\n", "a", "y", "2",
       "\xEF\xBB\xBF[a]\r\nx=1\r\ny=2\r\n"},
      {"empty file", "", "a", "k", "v", "[a]\r\nk=v\r\n"},
  };
  for (const WriteRow& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string os_path = Os("write.ini");
    unlink(os_path.c_str());
    if (row.before) WriteFileBytes(os_path, *row.before);
    SetLastError(kSentinelError);
    EXPECT_TRUE(WritePrivateProfileStringA(row.section, row.key, row.value,
                                           Win("write.ini").c_str()));
    EXPECT_EQ(GetLastError(), kSentinelError);
    EXPECT_EQ(PathExists(os_path), row.after.has_value());
    if (row.after) {
      EXPECT_EQ(ReadFileBytes(os_path), *row.after);
    }
  }
}

TEST_F(ProfileTest, WriteFailures) {
  const std::string before = "[a]\r\nx=1\r\n";
  WriteFileBytes(Os("f.ini"), before);
  const std::string file = Win("f.ini");
  struct Row {
    const char* name;
    LPCSTR section;
    LPCSTR key;
    LPCSTR value;
    std::string file;
    DWORD error;
  };
  const Row rows[] = {
      {"missing folder", "a", "k", "v", Win("nofolder\\f.ini"), ERROR_PATH_NOT_FOUND},
      {"null section", nullptr, "k", "v", file, ERROR_FILE_NOT_FOUND},
      {"null section, null key", nullptr, nullptr, nullptr, file, ERROR_FILE_NOT_FOUND},
      {"empty file name", "a", "k", "v", "", ERROR_ACCESS_DENIED},
      {"line break in value", "a", "k", "v\r\n[evil]", file, ERROR_INVALID_PARAMETER},
      {"line break in section", "a]\n[b", "k", "v", file, ERROR_INVALID_PARAMETER},
      {"line break in key", "a", "k\nj", "v", file, ERROR_INVALID_PARAMETER},
      {"equals sign in key", "a", "k=j", "v", file, ERROR_INVALID_PARAMETER},
      {"key that reads as a comment", "a", ";k", "v", file, ERROR_INVALID_PARAMETER},
      {"key that reads as a header", "a", "[k]", "v", file, ERROR_INVALID_PARAMETER},
      {"folder as file", "a", "k", "v", root().WinPath("windows"), ERROR_ACCESS_DENIED},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    SetLastError(kSentinelError);
    EXPECT_FALSE(
        WritePrivateProfileStringA(row.section, row.key, row.value, row.file.c_str()));
    EXPECT_EQ(GetLastError(), row.error);
    EXPECT_EQ(ReadFileBytes(Os("f.ini")), before);
  }
  EXPECT_FALSE(PathExists(Os("nofolder")));
}

TEST_F(ProfileTest, WritingTheSameValueLeavesTheFileAlone) {
  WriteFileBytes(Os("same.ini"), "[a]\r\nx=1\r\n");
  struct stat before, after;
  ASSERT_EQ(stat(Os("same.ini").c_str(), &before), 0);
  usleep(20000);
  ASSERT_WIN_OK(WritePrivateProfileStringA("a", "X", "1", Win("same.ini").c_str()));
  ASSERT_WIN_OK(WritePrivateProfileStringA("a", "y", nullptr, Win("same.ini").c_str()));
  ASSERT_WIN_OK(
      WritePrivateProfileStringA("b", nullptr, nullptr, Win("same.ini").c_str()));
  ASSERT_EQ(stat(Os("same.ini").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(after.st_ctim.tv_nsec, before.st_ctim.tv_nsec);
}

TEST_F(ProfileTest, WriteReplacesTheFileAndKeepsItsMode) {
  const std::string os_path = Os("mode.ini");
  WriteFileBytes(os_path, "[a]\r\nx=1\r\n");
  ASSERT_EQ(chmod(os_path.c_str(), 0640), 0);
  struct stat before, after;
  ASSERT_EQ(stat(os_path.c_str(), &before), 0);
  ASSERT_WIN_OK(WritePrivateProfileStringA("a", "x", "2", Win("mode.ini").c_str()));
  ASSERT_EQ(stat(os_path.c_str(), &after), 0);
  EXPECT_NE(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mode & 07777, 0640u);

  // A new file gets 0666 less the umask.
  mode_t old_mask = umask(027);
  BOOL created = WritePrivateProfileStringA("a", "x", "1", Win("fresh.ini").c_str());
  umask(old_mask);
  ASSERT_TRUE(created);
  ASSERT_EQ(stat(Os("fresh.ini").c_str(), &after), 0);
  EXPECT_EQ(after.st_mode & 07777, 0640u);

  // Neither the lock file nor the temporary file stays behind.
  EXPECT_FALSE(PathExists(os_path + ".lock"));
  EXPECT_FALSE(PathExists(os_path + ".partial"));
  EXPECT_FALSE(PathExists(Os("fresh.ini.lock")));
}

TEST_F(ProfileTest, WriteThroughSymbolicLinkKeepsTheLink) {
  WriteFileBytes(Os("target.ini"), "[a]\r\nx=1\r\n");
  ASSERT_EQ(symlink(Os("target.ini").c_str(), Os("link.ini").c_str()), 0);
  ASSERT_WIN_OK(WritePrivateProfileStringA("a", "x", "2", Win("link.ini").c_str()));
  struct stat st;
  ASSERT_EQ(lstat(Os("link.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileBytes(Os("target.ini")), "[a]\r\nx=2\r\n");
}

TEST_F(ProfileTest, FileNameWithoutFolderLiesInWindowsDirectory) {
  ASSERT_WIN_OK(WritePrivateProfileStringA("a", "k", "v", "plain.ini"));
  EXPECT_EQ(ReadFileBytes(windows_dir() + "/plain.ini"), "[a]\r\nk=v\r\n");
  ExpectRead("a", "k", "d", 8, "plain.ini", 1, std::string("v\0", 2));

  // A null name is win.ini there.
  ASSERT_WIN_OK(WritePrivateProfileStringA("w", "k", "1", nullptr));
  EXPECT_EQ(ReadFileBytes(windows_dir() + "/win.ini"), "[w]\r\nk=1\r\n");
  EXPECT_EQ(GetPrivateProfileIntA("w", "k", 0, nullptr), 1u);
}

TEST_F(ProfileTest, RelativeNameWithFolderIsBelowTheCurrentFolder) {
  ASSERT_EQ(mkdir(Os("cwd").c_str(), 0700), 0);
  ASSERT_EQ(mkdir(Os("cwd/sub").c_str(), 0700), 0);
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(Os("cwd").c_str()), 0);
  BOOL written = WritePrivateProfileStringA("a", "k", "v", "sub\\rel.ini");
  char value[8] = {};
  DWORD ret = GetPrivateProfileStringA("a", "k", "", value, sizeof value, "sub/rel.ini");
  ASSERT_EQ(chdir(old), 0);
  EXPECT_TRUE(written);
  EXPECT_EQ(ret, 1u);
  EXPECT_STREQ(value, "v");
  EXPECT_EQ(ReadFileBytes(Os("cwd/sub/rel.ini")), "[a]\r\nk=v\r\n");
}

// A file that was changed at least `age` ago, so that the cache may trust it.
void WaitUntilSettled(const std::string& os_path) {
  for (int i = 0; i < 300; ++i) {
    struct stat st;
    if (stat(os_path.c_str(), &st) != 0) return;
    timespec now;
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    kova::platform::profile::FileStamp stamp{
        0, 0, 0, st.st_mtim.tv_sec * 1000000000ll + st.st_mtim.tv_nsec,
        st.st_ctim.tv_sec * 1000000000ll + st.st_ctim.tv_nsec};
    if (kova::platform::profile::IsSettledStamp(stamp,
                                                now.tv_sec * 1000000000ll + now.tv_nsec))
      return;
    usleep(5000);
  }
}

std::string ReadValue(const std::string& file, LPCSTR section, LPCSTR key) {
  char value[128];
  GetPrivateProfileStringA(section, key, "<none>", value, sizeof value, file.c_str());
  return value;
}

TEST_F(ProfileTest, UnchangedFileIsNotParsedAgain) {
  using kova::platform::profile::GetProfileCacheStats;
  WriteFileBytes(Os("c.ini"), "[a]\r\nk=1\r\n");
  WaitUntilSettled(Os("c.ini"));
  EXPECT_EQ(ReadValue(Win("c.ini"), "a", "k"), "1");
  const auto first = GetProfileCacheStats();
  for (int i = 0; i < 10; ++i) EXPECT_EQ(ReadValue(Win("c.ini"), "a", "k"), "1");
  EXPECT_EQ(GetPrivateProfileIntA("a", "k", 0, Win("c.ini").c_str()), 1u);
  const auto later = GetProfileCacheStats();
  EXPECT_EQ(later.parses, first.parses);
  EXPECT_EQ(later.hits, first.hits + 11);

  // A write through the functions hands its parse to the cache.
  ASSERT_WIN_OK(WritePrivateProfileStringA("a", "k", "2", Win("c.ini").c_str()));
  EXPECT_EQ(ReadValue(Win("c.ini"), "a", "k"), "2");
  EXPECT_EQ(GetProfileCacheStats().parses, first.parses);
}

TEST_F(ProfileTest, ChangedFileIsAlwaysReadAgain) {
  const std::string os_path = Os("chg.ini");
  const std::string file = Win("chg.ini");
  WriteFileBytes(os_path, "[a]\r\nk=0\r\n");
  WaitUntilSettled(os_path);
  EXPECT_EQ(ReadValue(file, "a", "k"), "0");

  // A different size, in place.
  WriteFileBytes(os_path, "[a]\r\nk=10\r\n");
  EXPECT_EQ(ReadValue(file, "a", "k"), "10");

  // The same size, many times within one tick of the clock that stamps files.
  for (int i = 0; i < 200; ++i) {
    std::string expected = std::to_string(10 + i % 90);
    WriteFileBytes(os_path, "[a]\r\nk=" + expected + "\r\n");
    ASSERT_EQ(ReadValue(file, "a", "k"), expected) << "round " << i;
  }

  // The same size with the old modification time put back, after it settled.
  struct stat st;
  ASSERT_EQ(stat(os_path.c_str(), &st), 0);
  WaitUntilSettled(os_path);
  EXPECT_EQ(ReadValue(file, "a", "k"), "29");
  WriteFileBytes(os_path, "[a]\r\nk=55\r\n");
  timespec times[2] = {st.st_atim, st.st_mtim};
  ASSERT_EQ(utimensat(AT_FDCWD, os_path.c_str(), times, 0), 0);
  WaitUntilSettled(os_path);
  EXPECT_EQ(ReadValue(file, "a", "k"), "55");

  // Replaced by another file, and removed.
  WriteFileBytes(Os("other.ini"), "[a]\r\nk=77\r\n");
  ASSERT_EQ(rename(Os("other.ini").c_str(), os_path.c_str()), 0);
  EXPECT_EQ(ReadValue(file, "a", "k"), "77");
  ASSERT_EQ(unlink(os_path.c_str()), 0);
  EXPECT_EQ(ReadValue(file, "a", "k"), "<none>");
}

TEST_F(ProfileTest, ChangeByAnotherProcessIsSeen) {
  const std::string file = Win("proc.ini");
  WriteFileBytes(Os("proc.ini"), "[a]\r\nk=1\r\n");
  WaitUntilSettled(Os("proc.ini"));
  EXPECT_EQ(ReadValue(file, "a", "k"), "1");
  for (const char* value : {"2", "3", "4"}) {
    auto run =
        kova::test::RunProgram("profile_test_writer", {"set", file, "a", "k", value});
    ASSERT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(ReadValue(file, "a", "k"), value);
  }
}

TEST_F(ProfileTest, ReadersInThreadsSeeWholeValues) {
  const std::string file = Win("threads.ini");
  ASSERT_WIN_OK(WritePrivateProfileStringA("a", "k", "v0", file.c_str()));
  std::atomic<bool> done{false};
  std::atomic<int> bad{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 3; ++t) {
    readers.emplace_back([&] {
      while (!done) {
        std::string value = ReadValue(file, "a", "k");
        if (value.size() < 2 || value[0] != 'v') ++bad;
      }
    });
  }
  for (int i = 1; i <= 100; ++i) {
    ASSERT_WIN_OK(WritePrivateProfileStringA("a", "k", ("v" + std::to_string(i)).c_str(),
                                             file.c_str()));
  }
  done = true;
  for (std::thread& reader : readers) reader.join();
  EXPECT_EQ(bad.load(), 0);
  EXPECT_EQ(ReadValue(file, "a", "k"), "v100");
}

TEST(ProfileSettleTest, RecentOrFutureTimesAreUnsettled) {
  using kova::platform::profile::FileStamp;
  using kova::platform::profile::IsSettledStamp;
  const long long now = 1700000000ll * 1000000000ll + 123456789;
  auto stamp = [](long long mtime, long long ctime) {
    return FileStamp{1, 2, 3, mtime, ctime};
  };
  EXPECT_TRUE(IsSettledStamp(stamp(now - 1000000000, now - 1000000000), now));
  EXPECT_FALSE(IsSettledStamp(stamp(now, now - 1000000000), now));
  EXPECT_FALSE(IsSettledStamp(stamp(now - 1000000000, now), now));  // ctime counts too
  EXPECT_FALSE(IsSettledStamp(stamp(now + 5000000, now + 5000000), now));
  // Whole seconds: a file system with coarse times; two seconds must pass.
  const long long second = 1700000000ll * 1000000000ll;
  EXPECT_FALSE(IsSettledStamp(stamp(second, second), second + 1500000000));
  EXPECT_TRUE(IsSettledStamp(stamp(second, second), second + 2000000000));
}

}  // namespace
