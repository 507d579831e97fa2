#include "registry/hive_format.h"

#include <algorithm>
#include <cstdio>

#include "winerror.h"

namespace kova::platform {
namespace {

constexpr char kUpperOffset = 'a' - 'A';

char FoldUpper(char c) { return (c >= 'a' && c <= 'z') ? char(c - kUpperOffset) : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Length of the valid UTF-8 sequence at `pos` with its code point, or 0. Strict:
// no overlong forms, no surrogates, nothing above U+10FFFF.
std::size_t DecodeUtf8(std::string_view s, std::size_t pos, char32_t* cp) {
  auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  unsigned char b0 = byte(pos);
  if (b0 < 0x80) {
    *cp = b0;
    return 1;
  }
  std::size_t len;
  char32_t min;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, min = 0x80, *cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, min = 0x800, *cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, min = 0x10000, *cp = b0 & 0x07;
  } else {
    return 0;
  }
  if (pos + len > s.size()) return 0;
  for (std::size_t i = 1; i < len; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    *cp = (*cp << 6) | (byte(pos + i) & 0x3F);
  }
  if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) return 0;
  return len;
}

void AppendUtf8(char32_t cp, std::string* out) {
  if (cp < 0x80) {
    out->push_back(char(cp));
  } else if (cp < 0x800) {
    out->push_back(char(0xC0 | (cp >> 6)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out->push_back(char(0xE0 | (cp >> 12)));
    out->push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out->push_back(char(0xF0 | (cp >> 18)));
    out->push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out->push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out->push_back(char(0x80 | (cp & 0x3F)));
  }
}

void AppendUnit(char16_t unit, std::string* out) {
  out->push_back(char(unit & 0xFF));
  out->push_back(char(unit >> 8));
}

// A REG_SZ that the quoted form keeps exactly: valid UTF-8 ending in its one NUL,
// with no line break.
bool IsPlainText(std::string_view data) {
  if (data.empty() || data.back() != '\0') return false;
  data.remove_suffix(1);
  for (std::size_t i = 0; i < data.size();) {
    char32_t cp;
    std::size_t len = DecodeUtf8(data, i, &cp);
    if (len == 0 || cp == 0 || cp == '\r' || cp == '\n') return false;
    i += len;
  }
  return true;
}

void AppendQuoted(std::string_view text, std::string* out) {
  out->push_back('"');
  for (char c : text) {
    if (c == '\\' || c == '"') out->push_back('\\');
    out->push_back(c);
  }
  out->push_back('"');
}

// Hex data wrapped like the exporter: lines of at most 80 characters, continued
// with a backslash and two spaces of indent.
void AppendHex(std::string_view bytes, std::string* line, std::string* out) {
  static constexpr char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bool more = i + 1 < bytes.size();
    if (line->size() + 3 > 79 && i > 0) {
      *out += *line + "\\\r\n";
      *line = "  ";
    }
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    line->push_back(kDigits[b >> 4]);
    line->push_back(kDigits[b & 0xF]);
    if (more) line->push_back(',');
  }
  *out += *line + "\r\n";
}

void AppendValue(const RegValue& value, std::string* out) {
  std::string line;
  if (value.name.empty()) {
    line = "@";
  } else {
    AppendQuoted(value.name, &line);
  }
  line.push_back('=');
  if (value.type == 1 && IsPlainText(value.data)) {
    AppendQuoted(std::string_view(value.data).substr(0, value.data.size() - 1), &line);
    *out += line + "\r\n";
    return;
  }
  if (value.type == 4 && value.data.size() == 4) {
    const auto* b = reinterpret_cast<const unsigned char*>(value.data.data());
    DWORD dword = DWORD(b[0]) | DWORD(b[1]) << 8 | DWORD(b[2]) << 16 | DWORD(b[3]) << 24;
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", static_cast<unsigned>(dword));
    *out += line + text + "\r\n";
    return;
  }
  if (value.type == 3) {
    line += "hex:";
  } else {
    char text[24];
    std::snprintf(text, sizeof text, "hex(%x):", static_cast<unsigned>(value.type));
    line += text;
  }
  std::string bytes =
      IsRegTextType(value.type) ? Utf8ToUtf16LeBytes(value.data) : value.data;
  AppendHex(bytes, &line, out);
}

void AppendSections(const RegKey& key, const std::string& path, bool include_bare,
                    std::string* out) {
  if (include_bare || !key.values().empty()) {
    *out += "[" + path + "]\r\n";
    for (const RegValue& value : key.values()) AppendValue(value, out);
    *out += "\r\n";
  }
  for (const auto& subkey : key.subkeys())
    AppendSections(*subkey, path + "\\" + subkey->name(), true, out);
}

// The lines of a text, each without its line end.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

class Parser {
 public:
  Parser(std::string_view text, std::vector<RegStatement>* out, RegTextError* error)
      : lines_(SplitLines(text)), out_(out), error_(error) {}

  bool Run() {
    if (!lines_.empty() && lines_[0].substr(0, 3) == "\xEF\xBB\xBF")
      lines_[0].remove_prefix(3);
    std::size_t first = 0;
    while (first < lines_.size() && TrimBlanks(lines_[first]).empty()) ++first;
    if (first == lines_.size()) return true;
    if (TrimBlanks(lines_[first]) != kRegTextHeader)
      return Fail(first, std::string("the first line is not \"") + kRegTextHeader + "\"");
    for (index_ = first + 1; index_ < lines_.size(); ++index_) {
      std::string_view line = TrimBlanks(lines_[index_]);
      if (line.empty() || line.front() == ';') continue;
      bool ok = line.front() == '[' ? ParseSection(line)
                : (line.front() == '"' || line.front() == '@')
                    ? ParseValue(line)
                    : Fail(index_, "a line that is neither a key section nor a value");
      if (!ok) return false;
    }
    return true;
  }

 private:
  bool Fail(std::size_t index, std::string reason) {
    error_->line = static_cast<int>(index + 1);
    error_->reason = std::move(reason);
    return false;
  }

  bool ParseSection(std::string_view line) {
    if (line.back() != ']') return Fail(index_, "a key section without its closing ]");
    std::string_view inner = line.substr(1, line.size() - 2);
    RegStatement statement;
    statement.line = static_cast<int>(index_ + 1);
    statement.kind = RegStatement::Kind::kKey;
    if (!inner.empty() && inner.front() == '-') {
      statement.kind = RegStatement::Kind::kDeleteKey;
      inner.remove_prefix(1);
    }
    std::size_t slash = inner.find('\\');
    statement.root = std::string(inner.substr(0, slash));
    if (statement.root.empty()) return Fail(index_, "a key section without a key name");
    if (slash != std::string_view::npos &&
        SplitSubKey(inner.substr(slash + 1), &statement.path) != ERROR_SUCCESS)
      return Fail(index_, "a key name that is empty, too long or holds a line break");
    section_ = statement;
    have_section_ = true;
    out_->push_back(std::move(statement));
    return true;
  }

  // A quoted text starting at line[*pos] (the opening quote). Only \\ and \" are
  // escapes, as the exporter writes them.
  bool ParseQuoted(std::string_view line, std::size_t* pos, std::string* text) {
    for (std::size_t i = *pos + 1; i < line.size(); ++i) {
      char c = line[i];
      if (c == '"') {
        *pos = i + 1;
        return true;
      }
      if (c == '\\') {
        if (i + 1 >= line.size() || (line[i + 1] != '\\' && line[i + 1] != '"'))
          return Fail(index_, "a backslash that is not part of \\\\ or \\\"");
        c = line[++i];
      }
      text->push_back(c);
    }
    return Fail(index_, "a quoted text without its closing quote");
  }

  bool ParseValue(std::string_view line) {
    if (!have_section_) return Fail(index_, "a value outside a key section");
    if (section_.kind == RegStatement::Kind::kDeleteKey)
      return Fail(index_, "a value in the section of a key being deleted");
    RegStatement statement;
    statement.line = static_cast<int>(index_ + 1);
    statement.root = section_.root;
    statement.path = section_.path;
    std::size_t pos = 1;
    if (line.front() == '"') {
      pos = 0;
      if (!ParseQuoted(line, &pos, &statement.name)) return false;  // "" is @ as well
    }
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=')
      return Fail(index_, "a value name without =");
    std::string_view rest = TrimBlanks(line.substr(pos + 1));
    if (!ParseData(rest, &statement)) return false;
    out_->push_back(std::move(statement));
    return true;
  }

  bool ParseData(std::string_view rest, RegStatement* statement) {
    statement->kind = RegStatement::Kind::kValue;
    if (rest == "-") {
      statement->kind = RegStatement::Kind::kDeleteValue;
      return true;
    }
    if (!rest.empty() && rest.front() == '"') {
      std::size_t pos = 0;
      if (!ParseQuoted(rest, &pos, &statement->data)) return false;
      if (pos != rest.size()) return Fail(index_, "text after the closing quote");
      statement->type = 1;
      statement->data.push_back('\0');
      return true;
    }
    std::string lower;
    for (char c : rest.substr(0, 6))
      lower.push_back(char(c >= 'A' && c <= 'Z' ? c + 32 : c));
    if (lower == "dword:") return ParseDword(rest.substr(6), statement);
    if (lower.substr(0, 3) == "hex") return ParseHex(rest.substr(3), statement);
    return Fail(index_, "value data that is neither \"text\", dword:, hex: nor -");
  }

  bool ParseDword(std::string_view digits, RegStatement* statement) {
    if (digits.empty() || digits.size() > 8)
      return Fail(index_, "dword: needs 1 to 8 hexadecimal digits");
    DWORD value = 0;
    for (char c : digits) {
      int d = HexDigit(c);
      if (d < 0) return Fail(index_, "dword: needs 1 to 8 hexadecimal digits");
      value = value << 4 | DWORD(d);
    }
    statement->type = 4;
    for (int i = 0; i < 4; ++i)
      statement->data.push_back(char((value >> (8 * i)) & 0xFF));
    return true;
  }

  // `rest` follows "hex": an optional "(type)", then ':' and the bytes.
  bool ParseHex(std::string_view rest, RegStatement* statement) {
    statement->type = 3;
    if (!rest.empty() && rest.front() == '(') {
      std::size_t close = rest.find(')');
      std::string_view digits =
          rest.substr(1, close == std::string_view::npos ? 0 : close - 1);
      if (close == std::string_view::npos || digits.empty() || digits.size() > 8)
        return Fail(index_, "hex( needs a hexadecimal type and )");
      statement->type = 0;
      for (char c : digits) {
        int d = HexDigit(c);
        if (d < 0) return Fail(index_, "hex( needs a hexadecimal type and )");
        statement->type = statement->type << 4 | DWORD(d);
      }
      rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') return Fail(index_, "hex data without :");
    std::string list(TrimBlanks(rest.substr(1)));
    std::size_t start = index_;
    while (!list.empty() && list.back() == '\\') {
      list.pop_back();
      if (index_ + 1 >= lines_.size())
        return Fail(index_, "hex data continued past the end");
      list += TrimBlanks(lines_[++index_]);
    }
    std::string bytes;
    std::string_view items = list;
    while (!items.empty()) {
      std::size_t comma = items.find(',');
      std::string_view item = TrimBlanks(items.substr(0, comma));
      bool last = comma == std::string_view::npos;
      if (item.empty() && last) break;  // after a final comma
      if (item.empty() || item.size() > 2 || HexDigit(item[0]) < 0 ||
          (item.size() == 2 && HexDigit(item[1]) < 0))
        return Fail(start, "hex data that is not a list of bytes like 0a,ff");
      int value = HexDigit(item[0]);
      if (item.size() == 2) value = value * 16 + HexDigit(item[1]);
      bytes.push_back(char(value));
      if (last) break;
      items.remove_prefix(comma + 1);
    }
    if (!IsRegTextType(statement->type)) {
      statement->data = std::move(bytes);
      return true;
    }
    if (!Utf16LeBytesToUtf8(bytes, &statement->data))
      return Fail(start,
                  "text data in hex form that is not UTF-16 (an odd number of bytes)");
    return true;
  }

  std::vector<std::string_view> lines_;
  std::vector<RegStatement>* out_;
  RegTextError* error_;
  std::size_t index_ = 0;
  RegStatement section_;
  bool have_section_ = false;
};

}  // namespace

int CompareRegNames(std::string_view a, std::string_view b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(FoldUpper(a[i]));
    unsigned char cb = static_cast<unsigned char>(FoldUpper(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool RegNamesEqual(std::string_view a, std::string_view b) {
  return a.size() == b.size() && CompareRegNames(a, b) == 0;
}

RegKey* RegKey::FindSubkey(std::string_view name) const {
  auto it = std::lower_bound(subkeys_.begin(), subkeys_.end(), name,
                             [](const std::unique_ptr<RegKey>& key, std::string_view n) {
                               return CompareRegNames(key->name(), n) < 0;
                             });
  if (it == subkeys_.end() || !RegNamesEqual((*it)->name(), name)) return nullptr;
  return it->get();
}

RegKey* RegKey::FindPath(const std::vector<std::string>& path) const {
  const RegKey* key = this;
  for (const std::string& name : path) {
    key = key->FindSubkey(name);
    if (key == nullptr) return nullptr;
  }
  return const_cast<RegKey*>(key);
}

RegKey* RegKey::AddSubkey(std::string_view name) {
  auto it = std::lower_bound(subkeys_.begin(), subkeys_.end(), name,
                             [](const std::unique_ptr<RegKey>& key, std::string_view n) {
                               return CompareRegNames(key->name(), n) < 0;
                             });
  if (it != subkeys_.end() && RegNamesEqual((*it)->name(), name)) return it->get();
  return subkeys_.insert(it, std::make_unique<RegKey>(std::string(name)))->get();
}

RegKey* RegKey::AddPath(const std::vector<std::string>& path) {
  RegKey* key = this;
  for (const std::string& name : path) key = key->AddSubkey(name);
  return key;
}

bool RegKey::RemoveSubkey(std::string_view name) {
  auto it = std::find_if(subkeys_.begin(), subkeys_.end(), [&](const auto& key) {
    return RegNamesEqual(key->name(), name);
  });
  if (it == subkeys_.end()) return false;
  subkeys_.erase(it);
  return true;
}

const RegValue* RegKey::FindValue(std::string_view name) const {
  for (const RegValue& value : values_)
    if (RegNamesEqual(value.name, name)) return &value;
  return nullptr;
}

bool RegKey::SetValue(std::string_view name, DWORD type, std::string data) {
  for (RegValue& value : values_) {
    if (!RegNamesEqual(value.name, name)) continue;
    if (value.type == type && value.data == data) return false;
    value.type = type;
    value.data = std::move(data);
    return true;
  }
  values_.push_back(RegValue{std::string(name), type, std::move(data)});
  return true;
}

bool RegKey::RemoveValue(std::string_view name) {
  auto it = std::find_if(values_.begin(), values_.end(), [&](const RegValue& value) {
    return RegNamesEqual(value.name, name);
  });
  if (it == values_.end()) return false;
  values_.erase(it);
  return true;
}

DWORD SplitSubKey(std::string_view text, std::vector<std::string>* names) {
  names->clear();
  if (text.empty()) return ERROR_SUCCESS;
  if (text.front() == '\\') return ERROR_BAD_PATHNAME;
  if (text.back() == '\\') text.remove_suffix(1);
  while (true) {
    std::size_t slash = text.find('\\');
    std::string_view name = text.substr(0, slash);
    if (name.empty()) return ERROR_BAD_PATHNAME;
    if (name.size() > kMaxKeyNameLength ||
        name.find_first_of("\r\n") != std::string_view::npos)
      return ERROR_INVALID_PARAMETER;
    names->emplace_back(name);
    if (slash == std::string_view::npos) return ERROR_SUCCESS;
    text.remove_prefix(slash + 1);
  }
}

bool ParseRegText(std::string_view text, std::vector<RegStatement>* statements,
                  RegTextError* error) {
  statements->clear();
  return Parser(text, statements, error).Run();
}

std::string FormatRegText(const RegKey& key, const std::string& path,
                          bool include_bare_top) {
  std::string out = std::string(kRegTextHeader) + "\r\n\r\n";
  AppendSections(key, path, include_bare_top, &out);
  return out;
}

std::string Utf8ToUtf16LeBytes(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp;
    std::size_t len = DecodeUtf8(text, i, &cp);
    if (len == 0) {
      AppendUnit(char16_t(0xDC00 + static_cast<unsigned char>(text[i])), &out);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      AppendUnit(char16_t(0xD800 + (cp >> 10)), &out);
      AppendUnit(char16_t(0xDC00 + (cp & 0x3FF)), &out);
    } else {
      AppendUnit(char16_t(cp), &out);
    }
    i += len;
  }
  return out;
}

bool Utf16LeBytesToUtf8(std::string_view bytes, std::string* text) {
  if (bytes.size() % 2 != 0) return false;
  text->clear();
  auto unit = [&](std::size_t i) {
    return char16_t(static_cast<unsigned char>(bytes[2 * i]) |
                    static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  };
  std::size_t count = bytes.size() / 2;
  for (std::size_t i = 0; i < count; ++i) {
    char16_t u = unit(i);
    if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count && unit(i + 1) >= 0xDC00 &&
        unit(i + 1) <= 0xDFFF) {
      AppendUtf8(0x10000 + ((char32_t(u) - 0xD800) << 10) + (unit(i + 1) - 0xDC00), text);
      ++i;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      text->push_back(char(u - 0xDC00));  // a byte that was not valid UTF-8
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      AppendUtf8(0xFFFD, text);
    } else {
      AppendUtf8(u, text);
    }
  }
  return true;
}

}  // namespace kova::platform
