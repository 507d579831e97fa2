// The search filter syntax of RFC 4515, for ldap_check_filterA. A filter without
// enclosing parentheses ("cn=a") is accepted, as the search calls accept it.
#include <cctype>

#include "ldap/wldap32/wldap_internal.h"

namespace kova::wldap {
namespace {

bool IsDescriptionChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == ';';
}

bool IsDescription(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (!IsDescriptionChar(c)) return false;
  return true;
}

// Escapes are "\" with two hex digits; "\" before a special character is tolerated.
bool IsAssertionValue(std::string_view value, bool allow_star) {
  for (size_t i = 0; i < value.size(); ++i) {
    char c = value[i];
    if (c == '(' || c == ')') return false;
    if (c == '*' && !allow_star) return false;
    if (c != '\\') continue;
    if (i + 1 >= value.size()) return false;
    if (i + 2 < value.size() && std::isxdigit(static_cast<unsigned char>(value[i + 1])) &&
        std::isxdigit(static_cast<unsigned char>(value[i + 2]))) {
      i += 2;
      continue;
    }
    if (std::string_view("*()\\").find(value[i + 1]) == std::string_view::npos)
      return false;
    ++i;
  }
  return true;
}

// attr[:dn][:rule]:=value or [:dn]:rule:=value
bool IsExtensible(std::string_view left, std::string_view value) {
  if (!IsAssertionValue(value, false)) return false;
  std::vector<std::string_view> parts;
  size_t start = 0;
  for (size_t i = 0; i <= left.size(); ++i) {
    if (i == left.size() || left[i] == ':') {
      parts.push_back(left.substr(start, i - start));
      start = i + 1;
    }
  }
  const bool has_type = !parts[0].empty();
  if (has_type && !IsDescription(parts[0])) return false;
  size_t i = 1;
  bool has_rule = false;
  if (i < parts.size() && (parts[i] == "dn" || parts[i] == "DN")) ++i;
  if (i < parts.size()) {
    if (!IsDescription(parts[i])) return false;
    has_rule = true;
    ++i;
  }
  return i == parts.size() && (has_type || has_rule);
}

bool IsItem(std::string_view item) {
  size_t eq = item.find('=');
  if (eq == std::string_view::npos || eq == 0) return false;
  std::string_view left = item.substr(0, eq);
  std::string_view value = item.substr(eq + 1);
  if (left.back() == ':') return IsExtensible(left.substr(0, left.size() - 1), value);
  if (left.back() == '~' || left.back() == '>' || left.back() == '<')
    return IsDescription(left.substr(0, left.size() - 1)) &&
           IsAssertionValue(value, false);
  return IsDescription(left) && IsAssertionValue(value, true);
}

class FilterParser {
 public:
  explicit FilterParser(std::string_view text) : text_(text) {}

  bool ParseAll() {
    if (text_.empty()) return false;
    if (text_.front() != '(') return IsItem(text_);
    return ParseFilter() && pos_ == text_.size();
  }

 private:
  bool ParseFilter() {
    if (!Take('(')) return false;
    if (++depth_ > kMaxDepth) return false;
    bool ok = ParseComponent() && Take(')');
    --depth_;
    return ok;
  }

  bool ParseComponent() {
    if (pos_ >= text_.size()) return false;
    char c = text_[pos_];
    if (c == '&' || c == '|') {
      ++pos_;
      while (pos_ < text_.size() && text_[pos_] == '(')
        if (!ParseFilter()) return false;
      return true;
    }
    if (c == '!') {
      ++pos_;
      return ParseFilter();
    }
    size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] != ')' && text_[pos_] != '(') {
      if (text_[pos_] == '\\') ++pos_;
      ++pos_;
    }
    if (pos_ > text_.size()) return false;
    return IsItem(text_.substr(start, pos_ - start));
  }

  bool Take(char c) {
    if (pos_ >= text_.size() || text_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  static constexpr int kMaxDepth = 256;  // keeps hostile nesting off the stack
  std::string_view text_;
  size_t pos_ = 0;
  int depth_ = 0;
};

}  // namespace

bool IsValidFilter(std::string_view filter) { return FilterParser(filter).ParseAll(); }

}  // namespace kova::wldap
