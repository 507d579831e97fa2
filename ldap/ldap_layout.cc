// The directory layout: naming settings, path texts to DNs and back, listing,
// existence and folder creation. Every directory call goes through api_.
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "common/path_text.h"
#include "common/text.h"
#include "ldap/ldap_directory.h"
#include "ldap/ldap_items.h"
#include "ldap/ldap_resources.h"

namespace kova {
namespace {

constexpr char kDefaultFolderAttribute[] = "CN";
constexpr char kDefaultFolderClass[] = "corvantaFolder";
constexpr char kDefaultFileAttribute[] = "CN";
constexpr char kDefaultFileClass[] = "corvantaFileBinary";
constexpr char kDefaultContentsAttribute[] = "corvantaFileContentsBinary";
constexpr char kObjectClass[] = "objectClass";
// Asks a search for no attributes at all (RFC 4511).
constexpr char kNoAttributes[] = "1.1";

const std::string& OrDefault(const std::string& value, const std::string& fallback) {
  return value.empty() ? fallback : value;
}

PCHAR Text(const std::string& text) { return const_cast<PCHAR>(text.c_str()); }

// "\x\..\" collapses to "\" for the component x before the first parent
// reference, wherever that pair occurs (ignoring case). Only that one component
// is collapsed; later parent references stay components of their own.
std::string CollapseParentReference(std::string text) {
  static constexpr std::string_view kParent = "\\..\\";
  const std::size_t first = text.find(kParent);
  if (first == std::string::npos || first < 2) return text;
  const std::size_t slash = text.rfind('\\', first - 1);
  if (slash == std::string::npos) return text;
  const std::string pattern = text.substr(slash, first - slash) + std::string(kParent);
  std::size_t at = FindIgnoreCase(text, pattern);
  while (at != std::string::npos) {
    text.replace(at, pattern.size(), "\\");
    at = FindIgnoreCase(text, pattern, at + 1);
  }
  return text;
}

// The attribute type of an RDN "type=value" (the text before the first '=').
std::string_view RdnType(std::string_view rdn) {
  const std::size_t equals = rdn.find('=');
  return equals == std::string_view::npos ? std::string_view() : rdn.substr(0, equals);
}

}  // namespace

// ---------------------------------------------------------------------------
// Naming settings: the path's value, else the default, worked out on each use.

std::string CLDAPDirectory::FolderAttributeName() const {
  return OrDefault(settings_->folderAttributeName, kDefaultFolderAttribute);
}
std::string CLDAPDirectory::FolderObjectClass() const {
  return OrDefault(settings_->folderObjectClass, kDefaultFolderClass);
}
std::string CLDAPDirectory::FileAttributeName() const {
  return OrDefault(settings_->fileAttributeName, kDefaultFileAttribute);
}
std::string CLDAPDirectory::FileObjectClass() const {
  return OrDefault(settings_->fileObjectClass, kDefaultFileClass);
}
std::string CLDAPDirectory::FileContentsAttributeName() const {
  return OrDefault(settings_->fileContentsAttributeName, kDefaultContentsAttribute);
}

// ---------------------------------------------------------------------------
// Sessions of single operations

CLDAPDirectory::OperationSession::OperationSession(CLDAPDirectory* directory, BOOL manage,
                                                   std::string* errorText)
    : directory_(directory) {
  if (!manage || directory_->connected_) return;
  ok_ = directory_->Connect(errorText);
  opened_ = ok_;
}

CLDAPDirectory::OperationSession::~OperationSession() {
  if (opened_) directory_->Disconnect();
}

// ---------------------------------------------------------------------------
// Path texts and DNs

std::string CLDAPDirectory::PathToDN(const std::string& pathText) const {
  std::string text = CollapseParentReference(StripTrailingBackslash(pathText));
  if (text.find('\\') == std::string::npos) return text;
  const std::string folderAttribute = FolderAttributeName();
  const std::string fileAttribute = FileAttributeName();
  std::string dn;
  std::size_t slash;
  while ((slash = text.rfind('\\')) != std::string::npos) {
    const std::string component = text.substr(slash + 1);
    const bool file = component.find('.') != std::string::npos;
    dn += (file ? fileAttribute : folderAttribute) + "=" + component + ",";
    text.resize(slash);
  }
  return dn + text;
}

BOOL CLDAPDirectory::ExplodeDN(const std::string& dn, std::vector<std::string>* rdns) {
  rdns->clear();
  if (!ApiReady() || dn.empty()) return FALSE;
  ScopedLDAPValues parts(api_, api_.ldap_explode_dnA(Text(dn), 0));
  if (parts.get() == nullptr) return FALSE;
  for (ULONG i = 0; parts.get()[i] != nullptr; ++i) rdns->emplace_back(parts.get()[i]);
  return rdns->empty() ? FALSE : TRUE;
}

BOOL CLDAPDirectory::ParseDN(const std::string& dn, std::string* name, DWORD* folder) {
  std::vector<std::string> rdns;
  if (!ExplodeDN(dn, &rdns)) return FALSE;
  const std::string& rdn = rdns.front();
  const std::string fileAttribute = FileAttributeName();
  const std::string folderAttribute = FolderAttributeName();
  bool isFolder;
  if (!EqualsIgnoreCase(fileAttribute, folderAttribute)) {
    // The RDN's own attribute type decides, compared as LDAP compares types
    // (without case): the server hands DNs back in its own spelling, and a
    // value that merely contains "type=" must not change the kind.
    const std::string_view type = RdnType(rdn);
    if (EqualsIgnoreCase(type, fileAttribute)) {
      isFolder = false;
    } else if (EqualsIgnoreCase(type, folderAttribute)) {
      isFolder = true;
    } else {
      return FALSE;
    }
  } else {
    isFolder = rdn.find('.') == std::string::npos;
  }
  const std::string prefix = (isFolder ? folderAttribute : fileAttribute) + "=";
  if (name != nullptr)
    *name = StartsWithIgnoreCase(rdn, prefix) ? rdn.substr(prefix.size()) : rdn;
  if (folder != nullptr) *folder = isFolder ? 1 : 0;
  return TRUE;
}

BOOL CLDAPDirectory::IsFolderDN(const std::string& dn) {
  DWORD folder = 0;
  return ParseDN(dn, nullptr, &folder) && folder == 1 ? TRUE : FALSE;
}

// ---------------------------------------------------------------------------
// Listing

int CLDAPDirectory::ListChildren(const std::string& folderDn, CLDAPItems* items,
                                 const std::string* displayPrefix) {
  ULONG code = 0;
  return ListChildrenChecked(folderDn, items, displayPrefix, &code);
}

int CLDAPDirectory::ListChildrenChecked(const std::string& folderDn, CLDAPItems* items,
                                        const std::string* displayPrefix, ULONG* code) {
  *code = kLDAPParamError;
  if (items == nullptr) return 0;
  items->RemoveAll();
  if (!ApiReady()) return 0;
  ScopedLDAPMessage result(api_);
  *code = api_.ldap_search_sA(session_, Text(folderDn), LDAP_SCOPE_ONELEVEL,
                              Text(searchFilter_), nullptr, 0, result.out());
  if (*code != LDAP_SUCCESS) return 0;
  const int count = static_cast<int>(api_.ldap_count_entries(session_, result.get()));

  const std::string folderAttribute = FolderAttributeName();
  const std::string fileAttribute = FileAttributeName();
  const std::string folderClass = FolderObjectClass();
  const std::string fileClass = FileObjectClass();
  const bool sameAttributes = EqualsIgnoreCase(folderAttribute, fileAttribute);
  // A child's name: the rebuilt DN, or the display prefix and the entry name.
  auto childName = [&](const std::string& attribute, const std::string& name) {
    if (displayPrefix == nullptr) return attribute + "=" + name + "," + folderDn;
    const std::string& prefix = *displayPrefix;
    const bool separated = !prefix.empty() && prefix.back() == '\\';
    return prefix + (separated ? "" : "\\") + name;
  };

  for (LDAPMessage* entry = api_.ldap_first_entry(session_, result.get());
       entry != nullptr; entry = api_.ldap_next_entry(session_, entry)) {
    std::string folderName;
    std::string fileName;
    bool folderSeen = false;
    bool fileSeen = false;
    std::unique_ptr<CLDAPItem> item;
    ScopedBerElement cursor(api_);
    for (PCHAR name = api_.ldap_first_attributeA(session_, entry, cursor.out());
         name != nullptr; name = item != nullptr ? nullptr
                                                 : api_.ldap_next_attributeA(
                                                       session_, entry, cursor.get())) {
      ScopedLDAPString attribute(api_, name);
      const std::string_view type(attribute.get());
      ScopedLDAPValues values(api_,
                              api_.ldap_get_valuesA(session_, entry, attribute.get()));
      for (ULONG i = 0; values.get() != nullptr && values.get()[i] != nullptr; ++i) {
        const char* value = values.get()[i];
        if (EqualsIgnoreCase(type, folderAttribute)) {
          folderName = value;
          if (sameAttributes) fileName = value;
        } else if (EqualsIgnoreCase(type, fileAttribute)) {
          fileName = value;
        } else if (EqualsIgnoreCase(type, kObjectClass)) {
          if (EqualsIgnoreCase(value, folderClass)) folderSeen = true;
          if (EqualsIgnoreCase(value, fileClass)) fileSeen = true;
        }
        if (folderSeen && !folderName.empty()) {
          item.reset(new (std::nothrow)
                         CLDAPItem(childName(folderAttribute, folderName), 1));
        } else if (fileSeen && !fileName.empty()) {
          item.reset(new (std::nothrow) CLDAPItem(childName(fileAttribute, fileName), 0));
        }
        if (item != nullptr) break;
      }
    }
    if (item != nullptr && items->Add(item.get(), FALSE)) item.release();
  }
  return count;
}

int CLDAPDirectory::ListChildrenConnected(const std::string& folderDn, CLDAPItems* items,
                                          const std::string* displayPrefix) {
  if (items != nullptr) items->RemoveAll();
  OperationSession session(this, TRUE, nullptr);
  if (!session.ok()) return 0;
  ListChildren(folderDn, items, displayPrefix);
  return items == nullptr ? 0 : items->GetCount();
}

// ---------------------------------------------------------------------------
// Existence and folders

ULONG CLDAPDirectory::SearchEntry(const std::string& dn) {
  if (!ApiReady()) return kLDAPParamError;
  // Scope base and no attributes: an existence test must not depend on the
  // size of the subtree below the entry (size limits, large contents).
  PCHAR noAttributes[] = {const_cast<PCHAR>(kNoAttributes), nullptr};
  ScopedLDAPMessage result(api_);
  return api_.ldap_search_sA(session_, Text(dn), LDAP_SCOPE_BASE, Text(searchFilter_),
                             noAttributes, 0, result.out());
}

BOOL CLDAPDirectory::Exists(const std::string& dn, std::string* errorText) {
  const ULONG code = SearchEntry(dn);
  if (code == LDAP_INVALID_DN_SYNTAX) ReportError(code, FALSE, errorText);
  return code == LDAP_SUCCESS ? TRUE : FALSE;
}

BOOL CLDAPDirectory::CreateFolder(const std::string& dn, const std::string& name,
                                  std::string* errorText) {
  if (Exists(dn, errorText)) return TRUE;
  if (!ApiReady()) return FALSE;
  LDAPTextMod naming(FolderAttributeName(), name);
  LDAPTextMod objectClass(kObjectClass, FolderObjectClass());
  LDAPModA* mods[] = {&naming.mod, &objectClass.mod, nullptr};
  const ULONG code = api_.ldap_add_sA(session_, Text(dn), mods);
  ReportError(code, FALSE, errorText);
  return code == LDAP_SUCCESS ? TRUE : FALSE;
}

BOOL CLDAPDirectory::CreateFolderUnder(const std::string& pathText, std::string* parentDn,
                                       std::string* errorText, BOOL update) {
  if (parentDn == nullptr) return FALSE;
  const std::string name = FileNameOf(StripTrailingBackslash(pathText));
  const std::string dn = FolderAttributeName() + "=" + name + "," + *parentDn;
  if (update) *parentDn = dn;
  return CreateFolder(dn, name, errorText);
}

BOOL CLDAPDirectory::EnsureAncestors(const std::string& dn, BOOL manageSession,
                                     std::string* errorText) {
  return EnsureAncestorsRecorded(dn, manageSession, errorText, nullptr);
}

BOOL CLDAPDirectory::EnsureAncestorsRecorded(const std::string& dn, BOOL manageSession,
                                             std::string* errorText,
                                             std::vector<std::string>* created) {
  if (dn.empty()) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }
  OperationSession session(this, manageSession, errorText);
  if (!session.ok()) return FALSE;
  std::vector<std::string> rdns;
  if (!ExplodeDN(dn, &rdns)) {
    ReportError(kLDAPParamError, FALSE, errorText);
    return FALSE;
  }

