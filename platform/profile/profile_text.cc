#include "profile/profile_text.h"

#include <algorithm>

namespace kova::platform::profile {
namespace {

constexpr char FoldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsLineBreak(char c) { return c == '\r' || c == '\n'; }

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  return TrimTrailingBlanks(text.substr(begin));
}

std::string_view TrimTrailingBlanks(std::string_view text) {
  std::size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  return text.substr(0, end);
}

std::string_view StripOneQuotePair(std::string_view value) {
  if (value.size() < 2) return value;
  char first = value.front();
  if ((first != '\'' && first != '"') || value.back() != first) return value;
  return value.substr(1, value.size() - 2);
}

std::size_t FoldedHash::operator()(std::string_view text) const {
  // FNV-1a over the folded bytes.
  std::size_t hash = 14695981039346656037ull;
  for (char c : text) {
    hash ^= static_cast<unsigned char>(FoldCase(c));
    hash *= 1099511628211ull;
  }
  return hash;
}

bool FoldedEqual::operator()(std::string_view a, std::string_view b) const {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

Profile::Profile(std::string bytes) : bytes_(std::move(bytes)) {}

std::shared_ptr<const Profile> Profile::Parse(std::string bytes) {
  std::shared_ptr<Profile> profile(new Profile(std::move(bytes)));
  profile->Build();
  return profile;
}

// One pass over the lines. CRLF, LF and CR each end a line; the last line needs
// no line end. A leading UTF-8 byte-order mark is skipped (and kept on write).
void Profile::Build() {
  const std::string_view text = bytes_;
  bool line_end_seen = false;
  sections_.push_back(Section{{}, 0, 0, 0, false, {}, {}});
  std::size_t pos = text.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
  while (pos < text.size()) {
    const std::size_t begin = pos;
    std::size_t content_end = begin;
    while (content_end < text.size() && !IsLineBreak(text[content_end])) ++content_end;
    std::size_t end = content_end;
    if (end < text.size()) {
      end +=
          (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1;
      if (!line_end_seen) {
        line_end_ = text.substr(content_end, end - content_end);
        line_end_seen = true;
      }
    }
    pos = end;

    std::string_view line = TrimBlanks(text.substr(begin, content_end - begin));
    if (line.empty()) continue;
    if (line.front() == ';') {
      // A comment belongs to its section: it moves and goes with it.
      Section& current = sections_.back();
      current.append_at = end;
      current.append_needs_line_end = end == content_end;
      continue;
    }
    if (line.front() == '[') {
      std::size_t close = line.rfind(']');
      if (close != std::string_view::npos) {
        sections_.back().end = begin;
        Section section{TrimBlanks(line.substr(1, close - 1)),
                        begin,
                        text.size(),
                        end,
                        end == content_end,
                        {},
                        {}};
        sections_.push_back(std::move(section));
        section_index_.try_emplace(sections_.back().name, sections_.size() - 1);
        continue;
      }
    }
    Section& current = sections_.back();
    current.append_at = end;
    current.append_needs_line_end = end == content_end;
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    current.keys.push_back(Key{TrimBlanks(line.substr(0, equals)),
                               TrimBlanks(line.substr(equals + 1)), begin, content_end,
                               end});
    current.index.try_emplace(current.keys.back().name, current.keys.size() - 1);
  }
  sections_.back().end = text.size();
}

const Profile::Section* Profile::FindSection(std::string_view name) const {
  auto it = section_index_.find(name);
  return it == section_index_.end() ? nullptr : &sections_[it->second];
}

const Profile::Key* Profile::FindKey(const Section& section, std::string_view name) {
  auto it = section.index.find(name);
  return it == section.index.end() ? nullptr : &section.keys[it->second];
}

std::vector<std::string_view> Profile::SectionNames() const {
  std::vector<std::string_view> names;
  for (std::size_t i = 1; i < sections_.size(); ++i) {
    std::string_view name = sections_[i].name;
    if (!name.empty() && section_index_.find(name)->second == i) names.push_back(name);
  }
  return names;
}

std::vector<std::string_view> Profile::KeyNames(const Section& section) {
  std::vector<std::string_view> names;
  for (std::size_t i = 0; i < section.keys.size(); ++i) {
    std::string_view name = section.keys[i].name;
    if (!name.empty() && section.index.find(name)->second == i) names.push_back(name);
  }
  return names;
}

bool IsWritableEdit(const ProfileEdit& edit) {
  auto has_line_break = [](std::string_view text) {
    return std::any_of(text.begin(), text.end(), IsLineBreak);
  };
  if (has_line_break(edit.section)) return false;
  if (!edit.key) return true;
  std::string_view key = *edit.key;
  if (has_line_break(key) || key.find('=') != std::string_view::npos) return false;
  if (!key.empty() && (key.front() == ';' || key.front() == '[')) return false;
  return !edit.value || !has_line_break(*edit.value);
}

std::optional<std::string> ApplyEdit(const Profile& profile, const ProfileEdit& edit) {
  const std::string& bytes = profile.bytes();
  const std::string_view eol = profile.line_end();
  auto splice = [&bytes](std::size_t begin, std::size_t end, std::string_view insert) {
    std::string result;
    result.reserve(bytes.size() - (end - begin) + insert.size());
    result.append(bytes, 0, begin).append(insert).append(bytes, end);
    return result;
  };

  const Profile::Section* section = profile.FindSection(edit.section);
  if (!edit.key) {
    if (section == nullptr) return std::nullopt;
    return splice(section->begin, section->end, {});
  }
  const Profile::Key* key = section ? Profile::FindKey(*section, *edit.key) : nullptr;
  if (!edit.value) {
    if (key == nullptr) return std::nullopt;
    return splice(key->begin, key->end, {});
  }
  if (key != nullptr) {
    if (key->value == *edit.value) return std::nullopt;
    std::string line;
    line.append(key->name).append("=").append(*edit.value);
    return splice(key->begin, key->content_end, line);
  }
  std::string insert;
  if (section != nullptr) {
    if (section->append_needs_line_end) insert.append(eol);
    insert.append(*edit.key).append("=").append(*edit.value).append(eol);
    return splice(section->append_at, section->append_at, insert);
  }
  // A new section goes at the end of the file, right after its last line.
  const bool only_bom = std::string_view(bytes) == kUtf8Bom;
  if (!bytes.empty() && !only_bom && !IsLineBreak(bytes.back())) insert.append(eol);
  insert.append("[").append(edit.section).append("]").append(eol);
  insert.append(*edit.key).append("=").append(*edit.value).append(eol);
  return splice(bytes.size(), bytes.size(), insert);
}

}  // namespace kova::platform::profile
