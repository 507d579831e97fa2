#include "zolbin.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// ${XDG_DATA_HOME:-$HOME/.local/share}, or empty when neither gives an absolute
// folder.
std::string DataHome() {
  std::optional<std::string> data = Environment("XDG_DATA_HOME");
  if (data && !data->empty() && data->front() == '/') return *data;
  std::optional<std::string> home = Environment("HOME");
  if (!home || home->empty() || home->front() != '/') return std::string();
  return *home + "/.local/share";
}

std::string Directory(const char* variable, const char* leaf) {
  if (std::optional<std::string> set = Environment(variable)) return *set;
  std::string base = DataHome();
  if (base.empty()) return base;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  return base + "/corvanta/" + leaf;
}

}  // namespace

unsigned int kova_ordinal_34(int which, int kind, char* buffer, int size) {
  if (buffer == nullptr || size < 1) return 0;
  buffer[0] = '\0';
  std::string path;
  if (which == 18 && kind == 0) path = Directory("KOVA_USERDIR", "user");
  if (which == 1 && kind == 3) path = Directory("KOVA_USERFILEDIR", "userfiles");
  // A cut path would name another directory: one that does not fit is not given.
  if (path.empty() || path.size() >= static_cast<std::size_t>(size)) return 0;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return static_cast<unsigned int>(path.size());
}
