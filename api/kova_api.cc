#include "api/kova_api.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "api/bstr_text.h"
#include "api/facade_seams.h"
#include "api/kova_session.h"
#include "common/path_text.h"
#include "common/text.h"
#include "model/kova.h"
#include "model/path_form.h"
#include "windows.h"

namespace {

using kova::CKova;
using kova::CKovaFile;
using kova::CKovaSession;

// Runs an operation's body; anything thrown becomes S_FALSE at the boundary.
template <class Body>
HRESULT Shielded(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return S_FALSE;
  }
}

void ClearOut(BSTR* out) {
  if (out != nullptr) *out = nullptr;
}

// Hands `text` to the caller as a new BSTR.
HRESULT ReturnText(const std::string& text, BSTR* out) {
  if (out == nullptr) return S_FALSE;
  BSTR result = kova::AnsiToBstr(text);
  if (result == nullptr) return S_FALSE;
  *out = result;
  return S_OK;
}

// A path argument in the system's form.
std::string PathArg(const BSTR* text) {
  return kova::ToSystemSeparators(kova::BstrToAnsi(text));
}

std::string TextArg(const BSTR* text) { return kova::BstrToAnsi(text); }

// The session an operation works on: the handle's own, or, for a zero handle, a
// temporary one that ends with the scope.
class SessionScope {
 public:
  // False for a non-zero handle that the process does not know.
  [[nodiscard]] bool Open(KOVA_LONG_PTR handle) {
    if (handle != 0) {
      session_ = kova::LookupSession(handle);
      return session_ != nullptr;
    }
    temporary_ = kova::CreateSession();
    session_ = temporary_.get();
    return true;
  }
  CKovaSession* operator->() const { return session_; }
  CKovaSession* get() const { return session_; }

 private:
  std::unique_ptr<CKovaSession> temporary_;
  CKovaSession* session_ = nullptr;
};

// Releases the session's loaded file and opens `path` in its place.
void ReplaceLoadedFile(CKovaSession* session, const std::string& path) {
  session->SetLoadedFile(nullptr);
  session->SetLoadedFile(kova::OpenKovaFile(path, session->GetKovas()));
}

CKova* FindKova(CKovaSession* session, const std::string& path) {
  return session->GetKovas()->FindKova(path, FALSE);
}

bool IsKnownAppType(APP_TYPE appType) {
  return appType == APP_LUMASET || appType == APP_PENDREL;
}

class ScopedFile {
 public:
  explicit ScopedFile(HANDLE handle) : handle_(handle) {}
  ~ScopedFile() {
    if (valid()) CloseHandle(handle_);
  }
  ScopedFile(const ScopedFile&) = delete;
  ScopedFile& operator=(const ScopedFile&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The text of a local file, read in blocks of up to 519 bytes, each block taken
// up to its first NUL; empty when the file cannot be opened.
std::string ReadLocalText(const std::string& path) {
  std::string text;
  if (path.empty()) return text;
  ScopedFile file(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return text;
  constexpr DWORD kBlockSize = 519;
  char block[kBlockSize];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), block, kBlockSize, &read, nullptr) || read == 0) break;
    text.append(block, strnlen(block, read));
  }
  return text;
}

std::string ClientKey(LONG index) {
  char key[32];
  std::snprintf(key, sizeof(key), "C%ld", static_cast<long>(index));
  return key;
}

}  // namespace

STDMETHODIMP CKovaIntrApi::KovaInitialize(KOVA_LONG_PTR* plKovaIntr) {
  return Shielded([&]() -> HRESULT {
    if (plKovaIntr == nullptr) return S_FALSE;
    *plKovaIntr = 0;
    std::unique_ptr<CKovaSession> session = kova::CreateSession();
    if (session->GetUserDir().empty()) return S_FALSE;
    LONG handle = kova::RegisterSession(std::move(session));
    if (handle == 0) return S_FALSE;
    *plKovaIntr = handle;
    return S_OK;
  });
}

