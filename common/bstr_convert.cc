#include "common/bstr_convert.h"

#include <climits>
#include <vector>

#include "windows.h"

namespace kova {

std::string AnsiFromBstr(BSTR text) {
  const UINT length = SysStringLen(text);
  if (length == 0 || length > UINT(INT_MAX)) return std::string();
  const int needed =
      WideCharToMultiByte(CP_ACP, 0, text, int(length), nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string narrow(static_cast<std::size_t>(needed), '\0');
  const int written = WideCharToMultiByte(CP_ACP, 0, text, int(length), narrow.data(),
                                          needed, nullptr, nullptr);
  narrow.resize(written > 0 ? std::size_t(written) : 0);
  return narrow;
}

BSTR BstrFromAnsi(std::string_view text) {
  if (text.empty() || text.size() > std::size_t(INT_MAX)) {
    return SysAllocStringLen(nullptr, 0);
  }
  const int needed =
      MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
  if (needed <= 0) return SysAllocStringLen(nullptr, 0);
  std::vector<OLECHAR> wide(static_cast<std::size_t>(needed));
  const int written =
      MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), wide.data(), needed);
  return SysAllocStringLen(wide.data(), UINT(written > 0 ? written : 0));
}

}  // namespace kova
