#include "registry/hive_format.h"

#include <gtest/gtest.h>

#include "winerror.h"

namespace kova::platform {
namespace {

TEST(HiveFormatTest, ParsesTheExportFormat) {
  // A BOM, LF and CRLF line ends mixed, a comment, hex continued over lines, and
  // the deletion forms of an import file.
  std::string text =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
      "\n"
      "; a comment\r\n"
      "[HKEY_CURRENT_USER\\Software\\A]\r\n"
      "@=\"default\"\n"
      "\"Quoted \\\"name\\\"\"=\"C:\\\\dir\\\\\"\r\n"
      "\"Num\" = dword:0000002A\r\n"
      "\"Bin\"=hex:01,02,\\\r\n"
      "  ff\r\n"
      "\"Exp\"=hex(2):25,00,50,00,25,00,00,00\r\n"
      "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
      "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
      "\"Gone\"=-\r\n"
      "\r\n"
      "[-HKEY_LOCAL_MACHINE\\Software\\Old\\]\r\n";
  std::vector<RegStatement> statements;
  RegTextError error;
  ASSERT_TRUE(ParseRegText(text, &statements, &error))
      << error.line << ": " << error.reason;
  ASSERT_EQ(statements.size(), 10u);

  using Kind = RegStatement::Kind;
  struct Row {
    Kind kind;
    int line;
    std::string name;
    DWORD type;
    std::string data;
  };
  const Row rows[] = {
      {Kind::kKey, 4, "", 0, ""},
      {Kind::kValue, 5, "", 1, std::string("default\0", 8)},
      {Kind::kValue, 6, "Quoted \"name\"", 1, std::string("C:\\dir\\\0", 8)},
      {Kind::kValue, 7, "Num", 4, std::string("\x2a\0\0\0", 4)},
      {Kind::kValue, 8, "Bin", 3, "\x01\x02\xff"},
      {Kind::kValue, 10, "Exp", 2, std::string("%P%\0", 4)},
      {Kind::kValue, 11, "Multi", 7, std::string("a\0b\0\0", 5)},
      {Kind::kValue, 12, "Q", 11, std::string("\x01\0\0\0\0\0\0\0", 8)},
      {Kind::kDeleteValue, 13, "Gone", 0, ""},
      {Kind::kDeleteKey, 15, "", 0, ""},
  };
  for (std::size_t i = 0; i < statements.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(statements[i].kind, rows[i].kind);
    EXPECT_EQ(statements[i].line, rows[i].line);
    EXPECT_EQ(statements[i].name, rows[i].name);
    if (rows[i].kind == Kind::kValue) {
      EXPECT_EQ(statements[i].type, rows[i].type);
      EXPECT_EQ(statements[i].data, rows[i].data);
    }
  }
  EXPECT_EQ(statements[0].root, "HKEY_CURRENT_USER");
  EXPECT_EQ(statements[0].path, (std::vector<std::string>{"Software", "A"}));
  EXPECT_EQ(statements[9].root, "HKEY_LOCAL_MACHINE");
  EXPECT_EQ(statements[9].path, (std::vector<std::string>{"Software", "Old"}));
}

TEST(HiveFormatTest, BlankTextHoldsNothing) {
  std::vector<RegStatement> statements;
  RegTextError error;
  for (std::string text : {"", "\r\n", "  \n\t\n"}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(ParseRegText(text, &statements, &error));
    EXPECT_TRUE(statements.empty());
  }
}

TEST(HiveFormatTest, ErrorsNameTheLine) {
  const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n";
  struct Row {
    std::string text;
    int line;
    std::string reason_part;
  };
  const Row rows[] = {
      {"REGEDIT4\r\n", 1, "first line"},
      {"\r\n\r\nWindows Registry Editor Version 4.00\r\n", 3, "first line"},
      {head + "\"a\"=\"b\"\r\n", 3, "outside a key section"},
      {head + "[HKEY_CURRENT_USER\\A]\r\njunk\r\n", 4, "neither"},
      {head + "[HKEY_CURRENT_USER\\A\r\n", 3, "closing ]"},
      {head + "[HKEY_CURRENT_USER\\A\\\\B]\r\n", 3, "key name"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"C:\\temp\"\r\n", 4, "backslash"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"open\r\n", 4, "closing quote"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=\"b\" x\r\n", 4,
       "after the closing quote"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=dword:123456789\r\n", 4, "dword"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=dword:xyz\r\n", 4, "dword"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex:01,2g\r\n", 4, "list of bytes"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex:01,\\\r\n  123\r\n", 4,
       "list of bytes"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex:01,\\\r\n", 4, "past the end"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex(2):61,00,62\r\n", 4, "odd number"},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=hex(z):00\r\n", 4, "hex("},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"\r\n", 4, "without ="},
      {head + "[HKEY_CURRENT_USER\\A]\r\n\"a\"=str\r\n", 4, "neither"},
      {head + "[-HKEY_CURRENT_USER\\A]\r\n\"a\"=\"b\"\r\n", 4, "being deleted"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::vector<RegStatement> statements;
    RegTextError error;
    ASSERT_FALSE(ParseRegText(row.text, &statements, &error));
    EXPECT_EQ(error.line, row.line);
    EXPECT_NE(error.reason.find(row.reason_part), std::string::npos) << error.reason;
  }
}

TEST(HiveFormatTest, FormatsLikeTheExporter) {
  RegKey root("");
  RegKey* key = root.AddPath({"Software", "T"});
  key->SetValue("", 1, std::string("dflt\0", 5));
  key->SetValue("Text", 1, std::string("a \"q\" \\ b\0", 10));
  key->SetValue("Lines", 1, std::string("a\r\n\0", 4));
  key->SetValue("D", 4, std::string("\x2a\0\0\0", 4));
  key->SetValue("ShortD", 4, std::string("\x01", 1));
  key->SetValue("B", 3, "\x01\x02\xff");
  key->SetValue("E", 2, std::string("%P%\0", 4));
  key->SetValue("M", 7, std::string("a\0b\0\0", 5));
  key->SetValue("N", 0, "");
  key->SetValue("Q", 11, std::string("\x01\0\0\0\0\0\0\0", 8));
  root.AddPath({"Software", "T", "Empty"});

  EXPECT_EQ(FormatRegText(root, "HKEY_CURRENT_USER", false),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\T]\r\n"
            "@=\"dflt\"\r\n"
            "\"Text\"=\"a \\\"q\\\" \\\\ b\"\r\n"
            "\"Lines\"=hex(1):61,00,0d,00,0a,00,00,00\r\n"
            "\"D\"=dword:0000002a\r\n"
            "\"ShortD\"=hex(4):01\r\n"
            "\"B\"=hex:01,02,ff\r\n"
            "\"E\"=hex(2):25,00,50,00,25,00,00,00\r\n"
            "\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
            "\"N\"=hex(0):\r\n"
            "\"Q\"=hex(b):01,00,00,00,00,00,00,00\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\T\\Empty]\r\n"
            "\r\n");
}

TEST(HiveFormatTest, LongHexWrapsAndParsesBack) {
  RegKey root("");
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(char(i));
  root.AddSubkey("K")->SetValue("A rather long value name", 3, bytes);
  std::string text = FormatRegText(root, "HKEY_LOCAL_MACHINE", false);
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, 80u) << text.substr(start, end - start);
    start = end + 2;
  }
  std::vector<RegStatement> statements;
  RegTextError error;
  ASSERT_TRUE(ParseRegText(text, &statements, &error)) << error.reason;
  ASSERT_EQ(statements.size(), 2u);
  EXPECT_EQ(statements[1].data, bytes);
}

TEST(HiveFormatTest, AnyBytesRoundTrip) {
  // Text values that are not valid UTF-8 survive the UTF-16 hex forms byte for byte.
  const std::string samples[] = {
      std::string("plain\0", 6),
      std::string("caf\xC3\xA9 \xF0\x9F\x98\x80\0", 11),  // two- and four-byte forms
      std::string("\xFF\xFE bad \xC3\0", 9),
      std::string("\xED\xA0\x80\0", 4),  // an encoded surrogate is not valid UTF-8
      std::string("no nul"),
      std::string("a\0b\0\0", 5),
      std::string(""),
  };
  for (DWORD type : {1u, 2u, 7u}) {
    for (const std::string& data : samples) {
      SCOPED_TRACE(testing::Message() << "type " << type << " data " << data);
      RegKey root("");
      root.AddSubkey("K")->SetValue("v", type, data);
      std::vector<RegStatement> statements;
      RegTextError error;
      ASSERT_TRUE(ParseRegText(FormatRegText(root, "HKEY_CURRENT_USER", false),
                               &statements, &error))
          << error.reason;
      ASSERT_EQ(statements.size(), 2u);
      EXPECT_EQ(statements[1].type, type);
      EXPECT_EQ(statements[1].data, data);
    }
  }
}

TEST(HiveFormatTest, Utf16Conversions) {
  EXPECT_EQ(Utf8ToUtf16LeBytes("A\xC3\xA9"), std::string("A\0\xE9\0", 4));
  const std::string pair("\x3D\xD8\x00\xDE", 4);
  EXPECT_EQ(Utf8ToUtf16LeBytes("\xF0\x9F\x98\x80"), pair);
  EXPECT_EQ(Utf8ToUtf16LeBytes("\xFF"), "\xFF\xDC");
  std::string text;
  ASSERT_TRUE(Utf16LeBytesToUtf8(pair, &text));
  EXPECT_EQ(text, "\xF0\x9F\x98\x80");
  ASSERT_TRUE(Utf16LeBytesToUtf8(std::string("\x00\xD8"
                                             "a\0",
                                             4),
                                 &text));  // a lone high surrogate
  EXPECT_EQ(text,
            "\xEF\xBF\xBD"
            "a");
  EXPECT_FALSE(Utf16LeBytesToUtf8("abc", &text));
}

TEST(HiveFormatTest, SplitSubKey) {
  struct Row {
    std::string text;
    DWORD status;
    std::vector<std::string> names;
  };
  const Row rows[] = {
      {"", ERROR_SUCCESS, {}},
      {"a", ERROR_SUCCESS, {"a"}},
      {"a\\b\\", ERROR_SUCCESS, {"a", "b"}},
      {"\\a", ERROR_BAD_PATHNAME, {}},
      {"a\\\\b", ERROR_BAD_PATHNAME, {}},
      {"a\\\\", ERROR_BAD_PATHNAME, {}},
      {std::string(255, 'k'), ERROR_SUCCESS, {std::string(255, 'k')}},
      {std::string(256, 'k'), ERROR_INVALID_PARAMETER, {}},
      {"a\nb", ERROR_INVALID_PARAMETER, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    std::vector<std::string> names;
    EXPECT_EQ(SplitSubKey(row.text, &names), row.status);
    if (row.status == ERROR_SUCCESS) {
      EXPECT_EQ(names, row.names);
    }
  }
}

TEST(HiveFormatTest, KeysSortAndMatchWithoutCase) {
  RegKey root("");
  for (const char* name : {"b", "a_b", "AB", "Zed", "ab"}) root.AddSubkey(name);
  std::vector<std::string> names;
  for (const auto& key : root.subkeys()) names.push_back(key->name());
  // Upper-cased order: "AB" < "A_B" because 'B' (0x42) sorts before '_' (0x5F).
  EXPECT_EQ(names, (std::vector<std::string>{"AB", "a_b", "b", "Zed"}));
  EXPECT_EQ(root.FindSubkey("zED"), root.subkeys()[3].get());
  EXPECT_EQ(root.FindSubkey("A_"), nullptr);

  RegKey key("k");
  EXPECT_TRUE(key.SetValue("Name", 1, "x"));
  EXPECT_FALSE(key.SetValue("NAME", 1, "x"));
  EXPECT_TRUE(key.SetValue("NAME", 1, "y"));
  ASSERT_EQ(key.values().size(), 1u);
  EXPECT_EQ(key.values()[0].name, "Name");
  EXPECT_EQ(key.values()[0].data, "y");
}

}  // namespace
}  // namespace kova::platform
