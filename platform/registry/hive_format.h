// The registry's text form: the hive files, and the files that kovareg imports and
// exports (doc/hive-format.md). In-memory keys, parsing and formatting; no file
// system. Not thread-safe by itself: the registry serialises every use.
#ifndef KOVA_PLATFORM_REGISTRY_HIVE_FORMAT_H_
#define KOVA_PLATFORM_REGISTRY_HIVE_FORMAT_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "windef.h"

// kovareg links these from the platform library, so they stay visible even when the
// library hides its internals.
#define KOVA_HIVE_API __attribute__((visibility("default")))

namespace kova::platform {

inline constexpr char kRegTextHeader[] = "Windows Registry Editor Version 5.00";
inline constexpr std::size_t kMaxKeyNameLength = 255;
inline constexpr std::size_t kMaxValueNameLength = 16383;

// Names compare without case (ASCII letters; other bytes as they are). The order is
// that of the upper-cased names, the order in which the platform enumerates subkeys.
KOVA_HIVE_API int CompareRegNames(std::string_view a, std::string_view b);
KOVA_HIVE_API bool RegNamesEqual(std::string_view a, std::string_view b);

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ.
constexpr bool IsRegTextType(DWORD type) { return type == 1 || type == 2 || type == 7; }

struct RegValue {
  std::string name;  // "" is the default value
  DWORD type = 0;
  std::string data;  // the bytes as stored; text types include their NULs
};

// A key: its values in the order first written, its subkeys sorted by name. A
// name keeps the spelling it was first given.
class KOVA_HIVE_API RegKey {
 public:
  explicit RegKey(std::string name) : name_(std::move(name)) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  const std::string& name() const { return name_; }
  const std::vector<RegValue>& values() const { return values_; }
  const std::vector<std::unique_ptr<RegKey>>& subkeys() const { return subkeys_; }

  RegKey* FindSubkey(std::string_view name) const;
  // The key at `path` below this one, or null.
  RegKey* FindPath(const std::vector<std::string>& path) const;
  // The subkey of that name, added when missing.
  RegKey* AddSubkey(std::string_view name);
  // Adds every missing key along `path`; returns the last one.
  RegKey* AddPath(const std::vector<std::string>& path);
  // False when there was no such subkey.
  bool RemoveSubkey(std::string_view name);
  void RemoveAllSubkeys() { subkeys_.clear(); }

  const RegValue* FindValue(std::string_view name) const;
  // True when the key changed (a new value, or another type or data).
  bool SetValue(std::string_view name, DWORD type, std::string data);
  bool RemoveValue(std::string_view name);
  void RemoveAllValues() { values_.clear(); }

 private:
  std::string name_;
  std::vector<RegValue> values_;
  std::vector<std::unique_ptr<RegKey>> subkeys_;
};

// Splits a subkey text ("a\b\c", a trailing backslash allowed) into its names.
// ERROR_BAD_PATHNAME for a leading backslash or an empty name inside,
// ERROR_INVALID_PARAMETER for a name longer than 255 characters or holding a line
// break (a hive file could not keep it). An empty text gives no names.
[[nodiscard]] KOVA_HIVE_API DWORD SplitSubKey(std::string_view text,
                                              std::vector<std::string>* names);

// One statement of a registry text file, in file order.
struct RegStatement {
  enum class Kind { kKey, kDeleteKey, kValue, kDeleteValue };
  Kind kind = Kind::kKey;
  int line = 0;                   // where the statement starts (from 1)
  std::string root;               // as written: "HKEY_CURRENT_USER", ...
  std::vector<std::string> path;  // the names below the root
  std::string name;               // value statements: "" is the default value
  DWORD type = 0;
  std::string data;
};

struct RegTextError {
  int line = 0;
  std::string reason;  // "a value outside a key section", ...
};

// Parses a whole file. CRLF and LF line ends, an optional UTF-8 byte-order mark,
// `;` comment lines, hex data continued over lines ending in a backslash. A text
// that is empty or blank holds no statements. Text of REG_SZ, REG_EXPAND_SZ and
// REG_MULTI_SZ given as hex(1), hex(2) or hex(7) is UTF-16LE and comes back as UTF-8.
[[nodiscard]] KOVA_HIVE_API bool ParseRegText(std::string_view text,
                                              std::vector<RegStatement>* statements,
                                              RegTextError* error);

// The header, then a section for `key`, written as `path` ("HKEY_CURRENT_USER\a"),
// and for every key below it, parents first, with CRLF line ends. The section of
// `key` itself is left out when it has no values and `include_bare_top` is false
// (a hive's root).
KOVA_HIVE_API std::string FormatRegText(const RegKey& key, const std::string& path,
                                        bool include_bare_top);

// UTF-8 to UTF-16LE bytes and back, lossless for any bytes: a byte that is not part
// of a valid UTF-8 sequence travels as the lone surrogate U+DC80 + byte.
KOVA_HIVE_API std::string Utf8ToUtf16LeBytes(std::string_view text);
[[nodiscard]] KOVA_HIVE_API bool Utf16LeBytesToUtf8(std::string_view bytes,
                                                    std::string* text);

}  // namespace kova::platform

#endif  // KOVA_PLATFORM_REGISTRY_HIVE_FORMAT_H_
