// Reading the scripts and writing the logs of the tests' scripted COM doubles:
// files named by environment variables, one line per entry, tab-separated fields.
#ifndef KOVA_TESTS_SCRIPT_TEXT_H_
#define KOVA_TESTS_SCRIPT_TEXT_H_

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kova::test {

// The value of the environment variable `name`, or the empty text.
inline std::string EnvPath(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// The tab-separated fields of one script line.
inline std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  return fields;
}

// The lines of a file; none when it cannot be read.
inline std::vector<std::string> Lines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace kova::test

#endif  // KOVA_TESTS_SCRIPT_TEXT_H_
