#include "common/path_text.h"

namespace kova {
namespace {

bool IsWhiteSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::string_view TrimTrailingWhiteSpace(std::string_view text) {
  while (!text.empty() && IsWhiteSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string StripTrailingBackslash(std::string_view text) {
  if (!text.empty() && text.back() == '\\') text.remove_suffix(1);
  return std::string(text);
}

std::string ParentPath(std::string_view text) {
  std::string stripped = StripTrailingBackslash(text);
  std::string::size_type last = stripped.rfind('\\');
  if (last != std::string::npos) stripped.resize(last);
  return stripped;
}

std::string JoinPath(std::string_view base, std::string_view relative) {
  relative = TrimTrailingWhiteSpace(relative);
  if (relative.empty()) return {};
  if (relative.find(':') != std::string_view::npos || relative.starts_with("\\\\"))
    return std::string(relative);
  if (relative.front() == '\\') relative.remove_prefix(1);
  std::string tail = StripTrailingBackslash(relative);
  std::string joined(TrimTrailingWhiteSpace(base));
  if (!joined.empty() && joined.back() != '\\') joined += '\\';
  joined += tail;
  return joined;
}

std::string JoinPathOrBase(std::string_view base, std::string_view relative) {
  if (TrimTrailingWhiteSpace(relative).empty()) return std::string(base);
  return JoinPath(base, relative);
}

std::string FileNameOf(std::string_view path) {
  std::string_view::size_type last = path.rfind('\\');
  if (last == std::string_view::npos) return std::string(path);
  return std::string(path.substr(last + 1));
}

std::string StripExtension(std::string_view path) {
  std::string_view::size_type dot = path.rfind('.');
  if (dot == std::string_view::npos) return std::string(path);
  return std::string(path.substr(0, dot));
}

std::string ExtensionOf(std::string_view path) {
  std::string_view::size_type dot = path.rfind('.');
  if (dot == std::string_view::npos) return {};
  return std::string(path.substr(dot));
}

std::string CutAtLastBackslash(std::string_view path) {
  std::string_view::size_type last = path.rfind('\\');
  if (last == std::string_view::npos) return std::string(path);
  return std::string(path.substr(0, last));
}

}  // namespace kova
