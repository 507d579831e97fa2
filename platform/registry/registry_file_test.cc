// The hive files behind the Reg* calls: their bytes, their locations, other
// processes, damage and read-only files.
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/test_util.h"
#include "winerror.h"
#include "winreg.h"

namespace {

using kova::test::PathExists;
using kova::test::ReadFileBytes;
using kova::test::RunProgram;
using kova::test::WriteFileBytes;

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n\r\n";

class RegistryFileTest : public kova::test::IsolatedTest {
 protected:
  std::string UserHive() const { return registry_dir() + "/user.reg"; }
  std::string MachineHive() const { return registry_dir() + "/system.reg"; }

  LSTATUS Set(HKEY root, const char* path, const char* name, DWORD type,
              const std::string& data) {
    HKEY key;
    LSTATUS status = RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                     &key, nullptr);
    if (status != ERROR_SUCCESS) return status;
    status =
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    return status;
  }
  // "type:data" of a value, or "error N".
  std::string Get(HKEY root, const char* path, const char* name) {
    HKEY key;
    LSTATUS status = RegOpenKeyExA(root, path, 0, KEY_READ, &key);
    if (status != ERROR_SUCCESS) return "error " + std::to_string(status);
    std::vector<char> buffer(4096);
    DWORD size = static_cast<DWORD>(buffer.size()), type = 0;
    status = RegQueryValueExA(key, name, nullptr, &type,
                              reinterpret_cast<BYTE*>(buffer.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return "error " + std::to_string(status);
    return std::to_string(type) + ":" + std::string(buffer.data(), size);
  }
  static std::string Typed(DWORD type, const std::string& data) {
    return std::to_string(type) + ":" + data;
  }
};

TEST_F(RegistryFileTest, EveryTypeRoundTripsThroughTheFile) {
  struct Row {
    const char* name;
    DWORD type;
    std::string data;
  };
  std::string big;
  for (int i = 0; i < 100; ++i) big.push_back(char(i * 7));
  const Row rows[] = {
      {"", REG_SZ, std::string("the default\0", 12)},
      {"Quote \"and\" \\slash", REG_SZ, std::string("C:\\dir\\\"x\"\0", 11)},
      {"Lines", REG_SZ, std::string("one\r\ntwo\0", 9)},
      {"Latin", REG_SZ, std::string("\xE9t\xE9\0", 4)},  // not UTF-8
      {"Utf8", REG_SZ, std::string("\xC3\xA9t\xC3\xA9\0", 6)},
      {"Expand", REG_EXPAND_SZ, std::string("%HOME%\\kovas\0", 13)},
      {"Dword", REG_DWORD, std::string("\x2a\0\0\0", 4)},
      {"Binary", REG_BINARY, big},
      {"Multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
      {"None", REG_NONE, ""},
      {"Qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
  };
  for (const Row& row : rows)
    ASSERT_EQ(Set(HKEY_CURRENT_USER, "Software\\Types", row.name, row.type, row.data),
              ERROR_SUCCESS)
        << row.name;

  std::string file = ReadFileBytes(UserHive());
  const std::string start = kHeader +
                            "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
                            "[HKEY_CURRENT_USER\\Software\\Types]\r\n";
  EXPECT_EQ(file.substr(0, start.size()), start);
  for (const char* line :
       {"\r\n@=\"the default\"\r\n",
        "\r\n\"Quote \\\"and\\\" \\\\slash\"=\"C:\\\\dir\\\\\\\"x\\\"\"\r\n",
        "\r\n\"Lines\"=hex(1):6f,00,6e,00,65,00,0d,00,0a,00,74,00,77,00,6f,00,00,00\r\n",
        "\r\n\"Utf8\"=\"\xC3\xA9t\xC3\xA9\"\r\n", "\r\n\"Dword\"=dword:0000002a\r\n",
        "\r\n\"None\"=hex(0):\r\n", "\r\n\"Qword\"=hex(b):01,02,03,04,05,06,07,08\r\n"}) {
    EXPECT_NE(file.find(line), std::string::npos) << line << " in\n" << file;
  }

  // Another writer's copy with LF line ends: a new file that is read again.
  std::string lf;
  for (char c : file)
    if (c != '\r') lf.push_back(c);
  WriteFileBytes(UserHive(), lf);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software\\Types", row.name),
              Typed(row.type, row.data));
  }
  // The next write puts CRLF back and gives the same bytes as before.
  ASSERT_EQ(
      Set(HKEY_CURRENT_USER, "Software\\Types", "Dword", REG_DWORD, std::string(4, '\0')),
      ERROR_SUCCESS);
  ASSERT_EQ(Set(HKEY_CURRENT_USER, "Software\\Types", "Dword", REG_DWORD, rows[6].data),
            ERROR_SUCCESS);
  EXPECT_EQ(ReadFileBytes(UserHive()), file);
}

TEST_F(RegistryFileTest, HandWrittenHiveIsRead) {
  std::filesystem::create_directories(registry_dir());
  WriteFileBytes(
      MachineHive(),
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "; the administrator's own notes\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Corvanta\\Vintrel\\Kovas\\Work\\Deeper]\n"
      "\n"
      "[hkey_local_machine\\SOFTWARE\\corvanta\\vintrel\\kovas\\work]\n"
      "\"Path1\"=\"/srv/kovas/work\"\n"
      "\"Type1\"=dword:00000000\n");
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "Software\\Corvanta\\Vintrel\\Kovas\\Work", "path1"),
            Typed(REG_SZ, std::string("/srv/kovas/work\0", 16)));
  // Ancestors implied by a deeper section exist; the first spelling is kept.
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Corvanta", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  char name[32];
  DWORD size = sizeof name;
  ASSERT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_STREQ(name, "Vintrel");
  RegCloseKey(key);
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software", ""), "error 2");
}