STDMETHODIMP CKovaIntrApi::KovaBrowse(KOVA_LONG_PTR lKovaIntr, APP_TYPE appType,
                                      BROWSE_TYPE browseType, VARIANT_BOOL bEdit,
                                      VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                                      KOVA_LONG_PTR lpParentWnd, BSTR* bstrFilePath) {
  return Shielded([&]() -> HRESULT {
    ClearOut(bstrFilePath);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr) return S_FALSE;
    // The dialog has no mode for other application or browse types.
    if (!IsKnownAppType(appType)) return S_FALSE;
    if (browseType != PROMPT_OPEN && browseType != PROMPT_SAVEAS) return S_FALSE;
    std::string chosen = kova::ToSystemSeparators(kova::BrowseForPath(
        appType, browseType, bEdit, bPerformFileOP, nHelpTopicID, lpParentWnd,
        session->selItemPath(), session->GetUserFileDir()));
    if (chosen.empty()) return S_FALSE;
    ReplaceLoadedFile(session, chosen);
    if (session->loadedFile() == nullptr) return S_FALSE;
    return ReturnText(kova::GetOpenedPath(session->loadedFile()), bstrFilePath);
  });
}

STDMETHODIMP CKovaIntrApi::KovaUnInitialize(KOVA_LONG_PTR lKovaIntr) {
  return Shielded([&]() -> HRESULT {
    if (lKovaIntr == 0) return S_OK;
    std::unique_ptr<CKovaSession> session = kova::UnregisterSession(lKovaIntr);
    return session != nullptr ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CKovaIntrApi::KovaLoadFile(KOVA_LONG_PTR* plKovaIntr, BSTR* bstrFileToLoad) {
  return Shielded([&]() -> HRESULT {
    if (plKovaIntr == nullptr) return S_FALSE;
    const std::string path = PathArg(bstrFileToLoad);
    LONG handle = *plKovaIntr;
    std::unique_ptr<CKovaSession> created;
    CKovaSession* session = nullptr;
    if (handle == 0) {
      created = kova::CreateSession();
      session = created.get();
    } else {
      session = kova::LookupSession(handle);
      if (session == nullptr) return S_FALSE;
    }
    ReplaceLoadedFile(session, path);
    if (created != nullptr) {
      handle = kova::RegisterSession(std::move(created));
      if (handle == 0) return S_FALSE;
    }
    *plKovaIntr = handle;
    return S_OK;
  });
}

STDMETHODIMP CKovaIntrApi::KovaGetProfileString(KOVA_LONG_PTR lKovaIntr,
                                                BSTR* bstrSectName, BSTR* bstrKeyName,
                                                BSTR* bstrDefVal, BSTR* bstrKeyVal,
                                                ULONG nSize) {
  return Shielded([&]() -> HRESULT {
    ClearOut(bstrKeyVal);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr || session->loadedFile() == nullptr) return S_FALSE;
    std::string value =
        kova::GetFileProfileString(session->loadedFile(), TextArg(bstrSectName),
                                   TextArg(bstrKeyName), TextArg(bstrDefVal), nSize);
    return ReturnText(value, bstrKeyVal);
  });
}

STDMETHODIMP CKovaIntrApi::KovaGetProfileInt(KOVA_LONG_PTR lKovaIntr, BSTR* bstrSectName,
                                             BSTR* bstrKeyName, ULONG nDefVal,
                                             ULONG* pnKeyVal) {
  return Shielded([&]() -> HRESULT {
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr || session->loadedFile() == nullptr || pnKeyVal == nullptr) {
      return S_FALSE;
    }
    *pnKeyVal = kova::GetFileProfileInt(session->loadedFile(), TextArg(bstrSectName),
                                        TextArg(bstrKeyName), nDefVal);
    return S_OK;
  });
}

STDMETHODIMP CKovaIntrApi::KovaGetKovaDisplayPath(KOVA_LONG_PTR lKovaIntr,
                                                  BSTR* bstrFileName, BSTR* bstrDspName) {
  return Shielded([&]() -> HRESULT {
    const std::string text = PathArg(bstrFileName);
    ClearOut(bstrDspName);
    SessionScope session;
    if (!session.Open(lKovaIntr)) return S_FALSE;
    CKova* kova = FindKova(session.get(), text);
    if (kova == nullptr) return S_FALSE;
    // The display path of the folder that holds the file.
    std::string result = "<" + kova->displayName() + ">";
    std::size_t bracket = text.rfind('>');
    std::string after = bracket == std::string::npos ? text : text.substr(bracket + 1);
    std::size_t backslash = after.rfind('\\');
    if (backslash != std::string::npos) result += after.substr(0, backslash);
    if (result.back() != '\\') result += '\\';
    return ReturnText(result, bstrDspName);
  });
}

STDMETHODIMP CKovaIntrApi::KovaSetProfileString(KOVA_LONG_PTR lKovaIntr,
                                                BSTR* bstrSectName, BSTR* bstrKeyName,
                                                BSTR* bstValue) {
  return Shielded([&]() -> HRESULT {
    const std::string section = TextArg(bstrSectName);
    const std::string key = TextArg(bstrKeyName);
    const std::string value = TextArg(bstValue);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr || session->loadedFile() == nullptr) return S_FALSE;
    kova::SetFileProfileString(session->loadedFile(), section, key, value);
    return S_OK;
  });
}

