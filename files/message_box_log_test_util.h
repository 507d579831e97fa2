// The message-box log's line for one box, for the tests of this folder.
#ifndef KOVA_FILES_MESSAGE_BOX_LOG_TEST_UTIL_H_
#define KOVA_FILES_MESSAGE_BOX_LOG_TEST_UTIL_H_

#include <string>

#include "windows.h"

namespace kova::test {

// The log's JSON line for a box, with the escapes that ASCII texts need.
inline std::string BoxLine(const std::string& caption, const std::string& text,
                           UINT type) {
  auto escape = [](const std::string& in) {
    std::string out;
    for (char c : in) {
      if (c == '\r' || c == '\n') {
        out += c == '\r' ? "\\r" : "\\n";
        continue;
      }
      if (c == '\\' || c == '"') out.push_back('\\');
      out.push_back(c);
    }
    return out;
  };
  return "{\"caption\":\"" + escape(caption) + "\",\"text\":\"" + escape(text) +
         "\",\"type\":" + std::to_string(type) + "}";
}

}  // namespace kova::test

#endif  // KOVA_FILES_MESSAGE_BOX_LOG_TEST_UTIL_H_
