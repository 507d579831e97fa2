#include "model/kova.h"

#include <new>
#include <vector>

#include "common/path_text.h"
#include "common/text.h"
#include "macros/registry_text.h"
#include "macros/shared_memory.h"
#include "macros/ui_language.h"
#include "model/kova_item.h"
#include "model/kova_ldap.h"
#include "model/path_form.h"
#include "model/registry_value.h"

namespace kova {

namespace {

// Display-name languages tried, in order, after the user-interface language.
constexpr const char* kFallbackLanguages[] = {"eng", "fra", "deu", "esp", "ita", "prt"};

class ScopedCriticalSection {
 public:
  explicit ScopedCriticalSection(CRITICAL_SECTION* lock) : lock_(lock) {
    EnterCriticalSection(lock_);
  }
  ~ScopedCriticalSection() { LeaveCriticalSection(lock_); }
  ScopedCriticalSection(const ScopedCriticalSection&) = delete;
  ScopedCriticalSection& operator=(const ScopedCriticalSection&) = delete;

 private:
  CRITICAL_SECTION* lock_;
};

[[nodiscard]] bool ReadDisplayName(HKEY key, const std::string& language,
                                   std::string* name) {
  return ReadValueText(key, ("DisplayName." + language).c_str(), name);
}

}  // namespace

// ---------------------------------------------------------------------------
// CKova

CKova::CKova(CKovas* owner) { CKova::Init(owner); }

CKova::~CKova() {
  DeleteLDAPDirectory(ldapDirectory_);
  delete paths_;
}

void CKova::Init(CKovas* owner) {
  name_.clear();
  displayName_.clear();
  iconSource_.clear();
  isDefault_ = FALSE;
  orderIndex_ = -1;
  contains_ = 0;
  DeleteLDAPDirectory(ldapDirectory_);
  ldapDirectory_ = nullptr;
  owner_ = owner;
  CKovaPaths* fresh = new CKovaPaths(this);
  delete paths_;
  paths_ = fresh;
}

CKova* CKova::Clone() const {
  CKova* clone = new (std::nothrow) CKova(owner_);
  if (clone != nullptr) clone->CopyFrom(*this);
  return clone;
}

void CKova::CopyFrom(const CKova& other) {
  if (&other == this) return;
  owner_ = other.owner_;
  name_ = other.name_;
  displayName_ = other.displayName_;
  iconSource_ = other.iconSource_;
  isDefault_ = other.isDefault_;
  orderIndex_ = other.orderIndex_;
  contains_ = other.contains_;
  paths_->RemoveAll(TRUE);
  paths_->AppendClones(*other.paths_);
}

BOOL CKova::ReadDefinition(HKEY kovasKey, const char* subkeyName) {
  if (subkeyName == nullptr) return FALSE;
  ScopedRegKey key;
  if (RegOpenKeyExA(kovasKey, subkeyName, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) {
    return FALSE;
  }

  std::string language = GetUILanguageCode();
  if (!language.empty() && language.front() == '.') language.erase(0, 1);
  std::string display;
  bool found = ReadDisplayName(key.get(), language, &display);
  for (const char* fallback : kFallbackLanguages) {
    if (found) break;
    found = ReadDisplayName(key.get(), fallback, &display);
  }
  name_ = subkeyName;
  displayName_ = found ? display : name_;

  DWORD value = 0;
  isDefault_ =
      ReadValueDword(key.get(), "DefaultKova", &value) && value == 1 ? TRUE : FALSE;
  orderIndex_ =
      ReadValueDword(key.get(), "OrderIndex", &value) ? static_cast<LONG>(value) : -1;
  contains_ = ReadValueDword(key.get(), "Contains", &value) ? value : 0;

  for (int n = 1;; ++n) {
    CKovaPath* path = new (std::nothrow) CKovaPath(paths_);
    if (path == nullptr) break;
    if (!path->ReadSettings(key.get(), n) || !paths_->Add(path, FALSE)) {
      delete path;
      break;
    }
  }
  if (paths_->GetCount() == 0) return FALSE;

  std::string icon;
  if (ReadValueText(key.get(), "Icon", &icon)) iconSource_ = icon;
  return TRUE;
}

std::string CKova::GetActivePath() { return paths_->GetActivePath(); }

BOOL CKova::IsActivePathLDAP() {
  CKovaPath* active = paths_->GetActivePathObject();
  return active != nullptr && active->type() == kKovaPathLDAP ? TRUE : FALSE;
}

CLDAPDirectory* CKova::GetLDAPDirectory() {
  CKovaPath* active = paths_->GetActivePathObject();
  if (active == nullptr || active->type() != kKovaPathLDAP) return nullptr;
  if (ldapDirectory_ == nullptr) ldapDirectory_ = CreateLDAPDirectory(*active);
  return ldapDirectory_;
}

std::string CKova::GetDisplayPath(const std::string& relativePath, BOOL resolve) {
  const std::string root = "<" + name_ + ">\\";
  std::string result = root + relativePath;
  if (!resolve && !name_.empty()) return result;
  result = ReplaceAll(result, root, GetActivePath());
  if (CLDAPDirectory* directory = GetLDAPDirectory()) {
    result = LDAPPathToDN(*directory, result);
  }
  return result;
}

BOOL CKova::ContainsPath(const std::string& path, BOOL resolved) {
  const std::string prefix = GetDisplayPath(std::string(), resolved);
  if (prefix.empty()) return FALSE;
  std::string text = path;
  if (!text.empty() && text.find('\\') == std::string::npos) text += '\\';
  return StartsWithIgnoreCase(text, prefix) ? TRUE : FALSE;
}

// The built-in Kova's root is its active path (GetDisplayPath resolves it), so
// both conversions leave its paths as they are.
std::string CKova::ToResolvedPath(const std::string& kovaPath) {
  std::string result =
      ReplaceAll(kovaPath, GetDisplayPath(std::string(), FALSE), GetActivePath());
  if (CLDAPDirectory* directory = GetLDAPDirectory()) {
    result = LDAPPathToDN(*directory, result);
  }
  return result;
}

// There is no reverse mapping of DNs: a resolved LDAP path changes only where it
// holds the active path text.
std::string CKova::ToKovaPath(const std::string& resolvedPath) {
  return ReplaceAll(resolvedPath, GetActivePath(), GetDisplayPath(std::string(), FALSE));
}

std::string CKova::ToLocalPath(const std::string& resolvedPath) {
  if (CLDAPDirectory* directory = GetLDAPDirectory()) {
    return LDAPFetchToTempFile(*directory, resolvedPath);
  }
  return resolvedPath;
}

BOOL CKova::ReleaseLocalPath(const std::string& kovaPath, const std::string& localPath,
                             BOOL modified) {
  if (CLDAPDirectory* directory = GetLDAPDirectory()) {
    return LDAPReleaseCacheFile(*directory, ToResolvedPath(kovaPath), localPath, modified,
                                nullptr);
  }
  return TRUE;
}

// ---------------------------------------------------------------------------
// CKovas

CRITICAL_SECTION* CKovas::ModelLock() {
  // Deliberately never deleted: collections of any lifetime may still take it. It
  // lives in the library's own storage, not on the heap, so that unloading the
  // component leaves nothing behind.
  static CRITICAL_SECTION lock;
  static const bool initialized = [] {
    InitializeCriticalSection(&lock);
    return true;
  }();
  (void)initialized;
  return &lock;
}

CKovas::CKovas(const char* keyPath) {
  ModelLock();
  if (keyPath == nullptr || keyPath[0] == '\0') return;
  ownsElements_ = TRUE;
  Load(keyPath);
}

CKovas::~CKovas() {
  if (ownsReplacers_) delete replacers_;
  delete filteredView_;
  RemoveAll(ownsElements_);
}

BOOL CKovas::Add(CKova* kova, BOOL clone) {
  if (kova == nullptr) return FALSE;
  if (!clone) return kovas_.Append(kova) ? TRUE : FALSE;
  CKova* copy = kova->Clone();
  if (copy == nullptr) return FALSE;
  if (kovas_.Append(copy)) return TRUE;
  delete copy;
  return FALSE;
}

BOOL CKovas::AppendClones(const CKovas& other) {
  BOOL all = TRUE;
  for (int i = 0; i < other.GetCount(); ++i) {
    CKova* kova = other.GetAt(i);
    if (kova != nullptr && !Add(kova, TRUE)) all = FALSE;
  }
  return all;
}

void CKovas::RemoveAll(BOOL deleteElements) {
  kovas_.Clear(deleteElements != FALSE);
  defaultKova_ = nullptr;
}

BOOL CKovas::Remove(CKova* kova) {
  int index = kovas_.IndexOf(kova);
  if (index < 0) return FALSE;
  kovas_.RemoveAt(index);
  if (defaultKova_ == kova) defaultKova_ = nullptr;
  // A view does not own what it points at.
  if (ownsElements_) delete kova;
  return TRUE;
}

BOOL CKovas::Load(const char* keyPath) {
  RemoveAll(ownsElements_);
  ownsElements_ = TRUE;
  LoadHive(HKEY_CURRENT_USER, keyPath);
  LoadHive(HKEY_LOCAL_MACHINE, keyPath);
  SortByOrderIndex();

  if (GetCount() == 0) {
    CKova* builtin = new (std::nothrow) CKova(this);
    if (builtin != nullptr) {
      builtin->SetDisplayName("My Kova");
      CKovaPath* path = new (std::nothrow) CKovaPath(builtin->paths());
      if (path != nullptr) {
        path->SetPathText(ParentPath(defaultRoot_));
        if (!builtin->paths()->Add(path, FALSE)) delete path;
      }
      if (!Add(builtin, FALSE)) delete builtin;
    }
  }

  defaultKova_ = GetAt(0);
  for (int i = 0; i < GetCount(); ++i) {
    if (GetAt(i)->isDefault()) {
      defaultKova_ = GetAt(i);
      break;
    }
  }
  return TRUE;
}

BOOL CKovas::LoadHive(HKEY hive, const char* keyPath) {
  if (keyPath == nullptr || keyPath[0] == '\0') return FALSE;
  ScopedRegKey key;
  if (RegOpenKeyExA(hive, keyPath, 0, KEY_READ, key.receive()) != ERROR_SUCCESS)
    return FALSE;

  // Failing indexes are skipped; the subkey count bounds the skipping so that a
  // key that fails at every index cannot keep the loop going.
  DWORD subkeys = 0;
  const bool bounded =
      RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                       nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  for (DWORD index = 0;; ++index) {
    char name[kRegistryValueBufferSize];
    DWORD size = sizeof(name);
    LSTATUS status =
        RegEnumKeyExA(key.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) {
      if (!bounded || index >= subkeys) break;
      continue;
    }
    CKova* kova = nullptr;
    try {
      kova = new CKova(this);
      if (kova->ReadDefinition(key.get(), name) && Add(kova, FALSE)) continue;
    } catch (const std::bad_alloc&) {
      // An allocation failure skips this definition.
    }
    delete kova;
  }
  return TRUE;
}

BOOL CKovas::SortByOrderIndex() {
  const int count = GetCount();
  if (count == 0) return TRUE;
  // The order is worked out before anything moves, so a failed allocation leaves
  // the collection as it was.
  std::vector<bool> taken(count, false);
  PtrArray<CKova> sorted;
  for (int round = 0; round < count; ++round) {
    int best = -1;
    for (int i = 0; i < count; ++i) {
      LONG index = GetAt(i)->orderIndex();
      if (taken[i] || index == -1) continue;
      if (best < 0 || index < GetAt(best)->orderIndex()) best = i;
    }
    if (best < 0) break;
    taken[best] = true;
    if (!sorted.Append(GetAt(best))) return TRUE;
  }
  if (sorted.count() == 0) return TRUE;
  for (int i = 0; i < count; ++i) {
    if (!taken[i] && !sorted.Append(GetAt(i))) return TRUE;
  }
  kovas_.SwapContents(sorted);
  return TRUE;
}

CKovas* CKovas::GetFilteredView(DWORD excludeMask) {
  if (filteredView_ == nullptr) filteredView_ = new CKovas(nullptr);
  filteredView_->RemoveAll(FALSE);
  for (int i = 0; i < GetCount(); ++i) {
    CKova* kova = GetAt(i);
    if ((excludeMask & kova->contains()) == 0) filteredView_->Add(kova, FALSE);
  }
  return filteredView_;
}

CKova* CKovas::GetDefaultKova(DWORD excludeMask) {
  CKovas* view = GetFilteredView(excludeMask);
  if (defaultKova_ != nullptr && view->kovas_.IndexOf(defaultKova_) >= 0)
    return defaultKova_;
  return view->GetAt(0);
}

CReplacers* CKovas::GetReplacers() {
  ScopedCriticalSection lock(ModelLock());
  if (replacers_ != nullptr) return replacers_;
  const std::string name = FormatBlockName(kKovaReplacersBlockFormat);
  replacers_ = new (std::nothrow) CReplacers(true, name.c_str());
  if (replacers_ == nullptr) return nullptr;
  ownsReplacers_ = TRUE;
  // Only the first attachment in the process seeds the block.
  if (replacers_->GetUserDir().empty()) {
    replacers_->SetOrganization("Corvanta");
    replacers_->SetUserDir(defaultRoot_.c_str());
  }
  return replacers_;
}

CKova* CKovas::FindKova(const std::string& path, BOOL resolved) {
  for (int i = 0; i < GetCount(); ++i) {
    CKova* kova = GetAt(i);
    if (kova->ContainsPath(path, resolved)) return kova;
  }
  return nullptr;
}

void CKovas::ResolveItem(const std::string& path, CKovaItem* item) {
  if (item == nullptr) return;
  const std::string text(TrimTrailingWhiteSpace(path));
  CKova* kova = FindKova(text, FALSE);
  if (kova == nullptr) kova = FindKova(text, TRUE);
  if (kova == nullptr) kova = defaultKova_;
  item->Set(text, kova);
}

}  // namespace kova