STDMETHODIMP CKovaIntrApi::KovaPublishLumasetDepFiles(KOVA_LONG_PTR lKovaIntr) {
  return Shielded([&]() -> HRESULT {
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr || session->loadedFile() == nullptr) return S_FALSE;
    CKovaFile* file = session->loadedFile();
    std::string base = kova::CutAtLastBackslash(kova::GetOpenedPath(file));
    if (!base.empty() && base.back() != '\\') base += '\\';

    constexpr ULONG kValueSize = 260;
    const LONG count =
        static_cast<LONG>(kova::GetFileProfileInt(file, "Lumaset", "Count", 0));
    for (LONG i = 1; i <= count; ++i) {
      const std::string key = ClientKey(i);
      const std::string value =
          kova::GetFileProfileString(file, "Clients", key, "", kValueSize);
      // "u:" marks a file below the user-file folder; an upper-case U is a path.
      if (!value.empty() && value[0] == 'u') {
        const std::string relative = value.size() > 2 ? value.substr(2) : std::string();
        (void)kova::PublishDependentFile(session->GetKovas(),
                                         session->GetUserFileDir() + relative, "");
        kova::SetFileProfileString(file, "Clients", key, relative);
        continue;
      }
      (void)kova::PublishDependentFile(session->GetKovas(), value, base);
      kova::SetFileProfileString(file, "Clients", key, base + kova::FileNameOf(value));
    }

    const std::string configuration =
        kova::GetFileProfileString(file, "Server", "Configuration File", "", kValueSize);
    if (!configuration.empty()) {
      kova::SetFileProfileString(file, "Server", "Configuration File", "");
    }
    return S_OK;
  });
}

STDMETHODIMP CKovaIntrApi::KovaBrowseMultiSel(KOVA_LONG_PTR lKovaIntr, APP_TYPE appType,
                                              VARIANT_BOOL bEdit,
                                              VARIANT_BOOL bPerformFileOP,
                                              ULONG nHelpTopicID,
                                              KOVA_LONG_PTR lpParentWnd,
                                              BSTR* bstrFileList, short nSize) {
  return Shielded([&]() -> HRESULT {
    ClearOut(bstrFileList);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr || !IsKnownAppType(appType)) return S_FALSE;
    std::string list;
    if (!kova::BrowseForPaths(appType, bEdit, bPerformFileOP, nHelpTopicID, lpParentWnd,
                              session->GetUserFileDir(), nSize, &list)) {
      return S_FALSE;
    }
    session->SetLoadedFile(nullptr);
    return ReturnText(list, bstrFileList);
  });
}

