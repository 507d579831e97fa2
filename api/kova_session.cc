#include "api/kova_session.h"

#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <type_traits>

#include "common/text.h"
#include "model/kova_file.h"
#include "model/kova_item.h"

namespace kova {

namespace {

// The support library's directory look-up, exported by ordinal 34.
typedef DWORD(WINAPI* DirectoryLookup)(int which, int kind, char* buffer, int size);
constexpr WORD kDirectoryLookupOrdinal = 34;
constexpr int kDirectoryBufferSize = 260;

// The support library stays loaded only for the one look-up.
struct ModuleCloser {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using ScopedModule = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleCloser>;

// Asks the support library for one directory; the empty text when it has none or
// cannot be loaded. Its return value says nothing the buffer does not.
std::string LookUpDirectory(int which, int kind) {
  ScopedModule module(LoadLibraryA("zolbin.dll"));
  if (module.get() == nullptr) return std::string();
  FARPROC proc = GetProcAddress(module.get(), MAKEINTRESOURCEA(kDirectoryLookupOrdinal));
  auto lookup = reinterpret_cast<DirectoryLookup>(reinterpret_cast<void (*)()>(proc));
  if (lookup == nullptr) return std::string();
  char buffer[kDirectoryBufferSize] = {};
  lookup(which, kind, buffer, kDirectoryBufferSize);
  std::string directory(BoundedText(buffer, sizeof(buffer)));
  if (!directory.empty() && directory.back() != '\\') directory += '\\';
  return directory;
}

void FillDirectory(std::string* cache, int which, int kind) {
  if (cache->empty()) *cache = LookUpDirectory(which, kind);
}

// The process's sessions by handle.
class SessionTable {
 public:
  LONG Register(std::unique_ptr<CKovaSession> session) {
    std::lock_guard<std::mutex> guard(mutex_);
    // Numbers are handed out in rising order and reused only after wrapping, so
    // a stale handle is unlikely to reach a newer session.
    for (LONG tries = 0; tries < kMaxHandle; ++tries) {
      LONG handle = next_;
      next_ = next_ >= kMaxHandle ? 1 : next_ + 1;
      if (sessions_.count(handle) != 0) continue;
      sessions_.emplace(handle, std::move(session));
      return handle;
    }
    return 0;
  }

  CKovaSession* Lookup(LONG handle) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = sessions_.find(handle);
    return it == sessions_.end() ? nullptr : it->second.get();
  }

  std::unique_ptr<CKovaSession> Unregister(LONG handle) {
    std::lock_guard<std::mutex> guard(mutex_);
    auto it = sessions_.find(handle);
    if (it == sessions_.end()) return nullptr;
    std::unique_ptr<CKovaSession> session = std::move(it->second);
    sessions_.erase(it);
    return session;
  }

 private:
  static constexpr LONG kMaxHandle = 0x7FFFFFFF;
  std::mutex mutex_;
  std::map<LONG, std::unique_ptr<CKovaSession>> sessions_;
  LONG next_ = 1;
};

SessionTable& Table() {
  // Sessions a client never releases live as long as the process, as on the
  // platform; the table is therefore never destroyed. It is built in the
  // library's own storage: once its sessions have ended it holds nothing on the
  // heap, so unloading the component leaves nothing behind.
  alignas(SessionTable) static unsigned char storage[sizeof(SessionTable)];
  static SessionTable* const table = new (storage) SessionTable;
  return *table;
}

}  // namespace

CKovaSession::CKovaSession() = default;

CKovaSession::~CKovaSession() {
  delete loadedFile_;
  loadedFile_ = nullptr;
  delete findResults_;
  findResults_ = nullptr;
  delete kovas_;
  kovas_ = nullptr;
}

CKovas* CKovaSession::GetKovas() {
  if (kovas_ == nullptr) kovas_ = new CKovas(kKovasKeyPath);
  return kovas_;
}

const std::string& CKovaSession::GetUserDir() {
  FillDirectory(&userDir_, 18, 0);
  return userDir_;
}

const std::string& CKovaSession::GetUserFileDir() {
  FillDirectory(&userFileDir_, 1, 3);
  return userFileDir_;
}

void CKovaSession::ApplyUserDir() {
  const std::string& userDir = GetUserDir();
  if (userDir.empty()) return;
  CReplacers* replacers = GetKovas()->GetReplacers();
  if (replacers != nullptr) replacers->SetUserDir(userDir.c_str());
}

void CKovaSession::SetFindResults(CKovaItems* results) {
  if (results == findResults_) return;
  delete findResults_;
  findResults_ = results;
}

void CKovaSession::SetLoadedFile(CKovaFile* file) {
  if (file == loadedFile_) return;
  delete loadedFile_;
  loadedFile_ = file;
}

std::unique_ptr<CKovaSession> CreateSession() {
  auto session = std::make_unique<CKovaSession>();
  session->ApplyUserDir();
  return session;
}

LONG RegisterSession(std::unique_ptr<CKovaSession> session) {
  if (session == nullptr) return 0;
  return Table().Register(std::move(session));
}

CKovaSession* LookupSession(LONG handle) {
  if (handle == 0) return nullptr;
  return Table().Lookup(handle);
}

std::unique_ptr<CKovaSession> UnregisterSession(LONG handle) {
  if (handle == 0) return nullptr;
  return Table().Unregister(handle);
}

}  // namespace kova
