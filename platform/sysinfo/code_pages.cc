// Code-page conversion. The process code page is UTF-8, so CP_ACP, CP_OEMCP,
// CP_THREAD_ACP and CP_UTF8 all convert between UTF-8 and UTF-16.
#include <string>

#include "errhandlingapi.h"
#include "sysinfo/utf8.h"
#include "winerror.h"
#include "winnls.h"

namespace {

using kova::platform::AppendUtf8;
using kova::platform::DecodeUtf8;
using kova::platform::kReplacementCharacter;

bool IsUtf8CodePage(UINT code_page) {
  return code_page == CP_ACP || code_page == CP_OEMCP || code_page == CP_THREAD_ACP ||
         code_page == CP_UTF8;
}

int Fail(DWORD error) {
  SetLastError(error);
  return 0;
}

// The platform's size rule for both directions: a zero output size asks for the
// size, a buffer too small fails with ERROR_INSUFFICIENT_BUFFER and the output is
// not written at all.
template <typename Char>
int CopyConverted(const std::basic_string<Char>& converted, Char* out, int out_size) {
  const int needed = static_cast<int>(converted.size());
  if (out_size == 0) return needed;
  if (needed > out_size) return Fail(ERROR_INSUFFICIENT_BUFFER);
  converted.copy(out, converted.size());
  return needed;
}

}  // namespace

// Reproduces the platform's UTF-8 decoder: each ill-formed subpart becomes U+FFFD,
// or the call fails with ERROR_NO_UNICODE_TRANSLATION under MB_ERR_INVALID_CHARS.
// CP_UTF8 accepts only MB_ERR_INVALID_CHARS; the other UTF-8 code pages also accept
// MB_PRECOMPOSED (ignored: no normalisation). Pinned by code_pages_test.
extern "C" int WINAPI MultiByteToWideChar(UINT CodePage, DWORD dwFlags,
                                          LPCCH lpMultiByteStr, int cbMultiByte,
                                          LPWSTR lpWideCharStr, int cchWideChar) {
  if (!IsUtf8CodePage(CodePage)) return Fail(ERROR_INVALID_PARAMETER);
  const DWORD allowed = MB_ERR_INVALID_CHARS | (CodePage == CP_UTF8 ? 0 : MB_PRECOMPOSED);
  if (dwFlags & ~allowed) return Fail(ERROR_INVALID_FLAGS);
  if (lpMultiByteStr == nullptr || cbMultiByte == 0 || cbMultiByte < -1 ||
      cchWideChar < 0 || (cchWideChar > 0 && lpWideCharStr == nullptr))
    return Fail(ERROR_INVALID_PARAMETER);
  const auto* in = reinterpret_cast<const unsigned char*>(lpMultiByteStr);
  std::size_t in_size = cbMultiByte == -1
                            ? std::char_traits<char>::length(lpMultiByteStr) + 1
                            : static_cast<std::size_t>(cbMultiByte);
  std::u16string converted;
  converted.reserve(in_size);
  for (std::size_t i = 0; i < in_size;) {
    const auto decoded = DecodeUtf8(in + i, in_size - i);
    if (!decoded.valid && (dwFlags & MB_ERR_INVALID_CHARS))
      return Fail(ERROR_NO_UNICODE_TRANSLATION);
    i += decoded.length;
    char32_t cp = decoded.code_point;
    if (cp >= 0x10000) {
      cp -= 0x10000;
      converted.push_back(static_cast<char16_t>(0xD800 | (cp >> 10)));
      converted.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
    } else {
      converted.push_back(static_cast<char16_t>(cp));
    }
  }
  return CopyConverted(converted, lpWideCharStr, cchWideChar);
}

// Reproduces the platform's UTF-8 encoder: surrogate pairs become one 4-byte
// sequence, a lone surrogate becomes U+FFFD (EF BF BD), or the call fails with
// ERROR_NO_UNICODE_TRANSLATION under WC_ERR_INVALID_CHARS. CP_UTF8 refuses a
// default character (ERROR_INVALID_PARAMETER) as the platform does.
// Deliberately more lenient than the platform for CP_ACP and the other UTF-8 code
// pages: they accept WC_NO_BEST_FIT_CHARS (there is nothing to fit) and a default
// character, which then replaces a lone surrogate and is reported through
// lpUsedDefaultChar. Pinned by code_pages_test.
extern "C" int WINAPI WideCharToMultiByte(UINT CodePage, DWORD dwFlags,
                                          LPCWCH lpWideCharStr, int cchWideChar,
                                          LPSTR lpMultiByteStr, int cbMultiByte,
                                          LPCCH lpDefaultChar, LPBOOL lpUsedDefaultChar) {
  if (!IsUtf8CodePage(CodePage)) return Fail(ERROR_INVALID_PARAMETER);
  const bool strict = CodePage == CP_UTF8;
  const DWORD allowed = WC_ERR_INVALID_CHARS | (strict ? 0 : WC_NO_BEST_FIT_CHARS);
  if (dwFlags & ~allowed) return Fail(ERROR_INVALID_FLAGS);
  if (strict && (lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr))
    return Fail(ERROR_INVALID_PARAMETER);
  if (lpWideCharStr == nullptr || cchWideChar == 0 || cchWideChar < -1 ||
      cbMultiByte < 0 || (cbMultiByte > 0 && lpMultiByteStr == nullptr))
    return Fail(ERROR_INVALID_PARAMETER);
  std::size_t in_size = cchWideChar == -1
                            ? std::char_traits<char16_t>::length(lpWideCharStr) + 1
                            : static_cast<std::size_t>(cchWideChar);
  std::string converted;
  converted.reserve(in_size);
  bool used_default = false;
  for (std::size_t i = 0; i < in_size; ++i) {
    const char16_t unit = lpWideCharStr[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < in_size &&
        lpWideCharStr[i + 1] >= 0xDC00 && lpWideCharStr[i + 1] <= 0xDFFF) {
      AppendUtf8(
          0x10000 + ((char32_t(unit) - 0xD800) << 10) + (lpWideCharStr[i + 1] - 0xDC00),
          &converted);
      ++i;
      continue;
    }
    if (unit < 0xD800 || unit > 0xDFFF) {
      AppendUtf8(unit, &converted);
      continue;
    }
    if (dwFlags & WC_ERR_INVALID_CHARS) return Fail(ERROR_NO_UNICODE_TRANSLATION);
    used_default = true;
    if (lpDefaultChar != nullptr && *lpDefaultChar != '\0') {
      converted.push_back(*lpDefaultChar);
    } else {
      AppendUtf8(kReplacementCharacter, &converted);
    }
  }
  if (lpUsedDefaultChar != nullptr) *lpUsedDefaultChar = used_default ? TRUE : FALSE;
  return CopyConverted(converted, lpMultiByteStr, cbMultiByte);
}
