// Conversion between BSTRs (UTF-16) and the system's single-byte texts, for code
// below the interface layer that talks to automation objects.
#ifndef KOVA_COMMON_BSTR_CONVERT_H_
#define KOVA_COMMON_BSTR_CONVERT_H_

#include <string>
#include <string_view>

#include "oleauto.h"

namespace kova {

// The ANSI text of `text`; a null BSTR is the empty text. Characters without an
// ANSI form come through as the converter's default.
std::string AnsiFromBstr(BSTR text);

// A new BSTR holding `text`, owned by the caller (SysFreeString); null only when
// out of memory.
BSTR BstrFromAnsi(std::string_view text);

// A BSTR freed on every path out.
class ScopedBstr {
 public:
  ScopedBstr() = default;
  explicit ScopedBstr(std::string_view text) : bstr_(BstrFromAnsi(text)) {}
  ~ScopedBstr() { SysFreeString(bstr_); }
  ScopedBstr(const ScopedBstr&) = delete;
  ScopedBstr& operator=(const ScopedBstr&) = delete;

  BSTR get() const { return bstr_; }
  // Frees the held BSTR and hands out the slot for an [out] parameter.
  BSTR* receive() {
    SysFreeString(bstr_);
    bstr_ = nullptr;
    return &bstr_;
  }
  std::string Text() const { return AnsiFromBstr(bstr_); }

 private:
  BSTR bstr_ = nullptr;
};

}  // namespace kova

#endif  // KOVA_COMMON_BSTR_CONVERT_H_
