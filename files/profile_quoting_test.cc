#include "files/profile_quoting.h"

#include <string>
#include <vector>

#include "tests/test_util.h"

namespace kova {
namespace {

using test::IsolatedTest;
using test::ReadFileBytes;

class WriteProfileStringQuotedTest : public IsolatedTest {
 protected:
  std::string Read(const std::string& file, const char* key, std::size_t size = 256) {
    std::vector<char> buffer(size, '#');
    const DWORD length = GetPrivateProfileStringA("s", key, "(default)", buffer.data(),
                                                  static_cast<DWORD>(buffer.size()),
                                                  root().WinPath(file).c_str());
    return std::string(buffer.data(), length);
  }
};

TEST_F(WriteProfileStringQuotedTest, StoredTextReadsBackAsWritten) {
  struct Row {
    const char* value;
    const char* stored;
  };
  const Row rows[] = {
      {" lead", "' lead'"},
      {"trail ", "'trail '"},
      {" ", "' '"},
      {"'a ", "''a '"},  // the space decides before the quote
      {"'abc", "'abc"},
      {"'abc\"", "'abc\""},
      {"'abc'", "''abc''"},
      {"'", "'''"},
      {"''", "''''"},
      {"\"abc\"", "\"\"abc\"\""},
      {"\" q\"", "\"\" q\"\""},
      {"\"", "\"\"\""},
      {"\"abc", "\"abc"},
      {"abc\"", "abc\""},
      {"a'b'", "a'b'"},
      {"plain value", "plain value"},
      {"", ""},
  };
  int index = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string("[") + row.value + "]");
    const std::string file = "row" + std::to_string(index++) + ".ini";
    ASSERT_WIN_OK(
        WriteProfileStringQuoted("s", "k", row.value, root().WinPath(file).c_str()));
    EXPECT_EQ(ReadFileBytes(root().OsPath(file)),
              std::string("[s]\r\nk=") + row.stored + "\r\n");
    EXPECT_EQ(Read(file, "k"), row.value);
  }
}

// The reader trims tabs as it trims spaces; a value ending in a tab lost it.
TEST_F(WriteProfileStringQuotedTest, TabAtEitherEndIsKeptLikeASpace) {
  const char* const values[] = {"::::\t", "\tlead", "\t", " \tmixed\t ", "in\tside"};
  int index = 0;
  for (const char* value : values) {
    SCOPED_TRACE(std::string("[") + value + "]");
    const std::string file = "tab" + std::to_string(index++) + ".ini";
    ASSERT_WIN_OK(
        WriteProfileStringQuoted("s", "k", value, root().WinPath(file).c_str()));
    EXPECT_EQ(Read(file, "k"), value);
  }
  EXPECT_EQ(ReadFileBytes(root().OsPath("tab0.ini")), "[s]\r\nk='::::\t'\r\n");
  EXPECT_EQ(ReadFileBytes(root().OsPath("tab4.ini")), "[s]\r\nk=in\tside\r\n");
}

TEST_F(WriteProfileStringQuotedTest, NullValueRemovesTheKey) {
  const std::string file = root().WinPath("p.ini");
  ASSERT_WIN_OK(WriteProfileStringQuoted("s", "k", " v ", file.c_str()));
  ASSERT_WIN_OK(WriteProfileStringQuoted("s", "other", "w", file.c_str()));
  ASSERT_WIN_OK(WriteProfileStringQuoted("s", "k", nullptr, file.c_str()));
  EXPECT_EQ(ReadFileBytes(root().OsPath("p.ini")), "[s]\r\nother=w\r\n");
  EXPECT_EQ(Read("p.ini", "k"), "(default)");
  EXPECT_EQ(Read("p.ini", "other"), "w");
}

// A value that needs quoting is quoted whatever its length: cut or written bare
// it would come back changed.
TEST_F(WriteProfileStringQuotedTest, LongValuesAreQuotedWhole) {
  for (std::size_t length : {4093u, 4094u, 10000u}) {
    SCOPED_TRACE(length);
    const std::string value = " " + std::string(length - 1, 'v');
    const std::string file = "long" + std::to_string(length) + ".ini";
    ASSERT_WIN_OK(
        WriteProfileStringQuoted("s", "k", value.c_str(), root().WinPath(file).c_str()));
    EXPECT_EQ(ReadFileBytes(root().OsPath(file)), "[s]\r\nk='" + value + "'\r\n");
    EXPECT_EQ(Read(file, "k", length + 10), value);
  }
  const std::string quoted = "'" + std::string(5000, 'q') + "'";
  ASSERT_WIN_OK(WriteProfileStringQuoted("s", "k", quoted.c_str(),
                                         root().WinPath("q.ini").c_str()));
  EXPECT_EQ(ReadFileBytes(root().OsPath("q.ini")), "[s]\r\nk='" + quoted + "'\r\n");
  EXPECT_EQ(Read("q.ini", "k", 6000), quoted);
}

}  // namespace
}  // namespace kova
