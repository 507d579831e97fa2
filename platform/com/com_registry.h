// Registry access shared by the COM area (class look-up, type-library
// registration, the registrar).
#ifndef KOVA_PLATFORM_COM_COM_REGISTRY_H_
#define KOVA_PLATFORM_COM_COM_REGISTRY_H_

#include <string>

#include "winreg.h"

namespace kova::com {

// An open key, closed on destruction.
class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() { Reset(); }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;

  HKEY get() const { return key_; }
  HKEY* receive() {
    Reset();
    return &key_;
  }
  void Reset();

 private:
  HKEY key_ = nullptr;
};

// The text value `name` (null: the default value) of root\subkey; false when the
// key or value is missing or not text.
[[nodiscard]] bool ReadText(HKEY root, const std::string& subkey, const char* name,
                            std::string* text);

// Sets a REG_SZ value of root\subkey, creating the key. A system error code.
[[nodiscard]] LSTATUS WriteText(HKEY root, const std::string& subkey, const char* name,
                                const std::string& text);

// True when root\subkey exists and has neither subkeys nor values.
[[nodiscard]] bool IsEmptyKey(HKEY root, const std::string& subkey);

// Deletes root\subkey when it exists and is empty.
void DeleteIfEmpty(HKEY root, const std::string& subkey);

}  // namespace kova::com

#endif  // KOVA_PLATFORM_COM_COM_REGISTRY_H_
