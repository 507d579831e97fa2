#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/test_util.h"
#include "windows.h"

namespace {

using kova::test::IsolatedTest;
using kova::test::ScopedEnv;

// Captures what this process writes to standard error while it lives.
class StderrCapture {
 public:
  explicit StderrCapture(const std::string& path) : path_(path) {
    std::fflush(stderr);
    saved_ = dup(STDERR_FILENO);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    dup2(fd, STDERR_FILENO);
    close(fd);
  }
  ~StderrCapture() { Restore(); }
  std::string Finish() {
    Restore();
    return kova::test::ReadFileBytes(path_);
  }

 private:
  void Restore() {
    if (saved_ < 0) return;
    std::fflush(stderr);
    dup2(saved_, STDERR_FILENO);
    close(saved_);
    saved_ = -1;
  }
  std::string path_;
  int saved_ = -1;
};

class MessageBox : public IsolatedTest {};

TEST_F(MessageBox, AppendsOneEscapedJsonLinePerBox) {
  struct Row {
    const char* caption;
    const char* text;
    UINT type;
    const char* line;
  };
  const Row rows[] = {
      {"Kova", "Path not found.", MB_OK | MB_ICONERROR,
       R"({"caption":"Kova","text":"Path not found.","type":16})"},
      {"Quote \"q\"", "back\\slash", MB_YESNO,
       R"({"caption":"Quote \"q\"","text":"back\\slash","type":4})"},
      {"c", "line1\r\nline2\ttab\b\f\x01\x1f\x7f", MB_OK,
       R"({"caption":"c","text":"line1\r\nline2\ttab\b\f\u0001\u001f\u007f","type":0})"},
      {"Caf\xC3\xA9", "bad \xFF byte", MB_ICONWARNING | MB_TASKMODAL,
       "{\"caption\":\"Caf\xC3\xA9\",\"text\":\"bad \\ufffd byte\",\"type\":8240}"},
      {nullptr, nullptr, MB_OK, R"({"caption":"Error","text":"","type":0})"},
  };
  for (const Row& row : rows)
    EXPECT_EQ(MessageBoxA(nullptr, row.text, row.caption, row.type), IDOK);
  const std::vector<std::string> lines = MessageBoxLines();
  ASSERT_EQ(lines.size(), std::size(rows));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(rows[i].line);
    EXPECT_EQ(lines[i], rows[i].line);
  }
}

TEST_F(MessageBox, ConcurrentBoxesNeverInterleave) {
  constexpr int kThreads = 4, kBoxes = 50;
  const std::string long_text(3000, 'x');
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      const std::string caption = "thread " + std::to_string(t);
      for (int i = 0; i < kBoxes; ++i)
        MessageBoxA(nullptr, long_text.c_str(), caption.c_str(), MB_OK);
    });
  }
  for (std::thread& t : threads) t.join();
  const std::vector<std::string> lines = MessageBoxLines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kBoxes));
  for (const std::string& line : lines) {
    ASSERT_TRUE(line.starts_with("{\"caption\":\"thread ")) << line.substr(0, 40);
    ASSERT_TRUE(line.ends_with("\",\"text\":\"" + long_text + "\",\"type\":0}"));
  }
}

struct Recorded {
  std::vector<std::string> boxes;
};

int RecordingHandler(void* context, LPCSTR text, LPCSTR caption, UINT type) {
  static_cast<Recorded*>(context)->boxes.push_back(std::string(caption) + "|" + text +
                                                   "|" + std::to_string(type));
  return IDNO;
}

TEST_F(MessageBox, InstalledHandlerTakesPrecedenceUntilRemoved) {
  Recorded recorded;
  EXPECT_EQ(KovaSetMessageBoxHandler(RecordingHandler, &recorded), nullptr);
  EXPECT_EQ(MessageBoxA(nullptr, "Delete?", "Kova", MB_YESNO), IDNO);
  EXPECT_EQ(MessageBoxA(nullptr, nullptr, nullptr, MB_OK), IDNO);
  EXPECT_EQ(KovaSetMessageBoxHandler(nullptr, nullptr), RecordingHandler);
  EXPECT_EQ(MessageBoxA(nullptr, "after", "Kova", MB_OK), IDOK);

  EXPECT_EQ(recorded.boxes, (std::vector<std::string>{"Kova|Delete?|4", "Error||0"}));
  const std::vector<std::string> lines = MessageBoxLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], R"({"caption":"Kova","text":"after","type":0})");
}

TEST_F(MessageBox, GoesToStandardErrorWithoutALog) {
  {
    ScopedEnv no_log("KOVA_MESSAGEBOX_LOG", std::nullopt);
    StderrCapture capture(root().OsPath("stderr.txt"));
    EXPECT_EQ(MessageBoxA(nullptr, "Path not found.", "Kova", MB_ICONERROR), IDOK);
    EXPECT_EQ(capture.Finish(), "Kova: Path not found.\n");
  }
  {
    // A log that cannot be written does not lose the box.
    ScopedEnv bad_log("KOVA_MESSAGEBOX_LOG", root().OsPath("missing/folder/log.jsonl"));
    StderrCapture capture(root().OsPath("stderr2.txt"));
    EXPECT_EQ(MessageBoxA(nullptr, "kept", "Kova", MB_OK), IDOK);
    EXPECT_EQ(capture.Finish(), "Kova: kept\n");
  }
  EXPECT_TRUE(MessageBoxLines().empty());
}

}  // namespace
