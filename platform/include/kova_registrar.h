// The registrar: applies registry scripts (area: com). Syntax and semantics are
// in platform/com/README.md; in short:
//
//   HKCR
//   {
//       NoRemove AppID
//       {
//           '%APPID%' = s 'KovaIntr'
//           'KovaIntr.DLL' { val AppID = s '%APPID%' }
//       }
//   }
//
// Roots HKCR, HKCU, HKLM, HKU (or their long names). Key modifiers: NoRemove
// (never deleted on unregister), ForceRemove (deleted with its subtree before it
// is written on register; deleted with its subtree on unregister), Delete
// (deleted on register, left alone on unregister). A key may carry a default
// value (`= s 'text'`) and named values (`val Name = d 5`); value types s
// (REG_SZ), e (REG_EXPAND_SZ), d (REG_DWORD, decimal or 0x hex, quoted or not),
// b (REG_BINARY, hexadecimal digits). Tokens are separated by blanks ({, } and =
// stand alone); names and texts are bare words ("{GUID}" is one word) or quoted
// with '...' ('' inside quotes is one quote). %NAME% is replaced everywhere
// (names compare without case); %% is one percent sign; an unknown replacement
// is a syntax error.
//
// On unregister a plain key loses the values the script writes and is deleted
// when it is then empty (no subkeys, no values); keys and values that the script
// does not name stay. Keys that do not exist are skipped.
//
// A script is parsed whole before anything is written, so a syntax error
// (DISP_E_EXCEPTION) changes nothing. A registry failure on register undoes the
// script (unregister) and returns HRESULT_FROM_WIN32 of the failure.
#ifndef KOVA_PLATFORM_KOVA_REGISTRAR_H_
#define KOVA_PLATFORM_KOVA_REGISTRAR_H_

#include <memory>

#include "windef.h"
#include "winerror.h"

namespace kova::com {

class __attribute__((visibility("default"))) CRegObject {
 public:
  CRegObject();
  ~CRegObject();
  CRegObject(const CRegObject&) = delete;
  CRegObject& operator=(const CRegObject&) = delete;

  // Adds (or replaces) the text of %key%. E_INVALIDARG for a null or empty key.
  HRESULT AddReplacement(LPCSTR key, LPCSTR item);
  HRESULT ClearReplacements();

  // Apply a NUL-terminated script.
  HRESULT StringRegister(LPCSTR script);
  HRESULT StringUnregister(LPCSTR script);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace kova::com

#endif  // KOVA_PLATFORM_KOVA_REGISTRAR_H_
