// kovareg as administrators run it: its output, its files and its exit codes.
#include <string>
#include <vector>

#include "tests/test_util.h"
#include "winerror.h"
#include "winreg.h"

namespace {

using kova::test::ReadFileBytes;
using kova::test::RunResult;
using kova::test::WriteFileBytes;

const char kKova[] = "HKLM\\Software\\Corvanta\\Vintrel\\Kovas\\Work";
const char kKovaLong[] = "HKEY_LOCAL_MACHINE\\Software\\Corvanta\\Vintrel\\Kovas\\Work";
const char kDone[] = "The operation completed successfully.\n";

class KovaregTest : public kova::test::IsolatedTest {
 protected:
  RunResult Kovareg(const std::vector<std::string>& args) {
    return kova::test::RunProgram("kovareg", args);
  }
  // Runs kovareg and expects success.
  std::string Ok(const std::vector<std::string>& args) {
    RunResult run = Kovareg(args);
    EXPECT_EQ(run.exit_code, 0) << args[0] << ": " << run.err;
    EXPECT_EQ(run.err, "");
    return run.out;
  }
  std::string Get(HKEY root, const char* path, const char* name) {
    HKEY key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return "no key";
    char buffer[256];
    DWORD size = sizeof buffer, type = 0;
    LSTATUS status = RegQueryValueExA(key, name, nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return "no value";
    return std::to_string(type) + ":" + std::string(buffer, size);
  }
  void DefineWork() {
    Ok({"add", kKova, "/v", "Path1", "/d", "/srv/kovas/work"});
    Ok({"add", kKova, "/v", "DisplayName.eng", "/d", "Work Files"});
    Ok({"add", kKova, "/v", "OrderIndex", "/t", "REG_DWORD", "/d", "0x2a"});
    Ok({"add", kKova, "--value", "Type1", "--type=REG_DWORD", "--data", "1"});
  }
};

TEST_F(KovaregTest, AddAndQueryLikeThePlatformTool) {
  DefineWork();
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "Software\\Corvanta\\Vintrel\\Kovas\\Work", "Path1"),
            std::string("1:/srv/kovas/work\0", 18));  // data starting with '/' is data
  Ok({"add", std::string(kKova) + "\\Sub", "/ve", "/d", "sub default"});

  EXPECT_EQ(Ok({"query", kKova}), std::string("\n") + kKovaLong +
                                      "\n"
                                      "    Path1    REG_SZ    /srv/kovas/work\n"
                                      "    DisplayName.eng    REG_SZ    Work Files\n"
                                      "    OrderIndex    REG_DWORD    0x2a\n"
                                      "    Type1    REG_DWORD    0x1\n"
                                      "\n" +
                                      kKovaLong + "\\Sub\n");
}

TEST_F(KovaregTest, RecursiveAndSingleValueQueries) {
  DefineWork();
  Ok({"add", std::string(kKova) + "\\Sub", "/ve", "/d", "sub default"});
  Ok({"add", std::string(kKova) + "\\Sub", "/v", "Items", "/t", "REG_MULTI_SZ", "/d",
      "a\\0b\\0c"});
  Ok({"add", std::string(kKova) + "\\Sub", "/v", "Bytes", "/t", "reg_binary", "/d",
      "00ff10"});
  Ok({"add", std::string(kKova) + "\\Sub", "/v", "Csv", "/t", "REG_MULTI_SZ", "/s", ",",
      "/d", "x,y"});
  EXPECT_EQ(Ok({"query", std::string(kKova) + "\\Sub", "/s"}),
            std::string("\n") + kKovaLong +
                "\\Sub\n"
                "    (Default)    REG_SZ    sub default\n"
                "    Items    REG_MULTI_SZ    a\\0b\\0c\n"
                "    Bytes    REG_BINARY    00FF10\n"
                "    Csv    REG_MULTI_SZ    x\\0y\n"
                "\n");
  EXPECT_EQ(Ok({"query", kKova, "/v", "displayname.ENG"}),
            std::string("\n") + kKovaLong +
                "\n    DisplayName.eng    REG_SZ    Work Files\n\n");
  EXPECT_EQ(
      Ok({"query", kKova, "/ve"}),
      std::string("\n") + kKovaLong + "\n    (Default)    REG_SZ    (value not set)\n\n");
  EXPECT_EQ(Ok({"query", "HKLM\\Software\\Corvanta", "/v", "Csv", "/s"}),
            std::string("\n") + kKovaLong + "\\Sub\n    Csv    REG_MULTI_SZ    x\\0y\n" +
                "\nEnd of search: 1 match(es) found.\n");

  RunResult missing = Kovareg({"query", kKova, "/v", "Nothing"});
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.err.find("\"Nothing\" does not exist"), std::string::npos)
      << missing.err;
  RunResult no_key = Kovareg({"query", "HKCU\\Software\\Nothing"});
  EXPECT_EQ(no_key.exit_code, 1);
  EXPECT_EQ(
      no_key.err,
      "kovareg: ERROR: the key HKEY_CURRENT_USER\\Software\\Nothing does not exist\n");
}