TEST_F(RegistryFileTest, MissingHiveIsEmptyAndCreatedOnFirstWrite) {
  std::string dir = root().OsPath("not/yet/there");
  kova::test::ScopedEnv env("KOVA_REGISTRY_DIR", dir);
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software", "x"), "error 2");
  EXPECT_FALSE(PathExists(dir));  // reading creates nothing
  ASSERT_EQ(Set(HKEY_CURRENT_USER, "Software\\New", "x", REG_SZ, "1"), ERROR_SUCCESS);
  struct stat st;
  ASSERT_EQ(stat((dir + "/user.reg").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_FALSE(PathExists(dir + "/system.reg"));
}

TEST_F(RegistryFileTest, UserHiveWithoutRegistryDirFollowsXdg) {
  kova::test::ScopedEnv env("KOVA_REGISTRY_DIR", std::nullopt);
  kova::test::ScopedEnv xdg("XDG_CONFIG_HOME", root().OsPath("xdg"));
  ASSERT_EQ(Set(HKEY_CURRENT_USER, "Software\\Xdg", "x", REG_SZ, "1"), ERROR_SUCCESS);
  EXPECT_TRUE(PathExists(root().OsPath("xdg/corvanta/user.reg")));
  kova::test::ScopedEnv no_xdg("XDG_CONFIG_HOME", std::nullopt);
  ASSERT_EQ(Set(HKEY_CURRENT_USER, "Software\\Home", "x", REG_SZ, "1"), ERROR_SUCCESS);
  EXPECT_TRUE(PathExists(root().OsPath("home/.config/corvanta/user.reg")));
}

TEST_F(RegistryFileTest, ClassRegistrationWithOnlyTheRegistryFolder) {
  HKEY key;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_CLASSES_ROOT,
                      "CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", 0,
                      nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  const char path[] = "/opt/kova/libKovaIntr.so";
  ASSERT_EQ(RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                           sizeof path),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_NE(
      ReadFileBytes(MachineHive())
          .find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{11111111-2222-3333-"
                "4444-555555555555}\\InprocServer32]\r\n@=\"/opt/kova/libKovaIntr.so\""),
      std::string::npos);
  EXPECT_FALSE(PathExists(UserHive()));
}

TEST_F(RegistryFileTest, ChangeByAnotherProcessIsSeenAtTheNextOpen) {
  ASSERT_EQ(
      Set(HKEY_CURRENT_USER, "Software\\Shared", "p0", REG_DWORD, std::string(4, '\x09')),
      ERROR_SUCCESS);
  HKEY held;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Shared", 0, KEY_READ, &held),
            ERROR_SUCCESS);
  kova::test::RunResult run =
      RunProgram("registry_test_writer", {"Software\\Shared", "p", "3"});
  ASSERT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software\\Shared", "p0"),
            Typed(REG_DWORD, std::string("\0\0\0\0", 4)));
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software\\Shared", "p2"),
            Typed(REG_DWORD, std::string("\x02\0\0\0", 4)));

  // A key deleted by another process leaves this process's handle on a deleted key.
  WriteFileBytes(UserHive(), kHeader);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(held, "p0", nullptr, nullptr, nullptr, &size),
            ERROR_KEY_DELETED);
  RegCloseKey(held);
}

TEST_F(RegistryFileTest, ConcurrentWritersLoseNothing) {
  // Two processes each write 200 values, one file rewrite per value.
  ASSERT_EQ(Set(HKEY_CURRENT_USER, "Software\\Race", "seed", REG_SZ, "x"), ERROR_SUCCESS);
  kova::test::RunResult a, b;
  std::thread first([&] {
    a = RunProgram("registry_test_writer", {"Software\\Race", "a", "200"});
  });
  std::thread second([&] {
    b = RunProgram("registry_test_writer", {"Software\\Race", "b", "200"});
  });
  first.join();
  second.join();
  ASSERT_EQ(a.exit_code, 0) << a.err;
  ASSERT_EQ(b.exit_code, 0) << b.err;
  HKEY key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Race", 0, KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD values = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(values, 401u);
  for (const char* prefix : {"a", "b"}) {
    for (DWORD i = 0; i < 200; ++i) {
      std::string name = prefix + std::to_string(i);
      DWORD data = ~0u, size = sizeof data;
      ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&data), &size),
                ERROR_SUCCESS)
          << name;
      EXPECT_EQ(data, i) << name;
    }
  }
  RegCloseKey(key);
  for (const auto& entry : std::filesystem::directory_iterator(registry_dir()))
    EXPECT_TRUE(entry.path().filename() == "user.reg" ||
                entry.path().filename() == "user.reg.lock")
        << entry.path();  // no temporary file left behind
}

