#include <string>

#include "tests/test_util.h"
#include "tools/kovactl/runner.h"
#include "tools/kovactl/script.h"
#include "winreg.h"

namespace {

using kova::kovactl::Argument;
using kova::kovactl::Call;
using kova::kovactl::ParseLine;

TEST(KovactlScriptTest, ParsesCalls) {
  Call call;
  bool is_call = false;
  std::string error;
  ASSERT_TRUE(ParseLine(
      R"(  $h = KovaLoadFile $h "<Work>\a \"b\" \\c" -12 0x80004005 true out # x)", &call,
      &is_call, &error))
      << error;
  ASSERT_TRUE(is_call);
  EXPECT_EQ(call.assign_to, "h");
  EXPECT_EQ(call.operation, "KovaLoadFile");
  ASSERT_EQ(call.arguments.size(), 6u);
  EXPECT_EQ(call.arguments[0].kind, Argument::Kind::kVariable);
  EXPECT_EQ(call.arguments[0].text, "h");
  EXPECT_EQ(call.arguments[1].kind, Argument::Kind::kText);
  EXPECT_EQ(call.arguments[1].text, R"(<Work>\a "b" \c)");
  EXPECT_EQ(call.arguments[2].number, -12);
  EXPECT_EQ(call.arguments[3].number, std::int32_t(0x80004005u));
  EXPECT_EQ(call.arguments[4].kind, Argument::Kind::kBool);
  EXPECT_TRUE(call.arguments[4].flag);
  EXPECT_EQ(call.arguments[5].kind, Argument::Kind::kOut);

  for (const char* skipped : {"", "   ", "# comment", "\t# x"}) {
    SCOPED_TRACE(skipped);
    EXPECT_TRUE(ParseLine(skipped, &call, &is_call, &error));
    EXPECT_FALSE(is_call);
  }
}

TEST(KovactlScriptTest, RejectsBadLines) {
  const char* const bad[] = {
      "KovaLoadFile \"open", "$ = KovaInitialize",       "$h KovaInitialize",
      "KovaFindNext $h 12x", "KovaFindNext 99999999999", "KovaX $",
      "KovaX \"a\"\"b\"",    "= KovaInitialize",         "$h = ",
  };
  for (const char* line : bad) {
    SCOPED_TRACE(line);
    Call call;
    bool is_call = true;
    std::string error;
    EXPECT_FALSE(ParseLine(line, &call, &is_call, &error));
    EXPECT_FALSE(error.empty());
  }
}

// kovactl against the test server of the COM area, registered under a ProgID.
class KovactlRunTest : public kova::test::IsolatedTest {
 protected:
  void SetUp() override {
    const std::string clsid = "{5C3E6A10-0B7D-4C55-9F41-2B8E7A6D1C01}";
    const std::string server = kova::test::LibDir() + "/libkovacomtestserver.so";
    Write("Software\\Classes\\Test.Calc\\CLSID", clsid);
    Write("Software\\Classes\\CLSID\\" + clsid + "\\InprocServer32", server);
  }
  static void Write(const std::string& key, const std::string& value) {
    HKEY handle = nullptr;
    ASSERT_STATUS_OK(RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0,
                                     KEY_WRITE, nullptr, &handle, nullptr));
    ASSERT_STATUS_OK(RegSetValueExA(handle, nullptr, 0, REG_SZ,
                                    reinterpret_cast<const BYTE*>(value.c_str()),
                                    DWORD(value.size() + 1)));
    RegCloseKey(handle);
  }
  static kova::test::RunResult Kovactl(std::vector<std::string> args,
                                       const std::string& input = "") {
    args.insert(args.begin(), {"--progid", "Test.Calc"});
    return kova::test::RunProgram("kovactl", args, {}, input);
  }
};

TEST_F(KovactlRunTest, TextOutputWithVariablesAndOutPlaceholders) {
  const auto run =
      Kovactl({"$n = Add 2 40", "Add $n -2", "$e = Echo \"a\\\"b\"", "Echo $e",
               "Format 7 out", "Adjust $s false 3", "Adjust $s true 0", "Result 1"});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "Add: hr=0x00000000 retval=42\n"
            "Add: hr=0x00000000 retval=40 $n=42\n"
            "Echo: hr=0x00000000 retval=\"<a\\\"b>\"\n"
            "Echo: hr=0x00000000 retval=\"<<a\\\"b>>\" $e=\"seen\"\n"
            "Format: hr=0x00000000 #2=\"7\"\n"
            "Adjust: hr=0x00000000 $s=3\n"
            "Adjust: hr=0x00000000 $s=-3\n"
            "Result: hr=0x00000001\n");
}

TEST_F(KovactlRunTest, JsonLinesFromStandardInput) {
  const auto run = Kovactl({"--json"}, "$n = Add 1 2\n# comment\nFormat $n out\n");
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "{\"op\":\"Add\",\"hr\":\"0x00000000\",\"retval\":3}\n"
            "{\"op\":\"Format\",\"hr\":\"0x00000000\",\"out\":{\"2\":\"3\"},\"vars\":{"
            "\"n\":3}}\n");
}

TEST_F(KovactlRunTest, FailuresStopTheRun) {
  auto run = Kovactl({"Add 1 2", "Subtract 1 2", "Add 3 4"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "Add: hr=0x00000000 retval=3\nSubtract: hr=0x80020006\n");

  run = Kovactl({"Add 1 \"x\""});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "Add: hr=0x80020005 argument=2\n");

  run = Kovactl({"Result 0x80070005"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.out, "Result: hr=0x80020009 scode=0x80070005\n");

  // A syntax error anywhere runs nothing.
  run = Kovactl({"Add 1 2", "Add \"open"});
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find("line 2"), std::string::npos) << run.err;

  run = kova::test::RunProgram("kovactl", {"--progid", "No.Such.Class", "Add 1 2"});
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("0x800401F3"), std::string::npos) << run.err;
}

TEST_F(KovactlRunTest, LinesFromAFile) {
  const std::string script = root().OsPath("calls.txt");
  kova::test::WriteFileBytes(script, "$a = Add 5 5\r\nAdd $a $a\r\n");
  const auto run = Kovactl({"-f", script});
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_EQ(run.out,
            "Add: hr=0x00000000 retval=10\nAdd: hr=0x00000000 retval=20 $a=10 $a=10\n");
  EXPECT_EQ(Kovactl({"-f", root().OsPath("missing.txt")}).exit_code, 2);
}

}  // namespace