TEST_F(KovaregTest, AddAndDeleteNeedForce) {
  DefineWork();
  RunResult again = Kovareg({"add", kKova, "/v", "Path1", "/d", "/elsewhere"});
  EXPECT_EQ(again.exit_code, 1);
  EXPECT_NE(again.err.find("/f"), std::string::npos) << again.err;
  EXPECT_EQ(again.out, "");
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "Software\\Corvanta\\Vintrel\\Kovas\\Work", "Path1"),
            std::string("1:/srv/kovas/work\0", 18));
  EXPECT_EQ(Ok({"add", kKova, "/v", "Path1", "/d", "/elsewhere", "/f"}), kDone);
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "Software\\Corvanta\\Vintrel\\Kovas\\Work", "Path1"),
            std::string("1:/elsewhere\0", 13));
  EXPECT_EQ(Ok({"add", kKova}), kDone);  // an existing key is fine

  const std::string work = "Software\\Corvanta\\Vintrel\\Kovas\\Work";
  struct Row {
    std::vector<std::string> args;  // without /f
    const char* probe;              // a value that the deletion removes
    std::string after;              // what reading it gives afterwards
  };
  const Row rows[] = {
      {{"delete", kKova, "/v", "OrderIndex"}, "OrderIndex", "no value"},
      {{"delete", kKova, "--all-values"}, "Path1", "no value"},
      {{"delete", kKova}, "", "no key"},
  };
  Ok({"add", kKova, "/ve", "/d", "so that the key has a value for the last row"});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.back());
    RunResult refused = Kovareg(row.args);
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_NE(refused.err.find("nothing was deleted"), std::string::npos) << refused.err;
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, work.c_str(), row.probe).rfind("no ", 0),
              std::string::npos);
    std::vector<std::string> forced = row.args;
    forced.push_back("--force");
    EXPECT_EQ(Ok(forced), kDone);
    EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, work.c_str(), row.probe), row.after);
    if (row.after == "no key") break;  // nothing left to restore
    Ok({"add", kKova, "/ve", "/d", "restored", "/f"});
  }
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "Software\\Corvanta\\Vintrel\\Kovas", ""),
            "no value");
  RunResult missing = Kovareg({"delete", kKova, "/f"});
  EXPECT_EQ(missing.exit_code, 1);
}

TEST_F(KovaregTest, BadArgumentsAndData) {
  RunResult help = Kovareg({"--help"});
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_EQ(help.out.rfind("Usage:", 0), 0u);
  EXPECT_NE(help.out.find("--default-value"), std::string::npos);

  struct Row {
    std::vector<std::string> args;
    std::string message_part;
  };
  const Row rows[] = {
      {{}, "no command"},
      {{"frobnicate", "HKCU\\x"}, "unknown command"},
      {{"query"}, "needs KEY"},
      {{"export", "HKCU\\x"}, "needs KEY and FILE"},
      {{"query", "HKXX\\Software"}, "does not start with HKCU"},
      {{"query", "HKCU\\Software", "/f"}, "not known to query"},
      {{"add", "HKCU\\x", "/v"}, "needs an argument"},
      {{"add", "HKCU\\x", "/v", "a", "/ve"}, "only one of"},
      {{"add", "HKCU\\x", "/v", "a", "/v", "b"}, "given twice"},
      {{"add", "HKCU\\x", "/v", "a", "/t", "REG_WHATEVER"}, "unknown type"},
      {{"add", "HKCU\\x", "/v", "a", "/t", "REG_DWORD", "/d", "4294967296"}, "32-bit"},
      {{"add", "HKCU\\x", "/v", "a", "/t", "REG_DWORD", "/d", "-1"}, "32-bit"},
      {{"add", "HKCU\\x", "/v", "a", "/t", "REG_BINARY", "/d", "0g"},
       "hexadecimal digits"},
      {{"add", "HKCU\\x", "/v", "a", "/t", "REG_BINARY", "/d", "012"},
       "hexadecimal digits"},
      {{"add", "HKCU\\x", "stray"}, "unexpected argument"},
      {{"delete", "HKCU", "/f"}, "root key cannot be deleted"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.empty() ? "(none)" : row.args[0]);
    RunResult run = Kovareg(row.args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("kovareg: ERROR: ", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(row.message_part), std::string::npos) << run.err;
  }
  // A failed add leaves no key behind.
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "x", ""), "no key");
}

