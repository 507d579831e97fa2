// Type-library registration under HKEY_CLASSES_ROOT\TypeLib and \Interface, and
// the look-up that LoadRegTypeLib makes. Pinned by type_library_test.cc.
#include <cstdio>
#include <string>

#include "com_registry.h"
#include "com_text.h"
#include "oleauto.h"
#include "winnls.h"

namespace kova::com {

namespace {

// The platform's automation marshaler, the proxy/stub of every dual interface.
constexpr char kPSOAInterface[] = "{00020424-0000-0000-C000-000000000046}";

std::string Hex(unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%x", value);
  return text;
}

std::string VersionKey(REFGUID libid, WORD major, WORD minor) {
  return "TypeLib\\" + GuidToText(libid) + "\\" + Hex(major) + "." + Hex(minor);
}

const char* SysName(SYSKIND syskind) { return syskind == SYS_WIN64 ? "win64" : "win32"; }

SYSKIND NativeSys() { return sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32; }

bool IsRegisteredInterface(ITypeInfo* info, GUID* iid, std::string* name) {
  TYPEATTR* attr = nullptr;
  if (FAILED(info->GetTypeAttr(&attr))) return false;
  const bool wanted =
      attr->typekind == TKIND_DISPATCH ||
      (attr->typekind == TKIND_INTERFACE &&
       (attr->wTypeFlags & (TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION)) != 0);
  *iid = attr->guid;
  info->ReleaseTypeAttr(attr);
  if (!wanted) return false;
  BSTR bstr = nullptr;
  if (SUCCEEDED(info->GetDocumentation(MEMBERID_NIL, &bstr, nullptr, nullptr, nullptr))) {
    *name = Narrow(OleView(bstr));
    SysFreeString(bstr);
  }
  return true;
}

// The version key under TypeLib\{libid} that serves major.minor: that version, or
// the highest minor version above it with the same major.
bool FindVersion(REFGUID libid, WORD major, WORD minor, std::string* key) {
  const std::string exact = VersionKey(libid, major, minor);
  ScopedKey probe;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, exact.c_str(), 0, KEY_READ, probe.receive()) ==
      ERROR_SUCCESS) {
    *key = exact;
    return true;
  }
  const std::string lib_key = "TypeLib\\" + GuidToText(libid);
  ScopedKey lib;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, lib_key.c_str(), 0, KEY_READ, lib.receive()) !=
      ERROR_SUCCESS) {
    return false;
  }
  long best = -1;
  for (DWORD i = 0;; ++i) {
    char name[64];
    DWORD size = sizeof name;
    if (RegEnumKeyExA(lib.get(), i, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    unsigned found_major = 0, found_minor = 0;
    if (std::sscanf(name, "%x.%x", &found_major, &found_minor) != 2) continue;
    if (found_major == major && found_minor >= minor && long(found_minor) > best) {
      best = long(found_minor);
    }
  }
  if (best < 0) return false;
  *key = VersionKey(libid, major, WORD(best));
  return true;
}

}  // namespace

}  // namespace kova::com

using kova::com::GuidToText;
using kova::com::ReadText;
using kova::com::ScopedKey;

extern "C" {

HRESULT WINAPI QueryPathOfRegTypeLib(REFGUID guid, USHORT wMaj, USHORT wMin, LCID lcid,
                                     BSTR* lpbstrPathName) {
  if (lpbstrPathName == nullptr) return E_INVALIDARG;
  *lpbstrPathName = nullptr;
  std::string version;
  if (!kova::com::FindVersion(guid, wMaj, wMin, &version)) return TYPE_E_LIBNOTREGISTERED;
  // The locale itself, then its language, then the neutral registration.
  const std::string locales[] = {
      kova::com::Hex(lcid), kova::com::Hex(PRIMARYLANGID(LANGIDFROMLCID(lcid))), "0"};
  const char* systems[] = {kova::com::SysName(kova::com::NativeSys()), "win32"};
  for (const std::string& locale : locales) {
    for (const char* sys : systems) {
      std::string path;
      if (ReadText(HKEY_CLASSES_ROOT, version + "\\" + locale + "\\" + sys, nullptr,
                   &path) &&
          !path.empty()) {
        *lpbstrPathName = kova::com::AllocBstr(std::string_view(path));
        return *lpbstrPathName != nullptr ? S_OK : E_OUTOFMEMORY;
      }
    }
  }
  return TYPE_E_LIBNOTREGISTERED;
}

HRESULT WINAPI LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                              ITypeLib** pptlib) {
  if (pptlib == nullptr) return E_INVALIDARG;
  *pptlib = nullptr;
  BSTR path = nullptr;
  HRESULT hr = QueryPathOfRegTypeLib(rguid, wVerMajor, wVerMinor, lcid, &path);
  if (FAILED(hr)) return hr;
  hr = LoadTypeLib(path, pptlib);
  SysFreeString(path);
  return hr;
}

