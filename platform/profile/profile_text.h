// The parsed form of a private-profile file and the edits a write makes to it.
// Pure text processing: no file system, no last error.
//
// A Profile keeps the file's bytes and, for each section and key, the byte range of
// its lines, so that a write can splice a change into the original text and leave
// every other byte as it was. Section and key look-ups go through case-folding hash
// tables that hold the first occurrence of each name.
#ifndef KOVA_PLATFORM_PROFILE_PROFILE_TEXT_H_
#define KOVA_PLATFORM_PROFILE_PROFILE_TEXT_H_

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kova::platform::profile {

// Space and tab, the only characters the platform trims around names and values.
constexpr bool IsBlank(char c) { return c == ' ' || c == '\t'; }
std::string_view TrimBlanks(std::string_view text);
std::string_view TrimTrailingBlanks(std::string_view text);

// Removes one pair of equal enclosing quotes (' or ") from a text of at least two
// characters: 'abc' -> abc, ''abc'' -> 'abc', 'abc" unchanged.
std::string_view StripOneQuotePair(std::string_view value);

// Hash and equality that fold ASCII letters, for the name tables.
struct FoldedHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const;
};
struct FoldedEqual {
  using is_transparent = void;
  bool operator()(std::string_view a, std::string_view b) const;
};

class Profile {
 public:
  struct Key {
    std::string_view name;    // trimmed, as spelt in the file
    std::string_view value;   // trimmed, quotes kept
    std::size_t begin;        // line start
    std::size_t content_end;  // before the line end
    std::size_t end;          // after the line end
  };
  struct Section {
    std::string_view name;  // trimmed; empty for the lines above the first header
    std::size_t begin;      // header line start (0 for the part above the first header)
    std::size_t end;        // start of the next header line, or the file size
    // Where a new key goes: after the last non-blank line of the section.
    std::size_t append_at;
    bool append_needs_line_end;  // that line is the file's last and has no line end
    std::vector<Key> keys;       // every key line, in file order
    std::unordered_map<std::string_view, std::size_t, FoldedHash, FoldedEqual> index;
  };

  // Parses `bytes`. The result owns the bytes, and its views point into them.
  static std::shared_ptr<const Profile> Parse(std::string bytes);

  Profile(const Profile&) = delete;
  Profile& operator=(const Profile&) = delete;

  const std::string& bytes() const { return bytes_; }

  // The first section of that name (names compare without case and are trimmed by
  // the caller); the part above the first header is never found.
  const Section* FindSection(std::string_view name) const;
  // The first key of that name in `section`.
  static const Key* FindKey(const Section& section, std::string_view name);

  // Names as the lists report them: first occurrences only, empty names left out
  // (an empty entry would end a double-NUL list early).
  std::vector<std::string_view> SectionNames() const;
  static std::vector<std::string_view> KeyNames(const Section& section);

  // The line end that new lines get: the file's first one, CRLF when it has none.
  std::string_view line_end() const { return line_end_; }

 private:
  explicit Profile(std::string bytes);
  void Build();

  std::string bytes_;
  std::string_view line_end_ = "\r\n";
  std::vector<Section> sections_;  // [0] is the part above the first header
  std::unordered_map<std::string_view, std::size_t, FoldedHash, FoldedEqual>
      section_index_;
};

// The change one WritePrivateProfileStringA call asks for. Names are trimmed.
struct ProfileEdit {
  std::string_view section;
  std::optional<std::string_view> key;    // nullopt: remove the section
  std::optional<std::string_view> value;  // nullopt: remove the key
};

// True when the edit's texts can be written so that they read back as given: no
// line breaks anywhere, and a key that holds no '=' and starts with neither ';'
// nor '['.
bool IsWritableEdit(const ProfileEdit& edit);

// The file's new bytes, or nullopt when the edit changes nothing.
std::optional<std::string> ApplyEdit(const Profile& profile, const ProfileEdit& edit);

}  // namespace kova::platform::profile

#endif  // KOVA_PLATFORM_PROFILE_PROFILE_TEXT_H_
