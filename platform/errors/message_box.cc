// MessageBoxA: there is no window system, so boxes go to the user-interface sink
// (winuser.h): the installed handler, else the JSON-lines log, else standard error.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>

#include "sysinfo/utf8.h"
#include "winuser.h"

namespace {

struct Handler {
  KOVA_MESSAGEBOX_HANDLER function = nullptr;
  void* context = nullptr;
};

std::mutex& HandlerMutex() {
  static std::mutex mutex;
  return mutex;
}

Handler& InstalledHandler() {
  static Handler handler;
  return handler;
}

// A JSON string: quotes, backslashes and control characters escaped, and bytes
// that are not UTF-8 replaced by U+FFFD so that the line stays valid JSON.
void AppendJsonString(std::string_view text, std::string* out) {
  out->push_back('"');
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  for (std::size_t i = 0; i < text.size();) {
    const unsigned char c = bytes[i];
    if (c >= 0x80) {
      const auto decoded = kova::platform::DecodeUtf8(bytes + i, text.size() - i);
      if (decoded.valid) {
        out->append(text.substr(i, decoded.length));
      } else {
        out->append("\\ufffd");
      }
      i += decoded.length;
      continue;
    }
    ++i;
    switch (c) {
      case '"':
        out->append("\\\"");
        continue;
      case '\\':
        out->append("\\\\");
        continue;
      case '\b':
        out->append("\\b");
        continue;
      case '\f':
        out->append("\\f");
        continue;
      case '\n':
        out->append("\\n");
        continue;
      case '\r':
        out->append("\\r");
        continue;
      case '\t':
        out->append("\\t");
        continue;
      default:
        break;
    }
    if (c < 0x20 || c == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out->append(escape);
      continue;
    }
    out->push_back(static_cast<char>(c));
  }
  out->push_back('"');
}

// Writes all of `data` with as few writes as the kernel allows: one, for a line
// appended to a regular file with O_APPEND, so that lines of concurrent writers
// never interleave.
[[nodiscard]] bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = write(fd, data.data(), data.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

[[nodiscard]] bool AppendToLog(const char* path, const std::string& line) {
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const bool written = WriteAll(fd, line);
  return close(fd) == 0 && written;
}

}  // namespace

// Returns what the handler returns, else IDOK. A null caption is "Error", as on the
// platform. When the log named by KOVA_MESSAGEBOX_LOG cannot be written, the box
// goes to standard error rather than being lost. Pinned by message_box_test.
extern "C" int WINAPI MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption,
                                  UINT uType) {
  const char* text = lpText != nullptr ? lpText : "";
  const char* caption = lpCaption != nullptr ? lpCaption : "Error";
  Handler handler;
  {
    std::lock_guard<std::mutex> lock(HandlerMutex());
    handler = InstalledHandler();
  }
  // Called without the lock, so that a handler may show boxes or replace itself.
  if (handler.function != nullptr)
    return handler.function(handler.context, text, caption, uType);

  if (const char* log = std::getenv("KOVA_MESSAGEBOX_LOG");
      log != nullptr && *log != '\0') {
    std::string line = "{\"caption\":";
    AppendJsonString(caption, &line);
    line += ",\"text\":";
    AppendJsonString(text, &line);
    line += ",\"type\":" + std::to_string(uType) + "}\n";
    if (AppendToLog(log, line)) return IDOK;
  }
  std::string line = std::string(caption) + ": " + text + "\n";
  (void)WriteAll(STDERR_FILENO, line);
  return IDOK;
}

extern "C" KOVA_MESSAGEBOX_HANDLER WINAPI
KovaSetMessageBoxHandler(KOVA_MESSAGEBOX_HANDLER handler, void* context) {
  std::lock_guard<std::mutex> lock(HandlerMutex());
  Handler& installed = InstalledHandler();
  const KOVA_MESSAGEBOX_HANDLER previous = installed.function;
  installed.function = handler;
  installed.context = handler != nullptr ? context : nullptr;
  return previous;
}
