#include "api/bstr_text.h"

#include <climits>
#include <vector>

#include "windows.h"

namespace kova {

std::string BstrToAnsi(const BSTR* text) {
  if (text == nullptr || *text == nullptr) return std::string();
  UINT length = SysStringLen(*text);
  if (length == 0 || length > static_cast<UINT>(INT_MAX)) return std::string();
  const int wide_length = static_cast<int>(length);
  int needed =
      WideCharToMultiByte(CP_ACP, 0, *text, wide_length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return std::string();
  std::string result(static_cast<std::size_t>(needed), '\0');
  int written = WideCharToMultiByte(CP_ACP, 0, *text, wide_length, result.data(), needed,
                                    nullptr, nullptr);
  if (written <= 0) return std::string();
  result.resize(static_cast<std::size_t>(written));
  return result;
}

BSTR AnsiToBstr(std::string_view text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) {
    return SysAllocStringLen(nullptr, 0);
  }
  const int narrow_length = static_cast<int>(text.size());
  int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), narrow_length, nullptr, 0);
  if (needed <= 0) return SysAllocStringLen(nullptr, 0);
  std::vector<OLECHAR> wide(static_cast<std::size_t>(needed));
  int written =
      MultiByteToWideChar(CP_ACP, 0, text.data(), narrow_length, wide.data(), needed);
  if (written <= 0) return SysAllocStringLen(nullptr, 0);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(written));
}

}  // namespace kova