TEST_F(RegistryFileTest, DamagedHiveIsAnErrorNamingFileAndLine) {
  struct Row {
    std::string text;
    int line;
  };
  const Row rows[] = {
      {"garbage\r\n", 1},
      {kHeader + "[HKEY_CURRENT_USER\\Software\\A]\r\n\"v\"=\"unterminated\r\n", 4},
      {kHeader + "[HKEY_CURRENT_USER\\Software\\A]\r\n\r\n\"v\"=hex:zz\r\n", 5},
      {kHeader + "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n", 3},  // another hive's key
      {kHeader + "\"v\"=\"no section\"\r\n", 3},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    WriteFileBytes(UserHive(), row.text);
    HKEY key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, &key),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\B", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegSetValueExA(HKEY_CURRENT_USER, "v", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>("x"), 2),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, &key),
              ERROR_REGISTRY_CORRUPT);
    EXPECT_EQ(ReadFileBytes(UserHive()), row.text);  // never overwritten

    char text[512];
    DWORD length = KovaRegGetHiveDamage(HKEY_CURRENT_USER, text, sizeof text);
    ASSERT_GT(length, 0u);
    std::string damage(text, length);
    EXPECT_EQ(damage.find(UserHive() + ": line " + std::to_string(row.line) + ": "), 0u)
        << damage;
    EXPECT_EQ(KovaRegGetHiveDamage(HKEY_CURRENT_USER, text, 3), length + 1);
    EXPECT_EQ(KovaRegGetHiveDamage(HKEY_LOCAL_MACHINE, text, sizeof text), 0u);
    // The machine hive is sound and still works.
    EXPECT_EQ(Set(HKEY_LOCAL_MACHINE, "Software\\Fine", "v", REG_SZ, "1"), ERROR_SUCCESS);
  }

  // Another process reports the damage once on standard error, with file and line.
  WriteFileBytes(UserHive(), kHeader + "[HKEY_CURRENT_USER\\A]\r\njunk\r\n");
  kova::test::RunResult run =
      RunProgram("registry_test_writer", {"Software\\A", "x", "2"});
  EXPECT_EQ(run.exit_code, 1);
  std::string expected = UserHive() + ": line 4: ";
  std::size_t first = run.err.find(expected);
  EXPECT_NE(first, std::string::npos) << run.err;
  EXPECT_EQ(run.err.find(expected, first + 1), std::string::npos) << run.err;

  // In this process too: one line per damaged content, however many calls meet it.
  for (const char* junk : {"first junk", "second junk"}) {
    SCOPED_TRACE(junk);
    WriteFileBytes(UserHive(), kHeader + "[HKEY_CURRENT_USER\\A]\r\n" + junk + "\r\n");
    testing::internal::CaptureStderr();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Get(HKEY_CURRENT_USER, "A", "v"), "error 1015");
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(err, "registry: " + UserHive() +
                       ": line 4: a line that is neither a key section nor a value; the "
                       "hive is not used until the file is repaired\n");
  }

  // Once repaired, the hive is used again.
  WriteFileBytes(UserHive(), kHeader + "[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"ok\"\r\n");
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "A", "v"), Typed(REG_SZ, std::string("ok\0", 3)));
  char text[64];
  EXPECT_EQ(KovaRegGetHiveDamage(HKEY_CURRENT_USER, text, sizeof text), 0u);
}

TEST_F(RegistryFileTest, ReadOnlyHiveRefusesWritesAndStillReads) {
  ASSERT_EQ(Set(HKEY_CURRENT_USER, "Software\\Locked", "v", REG_SZ, "old"),
            ERROR_SUCCESS);
  std::string before = ReadFileBytes(UserHive());
  ASSERT_EQ(chmod(UserHive().c_str(), 0444), 0);
  EXPECT_EQ(Set(HKEY_CURRENT_USER, "Software\\Locked", "v", REG_SZ, "new"),
            ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Locked"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software\\Locked", "v"),
            Typed(REG_SZ, std::string("old", 4)));
  EXPECT_EQ(ReadFileBytes(UserHive()), before);

  // A read-only folder: the machine hive cannot be created there.
  ASSERT_EQ(chmod(registry_dir().c_str(), 0555), 0);
  EXPECT_EQ(Set(HKEY_LOCAL_MACHINE, "Software\\X", "v", REG_SZ, "1"),
            ERROR_ACCESS_DENIED);
  EXPECT_FALSE(PathExists(MachineHive()));
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software\\Locked", "v"),
            Typed(REG_SZ, std::string("old", 4)));
  ASSERT_EQ(chmod(registry_dir().c_str(), 0755), 0);
}

}  // namespace
