#include "tools/kovactl/script.h"

#include <cctype>
#include <cstdlib>

namespace kova::kovactl {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_';
}

void SkipBlanks(std::string_view line, std::size_t* at) {
  while (*at < line.size() && IsBlank(line[*at])) ++*at;
}

[[nodiscard]] bool ReadName(std::string_view line, std::size_t* at, std::string* name) {
  const std::size_t start = *at;
  while (*at < line.size() && IsNameChar(line[*at])) ++*at;
  *name = std::string(line.substr(start, *at - start));
  return !name->empty();
}

[[nodiscard]] bool ParseNumber(const std::string& word, std::int32_t* value) {
  const char* begin = word.c_str();
  char* end = nullptr;
  const bool negative = word[0] == '-';
  const std::string_view digits =
      std::string_view(word).substr(word[0] == '-' || word[0] == '+');
  const bool hex =
      digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X');
  const long long parsed = std::strtoll(begin, &end, hex ? 16 : 10);
  if (end == begin || *end != 0) return false;
  // Hexadecimal numbers are 32-bit patterns (0x80004005 is an HRESULT).
  if (hex && !negative && parsed >= 0 && parsed <= 0xFFFFFFFFll) {
    *value = std::int32_t(std::uint32_t(parsed));
    return true;
  }
  if (parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = std::int32_t(parsed);
  return true;
}

}  // namespace

bool ParseLine(std::string_view line, Call* call, bool* is_call, std::string* error) {
  *call = Call();
  *is_call = false;
  std::size_t at = 0;
  SkipBlanks(line, &at);
  if (at >= line.size() || line[at] == '#') return true;

  if (line[at] == '$') {
    ++at;
    if (!ReadName(line, &at, &call->assign_to)) {
      *error = "a variable name must follow '$'";
      return false;
    }
    SkipBlanks(line, &at);
    if (at >= line.size() || line[at] != '=') {
      *error = "'=' expected after $" + call->assign_to;
      return false;
    }
    ++at;
    SkipBlanks(line, &at);
  }
  if (!ReadName(line, &at, &call->operation)) {
    *error = "an operation name expected";
    return false;
  }
  for (;;) {
    const std::size_t before = at;
    SkipBlanks(line, &at);
    if (at >= line.size() || line[at] == '#') break;
    if (at == before) {
      *error =
          "blank expected before argument " + std::to_string(call->arguments.size() + 1);
      return false;
    }
    Argument argument;
    const char c = line[at];
    if (c == '"') {
      argument.kind = Argument::Kind::kText;
      ++at;
      bool closed = false;
      while (at < line.size()) {
        const char ch = line[at++];
        if (ch == '"') {
          closed = true;
          break;
        }
        if (ch == '\\' && at < line.size() && (line[at] == '"' || line[at] == '\\')) {
          argument.text += line[at++];
          continue;
        }
        argument.text += ch;
      }
      if (!closed) {
        *error = "unterminated string";
        return false;
      }
    } else if (c == '$') {
      argument.kind = Argument::Kind::kVariable;
      ++at;
      if (!ReadName(line, &at, &argument.text)) {
        *error = "a variable name must follow '$'";
        return false;
      }
    } else {
      std::string word;
      while (at < line.size() && !IsBlank(line[at]) && line[at] != '#')
        word += line[at++];
      if (word == "out") {
        argument.kind = Argument::Kind::kOut;
      } else if (word == "true" || word == "false") {
        argument.kind = Argument::Kind::kBool;
        argument.flag = word == "true";
      } else if (!ParseNumber(word, &argument.number)) {
        *error = "not an argument: " + word;
        return false;
      }
    }
    call->arguments.push_back(std::move(argument));
  }
  *is_call = true;
  return true;
}

}  // namespace kova::kovactl