HRESULT WINAPI RegisterTypeLib(ITypeLib* ptlib, LPCOLESTR szFullPath,
                               LPCOLESTR szHelpDir) {
  if (ptlib == nullptr || szFullPath == nullptr) return E_INVALIDARG;
  TLIBATTR* attr = nullptr;
  HRESULT hr = ptlib->GetLibAttr(&attr);
  if (FAILED(hr)) return hr;
  const TLIBATTR lib = *attr;
  ptlib->ReleaseTLibAttr(attr);

  BSTR name = nullptr, doc = nullptr;
  hr = ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
  if (FAILED(hr)) return hr;
  const std::string title =
      kova::com::Narrow(kova::com::OleView(SysStringLen(doc) > 0 ? doc : name));
  SysFreeString(name);
  SysFreeString(doc);

  const std::string path = kova::com::NarrowOle(szFullPath);
  std::string help_dir;
  if (szHelpDir != nullptr) {
    help_dir = kova::com::NarrowOle(szHelpDir);
  } else {
    const std::size_t slash = path.find_last_of('\\');
    help_dir = slash == std::string::npos ? std::string() : path.substr(0, slash);
  }
  const std::string version =
      kova::com::VersionKey(lib.guid, lib.wMajorVerNum, lib.wMinorVerNum);
  const std::string lib_text = GuidToText(lib.guid);
  const std::string version_text =
      kova::com::Hex(lib.wMajorVerNum) + "." + kova::com::Hex(lib.wMinorVerNum);
  bool ok =
      kova::com::WriteText(HKEY_CLASSES_ROOT, version, nullptr, title) == ERROR_SUCCESS &&
      kova::com::WriteText(HKEY_CLASSES_ROOT,
                           version + "\\" + kova::com::Hex(lib.lcid) + "\\" +
                               kova::com::SysName(lib.syskind),
                           nullptr, path) == ERROR_SUCCESS &&
      kova::com::WriteText(HKEY_CLASSES_ROOT, version + "\\FLAGS", nullptr,
                           std::to_string(lib.wLibFlags)) == ERROR_SUCCESS &&
      kova::com::WriteText(HKEY_CLASSES_ROOT, version + "\\HELPDIR", nullptr, help_dir) ==
          ERROR_SUCCESS;
  const UINT count = ok ? ptlib->GetTypeInfoCount() : 0;
  for (UINT i = 0; ok && i < count; ++i) {
    ITypeInfo* info = nullptr;
    if (FAILED(ptlib->GetTypeInfo(i, &info))) continue;
    GUID iid;
    std::string iface_name;
    const bool wanted = kova::com::IsRegisteredInterface(info, &iid, &iface_name);
    info->Release();
    if (!wanted) continue;
    const std::string key = "Interface\\" + GuidToText(iid);
    ok = kova::com::WriteText(HKEY_CLASSES_ROOT, key, nullptr, iface_name) ==
             ERROR_SUCCESS &&
         kova::com::WriteText(HKEY_CLASSES_ROOT, key + "\\ProxyStubClsid", nullptr,
                              kova::com::kPSOAInterface) == ERROR_SUCCESS &&
         kova::com::WriteText(HKEY_CLASSES_ROOT, key + "\\ProxyStubClsid32", nullptr,
                              kova::com::kPSOAInterface) == ERROR_SUCCESS &&
         kova::com::WriteText(HKEY_CLASSES_ROOT, key + "\\TypeLib", nullptr, lib_text) ==
             ERROR_SUCCESS &&
         kova::com::WriteText(HKEY_CLASSES_ROOT, key + "\\TypeLib", "Version",
                              version_text) == ERROR_SUCCESS;
  }
  return ok ? S_OK : TYPE_E_REGISTRYACCESS;
}

// Interface keys are removed only where they still name this library.
HRESULT WINAPI UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid,
                                 SYSKIND syskind) {
  const std::string version = kova::com::VersionKey(libID, wVerMajor, wVerMinor);
  const std::string locale = version + "\\" + kova::com::Hex(lcid);
  const std::string sys = locale + "\\" + kova::com::SysName(syskind);
  std::string path;
  if (!ReadText(HKEY_CLASSES_ROOT, sys, nullptr, &path)) return TYPE_E_REGISTRYACCESS;

  const std::string lib_text = GuidToText(libID);
  ITypeLib* lib = nullptr;
  if (!path.empty() && SUCCEEDED(LoadTypeLib(kova::com::Widen(path).c_str(), &lib))) {
    const UINT count = lib->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
      ITypeInfo* info = nullptr;
      if (FAILED(lib->GetTypeInfo(i, &info))) continue;
      GUID iid;
      std::string ignored;
      const bool wanted = kova::com::IsRegisteredInterface(info, &iid, &ignored);
      info->Release();
      if (!wanted) continue;
      const std::string key = "Interface\\" + GuidToText(iid);
      std::string owner;
      if (ReadText(HKEY_CLASSES_ROOT, key + "\\TypeLib", nullptr, &owner) &&
          kova::com::EqualsNoCase(owner, lib_text)) {
        RegDeleteTreeA(HKEY_CLASSES_ROOT, key.c_str());
      }
    }
    lib->Release();
  }
  if (RegDeleteTreeA(HKEY_CLASSES_ROOT, sys.c_str()) != ERROR_SUCCESS) {
    return TYPE_E_REGISTRYACCESS;
  }
  kova::com::DeleteIfEmpty(HKEY_CLASSES_ROOT, locale);
  // FLAGS and HELPDIR go with the last locale of the version.
  ScopedKey probe;
  bool other_locales = false;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, version.c_str(), 0, KEY_READ, probe.receive()) ==
      ERROR_SUCCESS) {
    for (DWORD i = 0;; ++i) {
      char name[64];
      DWORD size = sizeof name;
      if (RegEnumKeyExA(probe.get(), i, name, &size, nullptr, nullptr, nullptr,
                        nullptr) != ERROR_SUCCESS) {
        break;
      }
      if (!kova::com::EqualsNoCase(name, "FLAGS") &&
          !kova::com::EqualsNoCase(name, "HELPDIR")) {
        other_locales = true;
      }
    }
  }
  probe.Reset();
  if (!other_locales) {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, version.c_str());
  }
  kova::com::DeleteIfEmpty(HKEY_CLASSES_ROOT, "TypeLib\\" + lib_text);
  return S_OK;
}

}  // extern "C"