  // Walk up until an existing ancestor; the candidates missing on the way are
  // created afterwards from the root down.
  BOOL result = FALSE;
  std::vector<std::string> missing;
  for (std::size_t index = IsFolderDN(dn) ? 0 : 1;; ++index) {
    std::string candidate;
    for (std::size_t i = index; i < rdns.size(); ++i)
      candidate += (i == index ? "" : ",") + rdns[i];
    if (candidate.empty()) break;
    const ULONG code = SearchEntry(candidate);
    if (code == LDAP_SUCCESS) {
      result = TRUE;
      break;
    }
    if (code == LDAP_INVALID_DN_SYNTAX) {
      // Nothing below a DN the server cannot read can be created.
      ReportError(code, FALSE, errorText);
      return FALSE;
    }
    missing.push_back(std::move(candidate));
  }

  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    std::string name;
    DWORD folder = 0;
    if (!ParseDN(*it, &name, &folder)) {
      ReportError(LDAP_INVALID_DN_SYNTAX, FALSE, errorText);
      return FALSE;
    }
    if (!CreateFolder(*it, name, nullptr)) {
      ReportError(kLDAPParamError, FALSE, errorText);
      return FALSE;
    }
    if (created != nullptr) created->push_back(*it);
  }
  return result;
}

void CLDAPDirectory::RemoveCreatedFolders(const std::vector<std::string>& created) {
  if (!ApiReady()) return;
  for (auto it = created.rbegin(); it != created.rend(); ++it)
    api_.ldap_delete_sA(session_, Text(*it));
}

}  // namespace kova