TEST_F(KovaregTest, ExportImportRoundTrip) {
  DefineWork();
  Ok({"add", std::string(kKova) + "\\Sub", "/v", "Items", "/t", "REG_MULTI_SZ", "/d",
      "a\\0b"});
  Ok({"add", std::string(kKova) + "\\Sub", "/v", "Path", "/t", "REG_EXPAND_SZ", "/d",
      "%HOME%\\kovas"});
  std::string file = root().OsPath("work.reg");
  EXPECT_EQ(Ok({"export", kKova, file}), kDone);
  const std::string exported = ReadFileBytes(file);
  EXPECT_EQ(exported, std::string("Windows Registry Editor Version 5.00\r\n\r\n[") +
                          kKovaLong +
                          "]\r\n"
                          "\"Path1\"=\"/srv/kovas/work\"\r\n"
                          "\"DisplayName.eng\"=\"Work Files\"\r\n"
                          "\"OrderIndex\"=dword:0000002a\r\n"
                          "\"Type1\"=dword:00000001\r\n"
                          "\r\n[" +
                          kKovaLong +
                          "\\Sub]\r\n"
                          "\"Items\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
                          "\"Path\"=hex(2):25,00,48,00,4f,00,4d,00,45,00,25,00,5c,00,6b,"
                          "00,6f,00,76,00,61,\\\r\n"
                          "  00,73,00,00,00\r\n"
                          "\r\n");

  RunResult refused = Kovareg({"export", kKova, file});
  EXPECT_EQ(refused.exit_code, 1);
  EXPECT_NE(refused.err.find("/y"), std::string::npos);
  EXPECT_EQ(Ok({"export", kKova, file, "/y"}), kDone);

  Ok({"delete", kKova, "/f"});
  EXPECT_EQ(Ok({"import", file}), kDone);
  std::string again = root().OsPath("again.reg");
  Ok({"export", kKova, again});
  EXPECT_EQ(ReadFileBytes(again), exported);

  // The deletion forms of the format.
  std::string changes = root().OsPath("changes.reg");
  WriteFileBytes(changes, std::string("Windows Registry Editor Version 5.00\n\n[-") +
                              kKovaLong + "\\Sub]\n\n[" + kKovaLong +
                              "]\n\"Type1\"=-\n\"New\"=\"value\"\n\n"
                              "[HKEY_CURRENT_USER\\Software\\Mine]\n@=\"mine\"\n");
  EXPECT_EQ(Ok({"import", changes}), kDone);
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "Software\\Corvanta\\Vintrel\\Kovas\\Work\\Sub", ""),
            "no key");
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "Software\\Corvanta\\Vintrel\\Kovas\\Work", "Type1"),
            "no value");
  EXPECT_EQ(Get(HKEY_LOCAL_MACHINE, "Software\\Corvanta\\Vintrel\\Kovas\\Work", "New"),
            std::string("1:value\0", 8));
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software\\Mine", ""), std::string("1:mine\0", 7));
}

TEST_F(KovaregTest, ImportErrorsApplyNothing) {
  std::string bad = root().OsPath("bad.reg");
  WriteFileBytes(bad,
                 "Windows Registry Editor Version 5.00\r\n\r\n"
                 "[HKEY_CURRENT_USER\\Software\\First]\r\n\"a\"=\"1\"\r\n"
                 "\"b\"=\"C:\\path\"\r\n");
  RunResult run = Kovareg({"import", bad});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find(bad + ": line 5: "), std::string::npos) << run.err;
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software\\First", "a"), "no key");

  WriteFileBytes(bad,
                 "Windows Registry Editor Version 5.00\r\n\r\n"
                 "[HKEY_CURRENT_USER\\Software\\First]\r\n\r\n[HKEY_USERS\\x]\r\n");
  run = Kovareg({"import", bad});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("line 5: unknown root key HKEY_USERS"), std::string::npos)
      << run.err;
  EXPECT_EQ(Get(HKEY_CURRENT_USER, "Software\\First", ""), "no key");

  run = Kovareg({"import", root().OsPath("missing.reg")});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("cannot read"), std::string::npos);
}

TEST_F(KovaregTest, DamagedHiveIsReportedWithFileAndLine) {
  std::string hive = registry_dir() + "/system.reg";
  const std::string damaged =
      "Windows Registry Editor Version "
      "5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\A]\r\nnonsense\r\n";
  WriteFileBytes(hive, damaged);
  for (std::vector<std::string> args :
       {std::vector<std::string>{"query", "HKLM\\A"},
        std::vector<std::string>{"add", "HKLM\\A", "/v", "x", "/d", "y"}}) {
    SCOPED_TRACE(args[0]);
    RunResult run = Kovareg(args);
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_NE(run.err.find("kovareg: ERROR: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("(error 1015): " + hive + ": line 4: "), std::string::npos)
        << run.err;
  }
  EXPECT_EQ(ReadFileBytes(hive), damaged);
  Ok({"add", "HKCU\\Software\\Unaffected"});  // the other hive still works
}

}  // namespace
