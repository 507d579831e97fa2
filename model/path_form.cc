#include "model/path_form.h"

#include "common/text.h"

namespace kova {

std::string ToSystemSeparators(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '/') c = '\\';
  }
  return result;
}

std::string ToOsSeparators(std::string_view path) {
  std::string result(path);
  for (char& c : result) {
    if (c == '\\') c = '/';
  }
  return result;
}

std::string ReplaceAll(std::string_view source, std::string_view find,
                       std::string_view replacement) {
  std::string result(source);
  if (find.empty() || source.empty() || EqualsIgnoreCase(replacement, find))
    return result;
  // The search runs on an upper-cased copy that is edited in step with the result,
  // so positions stay the same in both.
  std::string search;
  search.reserve(source.size());
  for (char c : source) search += AsciiToUpper(c);
  std::string upper_find;
  for (char c : find) upper_find += AsciiToUpper(c);

  std::size_t position = search.find(upper_find);
  while (position != std::string::npos) {
    result.replace(position, find.size(), replacement);
    search.replace(position, find.size(), replacement);
    std::size_t next = position + replacement.size();
    if (next >= search.size()) break;
    position = search.find(upper_find, next);
  }
  return result;
}

}  // namespace kova
