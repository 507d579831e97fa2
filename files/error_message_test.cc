#include "files/error_message.h"

#include <string>
#include <vector>

#include "files/message_box_log_test_util.h"
#include "tests/test_util.h"

namespace kova {
namespace {

using test::BoxLine;
using test::IsolatedTest;

// The system's own text for `code`, asked for independently of the routine.
std::string SystemText(DWORD code) {
  char buffer[512] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     code, 0, buffer, sizeof buffer, nullptr);
  return std::string(buffer, length);
}

class ComposeErrorMessageTest : public IsolatedTest {};

TEST_F(ComposeErrorMessageTest, ComposesContextAndSystemText) {
  const std::string denied = SystemText(ERROR_ACCESS_DENIED);
  const std::string bad_path = SystemText(ERROR_BAD_PATHNAME);
  ASSERT_FALSE(denied.empty());
  ASSERT_FALSE(bad_path.empty());
  ASSERT_EQ(SystemText(0xDEADu), "");

  struct Row {
    DWORD code;
    const char* context;
    std::string expected;
  };
  const Row rows[] = {
      {ERROR_ACCESS_DENIED, "C:\\x", "C:\\x\n" + denied},
      {0, "C:\\x", "C:\\x"},
      {0, nullptr, "Unknown Error"},
      {0, "", "Unknown Error"},
      {ERROR_BAD_PATHNAME, nullptr, bad_path},
      {ERROR_BAD_PATHNAME, "", bad_path},
      // A code without a system text leaves the context alone, or nothing.
      {0xDEADu, "C:\\x", "C:\\x"},
      {0xDEADu, nullptr, ""},
      // The context is data, not a format.
      {0, "100%s %d%%", "100%s %d%%"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::to_string(row.code) + " " + (row.context ? row.context : "(null)"));
    std::string text = "sentinel";
    ComposeErrorMessage(row.code, row.context, kMessageCaption, &text);
    EXPECT_EQ(text, row.expected);
  }
  // With an error text nothing is shown.
  EXPECT_TRUE(MessageBoxLines().empty());

  for (const Row& row : rows)
    ComposeErrorMessage(row.code, row.context, "Corvanta", nullptr);
  const std::vector<std::string> lines = MessageBoxLines();
  ASSERT_EQ(lines.size(), std::size(rows));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(lines[i], BoxLine("Corvanta", rows[i].expected, MB_ICONERROR));
  }
}

TEST_F(ComposeErrorMessageTest, ShowsTheGivenCaptionOrCorvanta) {
  ComposeErrorMessage(ERROR_ACCESS_DENIED, "C:\\x", nullptr, nullptr);
  ComposeErrorMessage(0, "C:\\x", "Other", nullptr);
  const std::vector<std::string> lines = MessageBoxLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            BoxLine("Corvanta", "C:\\x\n" + SystemText(ERROR_ACCESS_DENIED), 16));
  EXPECT_EQ(lines[1], BoxLine("Other", "C:\\x", 16));
}

TEST_F(ComposeErrorMessageTest, CutsALongContextTo1023Characters) {
  const std::string context(1500, 'c');
  const std::string longest = SystemText(ERROR_INVALID_NAME);
  ASSERT_FALSE(longest.empty());

  std::string text;
  ComposeErrorMessage(0, context.c_str(), nullptr, &text);
  EXPECT_EQ(text, context.substr(0, 1023));

  ComposeErrorMessage(ERROR_INVALID_NAME, context.c_str(), nullptr, &text);
  EXPECT_EQ(text, context.substr(0, 1023) + "\n" + longest);

  const std::string exact(1023, 'e');
  ComposeErrorMessage(ERROR_INVALID_NAME, exact.c_str(), nullptr, &text);
  EXPECT_EQ(text, exact + "\n" + longest);

  ComposeErrorMessage(ERROR_INVALID_NAME, context.c_str(), nullptr, nullptr);
  const std::vector<std::string> lines = MessageBoxLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], BoxLine("Corvanta", context.substr(0, 1023) + "\n" + longest, 16));
}

// A context of two-byte characters was cut at byte 1023, in the middle of one,
// and the message was no longer valid text.
TEST_F(ComposeErrorMessageTest, LongContextIsCutAtACharacterBoundary) {
  std::string context;
  while (context.size() < 1100) context += "\xC3\xA9";  // U+00E9, two bytes
  std::string text;
  ComposeErrorMessage(0, context.c_str(), nullptr, &text);
  EXPECT_EQ(text, context.substr(0, 1022));

  ComposeErrorMessage(ERROR_INVALID_NAME, context.c_str(), nullptr, &text);
  EXPECT_EQ(text, context.substr(0, 1022) + "\n" + SystemText(ERROR_INVALID_NAME));
}

}  // namespace
}  // namespace kova