STDMETHODIMP CKovaIntrApi::KovaRenameFile(KOVA_LONG_PTR lKovaIntr, BSTR* bstrOldFileName,
                                          BSTR* bstrNewFileName) {
  return Shielded([&]() -> HRESULT {
    const std::string oldPath = PathArg(bstrOldFileName);
    const std::string newPath = PathArg(bstrNewFileName);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr) return S_FALSE;
    CKova* kova = FindKova(session, oldPath);
    if (kova == nullptr) return S_FALSE;
    return kova::RenameFileInKova(kova, oldPath, newPath) ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CKovaIntrApi::KovaDeleteFile(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFileName) {
  return Shielded([&]() -> HRESULT {
    const std::string path = PathArg(bstrFileName);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr) return S_FALSE;
    CKova* kova = FindKova(session, path);
    if (kova == nullptr) return S_FALSE;
    return kova::DeleteFileInKova(kova, path) ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CKovaIntrApi::KovaCopyFileToLocalFS(KOVA_LONG_PTR lKovaIntr,
                                                 BSTR* bstrSrcFileName,
                                                 BSTR* bstrDstFileName,
                                                 VARIANT_BOOL vbFailIfExists) {
  return Shielded([&]() -> HRESULT {
    const std::string source = PathArg(bstrSrcFileName);
    const std::string destination = PathArg(bstrDstFileName);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr) return S_FALSE;
    // Without a source and without a loaded file there is nothing to copy; the
    // destination is then not created.
    if (source.empty() && session->loadedFile() == nullptr) return S_FALSE;

    ScopedFile out(
        CreateFileA(destination.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                    nullptr, vbFailIfExists == VARIANT_TRUE ? CREATE_NEW : CREATE_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid()) return S_FALSE;
    if (!source.empty()) ReplaceLoadedFile(session, source);

    CKovaFile* file = session->loadedFile();
    const std::string text =
        ReadLocalText(file != nullptr ? kova::GetLocalPath(file) : "");
    DWORD written = 0;
    if (!text.empty()) {
      (void)WriteFile(out.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                      nullptr);
    }
    return S_OK;
  });
}

STDMETHODIMP CKovaIntrApi::KovaFileExists(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFileName) {
  return Shielded([&]() -> HRESULT {
    const std::string path = PathArg(bstrFileName);
    SessionScope session;
    if (!session.Open(lKovaIntr)) return S_FALSE;
    CKova* kova = FindKova(session.get(), path);
    if (kova == nullptr) return S_FALSE;
    return kova::FileExistsInKova(kova, path) ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CKovaIntrApi::KovaFlushFile(KOVA_LONG_PTR lKovaIntr) {
  return Shielded([&]() -> HRESULT {
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr || session->loadedFile() == nullptr) return S_FALSE;
    CKova* kova = kova::GetFileKova(session->loadedFile());
    // Only an LDAP-stored file has a copy to write back and fetch afresh.
    if (kova != nullptr && kova->IsActivePathLDAP()) {
      const std::string path = kova::GetOpenedPath(session->loadedFile());
      ReplaceLoadedFile(session, path);
    }
    return S_OK;
  });
}

STDMETHODIMP CKovaIntrApi::KovaPathConvertKovatoFS(BSTR* bstrKovaFilePath,
                                                   BSTR* bstrFSFilePath) {
  return Shielded([&]() -> HRESULT {
    const std::string path = PathArg(bstrKovaFilePath);
    ClearOut(bstrFSFilePath);
    SessionScope session;
    if (!session.Open(0)) return S_FALSE;
    ReplaceLoadedFile(session.get(), path);
    CKovaFile* file = session->loadedFile();
    if (file == nullptr) return S_FALSE;
    CKova* kova = kova::GetFileKova(file);
    if (kova != nullptr && kova->IsActivePathLDAP()) return S_FALSE;
    return ReturnText(kova::ToOsSeparators(kova::GetLocalPath(file)), bstrFSFilePath);
  });
}

STDMETHODIMP CKovaIntrApi::KovaFindInit(KOVA_LONG_PTR* plKovaIntr, BSTR* bstrFilePath,
                                        BSTR* bstrFileExt, APP_TYPE appType,
                                        LONG* nCount) {
  return Shielded([&]() -> HRESULT {
    if (plKovaIntr == nullptr) return S_FALSE;
    *plKovaIntr = 0;
    const std::string folder = PathArg(bstrFilePath);
    const std::string extension = TextArg(bstrFileExt);
    LONG wanted = 0;
    if (appType == APP_PENDREL) wanted = 62;
    if (appType == APP_LUMASET) wanted = 64;
    if (wanted == 0) return S_FALSE;

    std::unique_ptr<CKovaSession> session = kova::CreateSession();
    CKova* kova = FindKova(session.get(), folder);
    kova::CKovaItems* results =
        kova::EnumerateProfileFiles(session->GetKovas(), folder, kova, extension, wanted);
    // A search that could not run leaves no session behind.
    if (results == nullptr) return S_FALSE;
    session->SetFindResults(results);
    const LONG count = kova::GetFindResultCount(results);
    LONG handle = kova::RegisterSession(std::move(session));
    if (handle == 0) return S_FALSE;
    *plKovaIntr = handle;
    if (nCount != nullptr) *nCount = count;
    return S_OK;
  });
}

STDMETHODIMP CKovaIntrApi::KovaFindNext(KOVA_LONG_PTR lKovaIntr, LONG lCount,
                                        BSTR* bstrFileName) {
  return Shielded([&]() -> HRESULT {
    ClearOut(bstrFileName);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr || session->findResults() == nullptr) return S_FALSE;
    if (lCount < 0 || lCount >= kova::GetFindResultCount(session->findResults())) {
      return S_FALSE;
    }
    return ReturnText(kova::GetFindResultName(session->findResults(), lCount),
                      bstrFileName);
  });
}

STDMETHODIMP CKovaIntrApi::KovaGetPathFromDisplayName(KOVA_LONG_PTR lKovaIntr,
                                                      BSTR* bstrDspName,
                                                      BSTR* bstrKovaPath) {
  return Shielded([&]() -> HRESULT {
    const std::string text = PathArg(bstrDspName);
    ClearOut(bstrKovaPath);
    SessionScope session;
    if (!session.Open(lKovaIntr)) return S_FALSE;
    std::size_t backslash = text.find('\\');
    const std::string rest =
        backslash == std::string::npos ? "" : text.substr(backslash + 1);
    std::size_t bracket = text.rfind('>');
    std::string name = bracket == std::string::npos ? text : text.substr(0, bracket);
    name.erase(0, name.find_first_not_of('<'));

    kova::CKovas* kovas = session->GetKovas();
    for (int i = 0; i < kovas->GetCount(); ++i) {
      CKova* kova = kovas->GetAt(i);
      if (kova::EqualsIgnoreCase(name, kova->displayName())) {
        return ReturnText(kova->GetDisplayPath(std::string(), FALSE) + rest,
                          bstrKovaPath);
      }
    }
    return S_FALSE;
  });
}

STDMETHODIMP CKovaIntrApi::KovaGetDefaultKovaPath(KOVA_LONG_PTR lKovaIntr,
                                                  BSTR* bstrKovaPath) {
  return Shielded([&]() -> HRESULT {
    ClearOut(bstrKovaPath);
    SessionScope session;
    if (!session.Open(lKovaIntr)) return S_FALSE;
    CKova* kova = session->GetKovas()->GetDefaultKova(0);
    if (kova == nullptr) return S_FALSE;
    return ReturnText(kova->GetDisplayPath(std::string(), FALSE), bstrKovaPath);
  });
}

STDMETHODIMP CKovaIntrApi::KovaIsPathWriteAble(KOVA_LONG_PTR lKovaIntr,
                                               BSTR* bstrFilePath) {
  return Shielded([&]() -> HRESULT {
    const std::string path = PathArg(bstrFilePath);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr) return S_FALSE;
    CKova* kova = FindKova(session, path);
    if (kova == nullptr) return S_FALSE;
    return kova::IsPathWritableInKova(kova, path) ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CKovaIntrApi::KovaSetSelItemPath(KOVA_LONG_PTR lKovaIntr,
                                              BSTR* bstrFilePath) {
  return Shielded([&]() -> HRESULT {
    const std::string path = PathArg(bstrFilePath);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr) return S_FALSE;
    session->SetSelItemPath(path);
    return S_OK;
  });
}
