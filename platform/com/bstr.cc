// BSTR: a 32-bit byte count, the UTF-16 characters, a NUL character. The pointer
// handed out points at the first character. Pinned by bstr_variant_test.cc.
#include <climits>
#include <cstdlib>
#include <cstring>

#include "oleauto.h"

namespace {

constexpr std::size_t kPrefix = sizeof(DWORD);

// Room for the prefix, `bytes` bytes and a NUL character (one more byte for an odd
// byte count, so the NUL character is whole).
BSTR AllocateBytes(const void* data, UINT bytes) {
  if (bytes > UINT_MAX - kPrefix - 3) return nullptr;
  const std::size_t total = kPrefix + bytes + 3;
  auto* block = static_cast<unsigned char*>(std::malloc(total));
  if (block == nullptr) return nullptr;
  const DWORD count = bytes;
  std::memcpy(block, &count, sizeof count);
  if (data != nullptr) {
    std::memcpy(block + kPrefix, data, bytes);
  } else {
    std::memset(block + kPrefix, 0, bytes);
  }
  std::memset(block + kPrefix + bytes, 0, 3);
  return reinterpret_cast<BSTR>(block + kPrefix);
}

unsigned char* BlockOf(BSTR bstr) {
  return reinterpret_cast<unsigned char*>(bstr) - kPrefix;
}

}  // namespace

extern "C" {

BSTR WINAPI SysAllocString(const OLECHAR* psz) {
  if (psz == nullptr) return nullptr;
  std::size_t length = 0;
  while (psz[length] != 0) ++length;
  if (length > UINT_MAX / 2) return nullptr;
  return AllocateBytes(psz, UINT(length * 2));
}

// A null strIn gives a zero-filled string of ui characters.
BSTR WINAPI SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
  if (ui > UINT_MAX / 2) return nullptr;
  return AllocateBytes(strIn, ui * 2);
}

BSTR WINAPI SysAllocStringByteLen(LPCSTR psz, UINT len) {
  return AllocateBytes(psz, len);
}

void WINAPI SysFreeString(BSTR bstrString) {
  if (bstrString != nullptr) std::free(BlockOf(bstrString));
}

UINT WINAPI SysStringByteLen(BSTR bstr) {
  if (bstr == nullptr) return 0;
  DWORD count;
  std::memcpy(&count, BlockOf(bstr), sizeof count);
  return count;
}

UINT WINAPI SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / 2; }

}  // extern "C"
