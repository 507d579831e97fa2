// wsprintfA and wvsprintfA: the platform's small formatter with its 1024-byte
// output limit.
#include <cstdarg>
#include <cstring>
#include <string_view>

#include "errors/format_engine.h"
#include "winuser.h"

namespace {

// The platform writes at most 1024 bytes, the NUL included.
constexpr std::size_t kMaxOutput = 1024;

}  // namespace

// Reproduces the platform's conversions (see winuser.h): longer output is cut at
// 1023 characters and NUL-terminated; the result is the length without the NUL.
// An unknown conversion character is printed as itself, as on the platform.
// %ld is a 32-bit LONG as on the platform, not a 64-bit long. Deliberately, a null
// output or format gives 0 instead of a crash. Pinned by wsprintf_test.
extern "C" int WINAPI wvsprintfA(LPSTR lpOut, LPCSTR lpFmt, va_list arglist) {
  using kova::platform::Conversion;
  if (lpOut == nullptr) return 0;
  if (lpFmt == nullptr) {
    *lpOut = '\0';
    return 0;
  }
  kova::platform::BoundedText out(kMaxOutput - 1);
  std::string_view format(lpFmt);
  std::size_t pos = 0;
  while (pos < format.size() && !out.truncated()) {
    const std::size_t percent = format.find('%', pos);
    out.Append(format.substr(pos, percent - pos));
    if (percent == std::string_view::npos) break;
    Conversion conversion;
    pos = percent + 1 +
          kova::platform::ParseConversion(format.substr(percent + 1), &conversion);
    if (conversion.type == 0) break;
    if (conversion.IsWideText()) {
      kova::platform::FormatWideText(conversion, va_arg(arglist, const WCHAR*), &out);
    } else if (conversion.IsText()) {
      kova::platform::FormatText(conversion, va_arg(arglist, const char*), &out);
    } else if (conversion.IsInteger()) {
      kova::platform::FormatInteger(conversion, va_arg(arglist, unsigned int), &out);
    } else {
      out.Append(1, conversion.type);
    }
  }
  std::memcpy(lpOut, out.text().data(), out.text().size());
  lpOut[out.text().size()] = '\0';
  return static_cast<int>(out.text().size());
}

extern "C" int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  va_list args;
  va_start(args, lpFmt);
  const int result = wvsprintfA(lpOut, lpFmt, args);
  va_end(args);
  return result;
}
