// Registry reads shared by the replacer rules and the language settings.
#ifndef KOVA_MACROS_REGISTRY_TEXT_H_
#define KOVA_MACROS_REGISTRY_TEXT_H_

#include <string>

#include "windows.h"

namespace kova {

// Registry values are read into buffers of this size; a longer value does not fit.
constexpr DWORD kRegistryTextBufferSize = 260;

// Closes an open registry key when it goes out of scope.
class ScopedRegKey {
 public:
  ScopedRegKey() = default;
  ~ScopedRegKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  ScopedRegKey(const ScopedRegKey&) = delete;
  ScopedRegKey& operator=(const ScopedRegKey&) = delete;

  PHKEY receive() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// Opens `key_path` under `root` with KEY_QUERY_VALUE and reads `value_name` (null:
// the default value) into `buffer` of `size` bytes, closing the key again.
// *key_opened tells whether the key opened. Returns the status of the open or of
// the read. On success the buffer holds a NUL-terminated text: a value of any type
// that fills the whole buffer without a NUL gives ERROR_MORE_DATA instead.
[[nodiscard]] LONG QueryRegistryValue(HKEY root, const char* key_path,
                                      const char* value_name, char* buffer, DWORD size,
                                      bool* key_opened);

// The outcome of reading a value as a registry string into a 260-byte buffer.
enum class RegistryText {
  kKeyMissing,       // the key did not open
  kValueUnreadable,  // the key opened; the value is missing or does not fit
  kRead,             // the value was read (it may be empty)
};

// Reads `value_name` (null: the default value) of `key_path` under `root` as
// text into *text (left empty unless the value was read).
[[nodiscard]] RegistryText ReadRegistryText(HKEY root, const char* key_path,
                                            const char* value_name, std::string* text);

}  // namespace kova

#endif  // KOVA_MACROS_REGISTRY_TEXT_H_
