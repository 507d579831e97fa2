#include "model/kova_file.h"

#include <new>

#include "common/path_text.h"
#include "common/text.h"
#include "files/local_files.h"
#include "files/profile_quoting.h"
#include "io.h"
#include "model/kova.h"
#include "model/kova_item.h"

namespace kova {

namespace {

// Shortest text that can be a plain path.
constexpr std::size_t kPlainPathMinLength = 8;

// A plain path is an absolute file-system path of an existing file or folder,
// used as it is. Absolute means "x:\..." or "\\server\..." as on Windows, and
// also a POSIX absolute path, which in the system's backslash form begins with
// one backslash (so the leading-backslash test covers the UNC form too).
// `path` has no trailing white space.
bool IsPlainPath(const std::string& path) {
  if (path.size() < kPlainPathMinLength) return false;
  if (path.find(":\\") == std::string::npos && path.front() != '\\') return false;
  return _access(path.c_str(), 0) == 0;
}

}  // namespace

CKovaFile::CKovaFile(const std::string& path, CKovas* kovas) : kovas_(kovas) {
  Resolve(path);
}

CKovaFile::~CKovaFile() {
  Release();
  delete ownKovas_;
}

void CKovaFile::Open(const std::string& path) {
  Release();
  Resolve(path);
}

BOOL CKovaFile::Release() {
  BOOL released = TRUE;
  if (kova_ != nullptr)
    released = kova_->ReleaseLocalPath(openedPath_, localPath_, modified_);
  Clear();
  return released;
}

BOOL CKovaFile::Reopen() {
  BOOL released = TRUE;
  if (kova_ != nullptr)
    released = kova_->ReleaseLocalPath(openedPath_, localPath_, modified_);
  if (!released && modified_ && !localPath_.empty()) return FALSE;
  const std::string path = openedPath_;
  Clear();
  Resolve(path);
  return released;
}

void CKovaFile::Clear() {
  kova_ = nullptr;
  openedPath_.clear();
  localPath_.clear();
  modified_ = FALSE;
}

void CKovaFile::Resolve(const std::string& path) {
  if (path.empty()) return;
  CKovas* kovas = kovas_;
  if (kovas == nullptr) {
    if (ownKovas_ == nullptr) ownKovas_ = new (std::nothrow) CKovas(kKovasKeyPath);
    kovas = ownKovas_;
    if (kovas == nullptr) return;
  }

  CKovaItem item;
  kovas->ResolveItem(path, &item);
  const std::string itemPath = item.GetPath(FALSE);
  // The plain path is kept without its trailing white space, which the Windows
  // file functions would ignore but the POSIX ones would not.
  const std::string trimmed(TrimTrailingWhiteSpace(path));
  if (item.kova() == kovas->defaultKova() && itemPath.find('<') == std::string::npos &&
      IsPlainPath(trimmed)) {
    openedPath_ = trimmed;
    localPath_ = trimmed;
    return;
  }

  kova_ = item.kova();
  openedPath_ = itemPath;
  if (kova_ != nullptr)
    localPath_ = kova_->ToLocalPath(kova_->ToResolvedPath(openedPath_));
}

DWORD CKovaFile::GetProfileString(const char* section, const char* key,
                                  const char* defaultValue, char* buffer,
                                  DWORD size) const {
  return GetPrivateProfileStringA(section, key, defaultValue, buffer, size,
                                  localPath_.c_str());
}

UINT CKovaFile::GetProfileInt(const char* section, const char* key,
                              INT defaultValue) const {
  return GetPrivateProfileIntA(section, key, defaultValue, localPath_.c_str());
}

void CKovaFile::SetProfileString(const char* section, const char* key, const char* value,
                                 const char* defaultValue) {
  // Set whatever the outcome, so that a release stores the file back.
  modified_ = TRUE;
  if (localPath_.empty()) return;
  const char* file = localPath_.c_str();
  if (defaultValue != nullptr) {
    if (value != nullptr && EqualsIgnoreCase(value, defaultValue)) {
      WritePrivateProfileStringA(section, key, nullptr, file);
      return;
    }
    WriteProfileStringQuoted(section, key, value, file);
    return;
  }
  WriteProfileStringQuoted(section, key,
                           value != nullptr && value[0] != '\0' ? value : nullptr, file);
}

std::string CKovaFile::ReadAllText() const { return ::kova::ReadAllText(localPath_); }

}  // namespace kova
