#include "api/kova_api.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "api/browse_bridge.h"
#include "api/bstr_text.h"
#include "api/kova_session.h"
#include "common/path_text.h"
#include "common/text.h"
#include "model/kova.h"
#include "model/kova_file.h"
#include "model/kova_item.h"
#include "model/path_form.h"
#include "model/profile_type.h"
#include "model/publishing.h"
#include "windows.h"

namespace {

using kova::CKova;
using kova::CKovaFile;
using kova::CKovaItem;
using kova::CKovaItems;
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
  session->SetLoadedFile(new CKovaFile(path, session->GetKovas()));
}

CKova* FindKova(CKovaSession* session, const std::string& path) {
  return session->GetKovas()->FindKova(path, FALSE);
}

// The results of type `wanted`, in their order; every other result (folders
// among them, unless their name carries that type's extension) is deleted.
// Linear, as a folder may hold thousands of files of the other application.
std::unique_ptr<CKovaItems> KeepProfilesOfType(CKovaItems* results, LONG wanted) {
  auto kept = std::make_unique<CKovaItems>();
  for (int i = 0; i < results->GetCount(); ++i) {
    CKovaItem* item = results->GetAt(i);
    if (item->GetTypeCode() != wanted || !kept->Add(item, FALSE)) delete item;
  }
  results->RemoveAll(FALSE);
  return kept;
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

// A profile value as the platform reads it into a buffer of `nSize` characters.
// The buffer grows from a small start only while the value fills it, so a large
// `nSize` costs memory only for a value that long.
std::string ReadProfileValue(const CKovaFile& file, const std::string& section,
                             const std::string& key, const std::string& defaultValue,
                             ULONG nSize) {
  if (nSize == 0) return std::string();
  constexpr ULONG kFirstSize = 4096;
  std::string buffer;
  for (ULONG size = nSize < kFirstSize ? nSize : kFirstSize;;) {
    buffer.assign(size, '\0');
    DWORD copied = file.GetProfileString(section.c_str(), key.c_str(),
                                         defaultValue.c_str(), buffer.data(), size);
    if (copied + 1 < size || size == nSize) {
      buffer.resize(std::strlen(buffer.c_str()));
      return buffer;
    }
    size = size > nSize / 2 ? nSize : size * 2;
  }
}

// A profile value read into a buffer of `size` characters, for the facade's own
// reads.
std::string ReadProfileText(const CKovaFile& file, const char* section, const char* key,
                            ULONG size) {
  return ReadProfileValue(file, section, key, "", size);
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
    return ReturnText(session->loadedFile()->openedPath(), bstrFilePath);
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
    return ReturnText(ReadProfileValue(*session->loadedFile(), TextArg(bstrSectName),
                                       TextArg(bstrKeyName), TextArg(bstrDefVal), nSize),
                      bstrKeyVal);
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
    *pnKeyVal = session->loadedFile()->GetProfileInt(TextArg(bstrSectName).c_str(),
                                                     TextArg(bstrKeyName).c_str(),
                                                     static_cast<INT>(nDefVal));
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
    session->loadedFile()->SetProfileString(section.c_str(), key.c_str(), value.c_str(),
                                            nullptr);
    return S_OK;
  });
}

STDMETHODIMP CKovaIntrApi::KovaPublishLumasetDepFiles(KOVA_LONG_PTR lKovaIntr) {
  return Shielded([&]() -> HRESULT {
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr || session->loadedFile() == nullptr) return S_FALSE;
    CKovaFile* file = session->loadedFile();
    std::string base = kova::CutAtLastBackslash(file->openedPath());
    if (!base.empty() && base.back() != '\\') base += '\\';

    constexpr ULONG kValueSize = 260;
    // Read as a signed number: a negative count publishes nothing.
    const LONG count = static_cast<LONG>(file->GetProfileInt("Lumaset", "Count", 0));
    for (LONG i = 1; i <= count; ++i) {
      const std::string key = ClientKey(i);
      const std::string value =
          ReadProfileText(*file, "Clients", key.c_str(), kValueSize);
      // "u:" marks a file below the user-file folder; an upper-case U is a path.
      if (!value.empty() && value[0] == 'u') {
        const std::string relative = value.size() > 2 ? value.substr(2) : std::string();
        (void)kova::PublishDependentFile(
            session->GetUserFileDir() + kova::ToSystemSeparators(relative), "");
        file->SetProfileString("Clients", key.c_str(), relative.c_str(), nullptr);
        continue;
      }
      const std::string source = kova::ToSystemSeparators(value);
      (void)kova::PublishDependentFile(source, base);
      const std::string rewritten = base + kova::FileNameOf(source);
      file->SetProfileString("Clients", key.c_str(), rewritten.c_str(), nullptr);
    }

    const std::string configuration =
        ReadProfileText(*file, "Server", "Configuration File", kValueSize);
    if (!configuration.empty()) {
      file->SetProfileString("Server", "Configuration File", "", nullptr);
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
    return kova->RenameFile(oldPath, newPath) ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CKovaIntrApi::KovaDeleteFile(KOVA_LONG_PTR lKovaIntr, BSTR* bstrFileName) {
  return Shielded([&]() -> HRESULT {
    const std::string path = PathArg(bstrFileName);
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr) return S_FALSE;
    CKova* kova = FindKova(session, path);
    if (kova == nullptr) return S_FALSE;
    return kova->DeleteFile(path) ? S_OK : S_FALSE;
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

    const std::string text = session->loadedFile()->ReadAllText();
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
    return kova->FileExists(path, nullptr) ? S_OK : S_FALSE;
  });
}

STDMETHODIMP CKovaIntrApi::KovaFlushFile(KOVA_LONG_PTR lKovaIntr) {
  return Shielded([&]() -> HRESULT {
    CKovaSession* session = kova::LookupSession(lKovaIntr);
    if (session == nullptr || session->loadedFile() == nullptr) return S_FALSE;
    CKova* kova = session->loadedFile()->kova();
    // Only an LDAP-stored file has a copy to write back and fetch afresh. A
    // failed write-back is reported, and its copy stays loaded for the next try.
    if (kova != nullptr && kova->IsActivePathLDAP() &&
        !session->loadedFile()->Reopen()) {
      return S_FALSE;
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
    CKova* kova = file->kova();
    if (kova != nullptr && kova->IsActivePathLDAP()) return S_FALSE;
    return ReturnText(kova::ToOsSeparators(file->localPath()), bstrFSFilePath);
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
    if (appType == APP_PENDREL) wanted = kova::kProfileTypePendrel;
    if (appType == APP_LUMASET) wanted = kova::kProfileTypeLumaset;
    if (wanted == 0) return S_FALSE;

    std::unique_ptr<CKovaSession> session = kova::CreateSession();
    CKovaItem folderItem;
    folderItem.Set(folder, FindKova(session.get(), folder));
    CKovaItems found;
    (void)found.Enumerate(&folderItem, extension);
    std::unique_ptr<CKovaItems> results = KeepProfilesOfType(&found, wanted);
    const LONG count = results->GetCount();
    session->SetFindResults(results.release());
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
    CKovaItem* item = session->findResults()->GetAt(lCount);
    if (item == nullptr) return S_FALSE;
    return ReturnText(item->GetName(TRUE), bstrFileName);
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
    return kova->IsPathWritable(path) ? S_OK : S_FALSE;
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
