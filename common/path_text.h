// Path-text functions on single-byte texts with backslash separators. None of them
// touches the file system.
#ifndef KOVA_COMMON_PATH_TEXT_H_
#define KOVA_COMMON_PATH_TEXT_H_

#include <string>
#include <string_view>

namespace kova {

// `text` without its trailing white space (space, tab, CR, LF, VT, FF).
std::string_view TrimTrailingWhiteSpace(std::string_view text);

// Removes exactly one trailing backslash, if there is one.
std::string StripTrailingBackslash(std::string_view text);

// StripTrailingBackslash, then the text before its last backslash (the backslash
// dropped); a text without a backslash comes back unchanged.
std::string ParentPath(std::string_view text);

// Joins a base folder and a relative part. Trailing white space is trimmed from
// the relative part; an empty relative part gives the empty text; a relative part
// containing a colon or starting with two backslashes is returned (trimmed)
// instead of a join. Otherwise one leading backslash and one trailing backslash
// of the relative part are dropped, the base loses its trailing white space and
// gains a backslash when it is non-empty and lacks one, and the two are joined.
std::string JoinPath(std::string_view base, std::string_view relative);

// As JoinPath, except that an empty relative part returns the base unchanged.
std::string JoinPathOrBase(std::string_view base, std::string_view relative);

// The part after the last backslash, or the whole text.
std::string FileNameOf(std::string_view path);

// The text before the last dot, when there is one.
std::string StripExtension(std::string_view path);

// From the last dot on (dot included), or the empty text.
std::string ExtensionOf(std::string_view path);

// The text before the last backslash, when there is one.
std::string CutAtLastBackslash(std::string_view path);

}  // namespace kova

#endif  // KOVA_COMMON_PATH_TEXT_H_
