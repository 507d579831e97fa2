#include "model/kova_path.h"

#include <cstdio>
#include <new>

#include "io.h"
#include "model/kova.h"
#include "model/kova_ldap.h"
#include "model/path_form.h"
#include "model/registry_value.h"

namespace kova {

namespace {

std::string ValueName(const char* stem, int n) {
  char name[64];
  std::snprintf(name, sizeof(name), "%s%d", stem, n);
  return name;
}

// Reads a text setting; a missing or oversized value leaves `field` as it was.
void ReadTextSetting(HKEY key, const char* stem, int n, std::string* field) {
  std::string text;
  if (ReadValueText(key, ValueName(stem, n).c_str(), &text)) *field = text;
}

void ReadNumberSetting(HKEY key, const char* stem, int n, DWORD* field) {
  DWORD value = 0;
  if (ReadValueDword(key, ValueName(stem, n).c_str(), &value)) *field = value;
}

}  // namespace

CKovaPath::CKovaPath(CKovaPaths* owner) { CKovaPath::Init(owner); }

CKovaPath::~CKovaPath() = default;

void CKovaPath::Init(CKovaPaths* owner) {
  owner_ = owner;
  type_ = kKovaPathFileSystem;
  expandedPath_.clear();
  ldap_ = LDAPSettings();
}

CKovaPath* CKovaPath::Clone() const {
  CKovaPath* clone = new (std::nothrow) CKovaPath(owner_);
  if (clone != nullptr) clone->CopyFrom(*this);
  return clone;
}

void CKovaPath::CopyFrom(const CKovaPath& other) {
  owner_ = other.owner_;
  type_ = other.type_;
  expandedPath_ = other.expandedPath_;
  pathText_ = other.pathText_;
  ldap_ = other.ldap_;
}

BOOL CKovaPath::ReadSettings(HKEY key, int n) {
  std::string text;
  if (!ReadValueText(key, ValueName("Path", n).c_str(), &text)) return FALSE;
  expandedPath_.clear();
  pathText_ = text;

  DWORD type = kKovaPathFileSystem;
  if (ReadValueDword(key, ValueName("Type", n).c_str(), &type)) SetType(type);
  if (type_ != kKovaPathLDAP) return TRUE;

  ReadTextSetting(key, "Host", n, &ldap_.host);
  ReadTextSetting(key, "Username", n, &ldap_.userName);
  ReadTextSetting(key, "Password", n, &ldap_.password);
  ReadNumberSetting(key, "Port", n, &ldap_.port);
  ReadNumberSetting(key, "Authentication", n, &ldap_.authentication);
  ReadNumberSetting(key, "Version", n, &ldap_.version);
  ReadNumberSetting(key, "ConnectTimeout", n, &ldap_.connectTimeout);
  ReadTextSetting(key, "FileAttributeName", n, &ldap_.fileAttributeName);
  ReadTextSetting(key, "FileObjectClass", n, &ldap_.fileObjectClass);
  ReadTextSetting(key, "FolderAttributeName", n, &ldap_.folderAttributeName);
  ReadTextSetting(key, "FolderObjectClass", n, &ldap_.folderObjectClass);
  ReadTextSetting(key, "FileContentsAttributeName", n, &ldap_.fileContentsAttributeName);
  return TRUE;
}

std::string CKovaPath::GetExpandedPath() {
  if (!expandedPath_.empty()) return expandedPath_;
  if (pathText_.empty()) return std::string();

  const bool file_system = type_ == kKovaPathFileSystem;
  std::string text = file_system ? ToSystemSeparators(pathText_) : pathText_;
  CKova* kova = owner_ != nullptr ? owner_->owner() : nullptr;
  CKovas* kovas = kova != nullptr ? kova->owner() : nullptr;
  if (kovas != nullptr) {
    if (CReplacers* replacers = kovas->GetReplacers(); replacers != nullptr) {
      replacers->Expand(text);
    }
  }
  // Environment and replacer values come from outside and may use '/'.
  expandedPath_ = file_system ? ToSystemSeparators(text) : text;
  return expandedPath_;
}

BOOL CKovaPath::IsAvailable(CLDAPDirectory* directory, std::string* reserved) {
  if (type_ == kKovaPathLDAP) return IsLDAPPathAvailable(*this, directory, reserved);
  std::string path = GetExpandedPath();
  if (path.empty()) return FALSE;
  return _access(path.c_str(), 0) == 0 ? TRUE : FALSE;
}

CKovaPaths::CKovaPaths(CKova* owner) : owner_(owner) {}

CKovaPaths::~CKovaPaths() { RemoveAll(ownsElements_); }

BOOL CKovaPaths::Add(CKovaPath* path, BOOL clone) {
  if (path == nullptr) return FALSE;
  if (!clone) return paths_.Append(path) ? TRUE : FALSE;
  CKovaPath* copy = path->Clone();
  if (copy == nullptr) return FALSE;
  // A clone serves this collection's Kova: its expansion must not reach through
  // the collection it was copied from, which may be gone by then.
  copy->owner_ = this;
  if (paths_.Append(copy)) return TRUE;
  delete copy;
  return FALSE;
}

BOOL CKovaPaths::AppendClones(const CKovaPaths& other) {
  BOOL all = TRUE;
  for (int i = 0; i < other.GetCount(); ++i) {
    CKovaPath* path = other.GetAt(i);
    if (path != nullptr && !Add(path, TRUE)) all = FALSE;
  }
  return all;
}

void CKovaPaths::RemoveAll(BOOL deleteElements) {
  paths_.Clear(deleteElements != FALSE);
  activePath_ = nullptr;
  activePathText_.clear();
}

BOOL CKovaPaths::Remove(CKovaPath* path) {
  int index = paths_.IndexOf(path);
  if (index < 0) return FALSE;
  paths_.RemoveAt(index);
  if (activePath_ == path) {
    activePath_ = nullptr;
    activePathText_.clear();
  }
  if (ownsElements_) delete path;
  return TRUE;
}

CKovaPath* CKovaPaths::GetActivePathObject() {
  if (activePath_ != nullptr) return activePath_;
  for (int i = 0; i < paths_.count(); ++i) {
    if (paths_.at(i)->IsAvailable(nullptr, nullptr)) {
      activePath_ = paths_.at(i);
      return activePath_;
    }
  }
  activePath_ = paths_.at(0);
  return activePath_;
}

std::string CKovaPaths::GetActivePath() {
  if (!activePathText_.empty()) return activePathText_;
  CKovaPath* path = GetActivePathObject();
  if (path == nullptr) return std::string();
  std::string text = path->GetExpandedPath();
  if (!text.empty() && text.back() != '\\') text += '\\';
  activePathText_ = text;
  return activePathText_;
}

}  // namespace kova
