#include "kova_catalog.h"

#include "common/bstr_convert.h"
#include "model/kova.h"
#include "model/kova_item.h"
#include "model/profile_type.h"
#include "objbase.h"

namespace kova::browse {

namespace {

// Calls an interface operation that takes one text argument by BSTR*.
template <class Call>
HRESULT WithText(const std::string& text, Call call) {
  const ScopedBstr held(text);
  BSTR value = held.get();
  return call(&value);
}

}  // namespace

KovaCatalog::KovaCatalog() = default;

KovaCatalog::~KovaCatalog() {
  if (api_ == nullptr) return;
  if (session_ != 0) (void)api_->KovaUnInitialize(session_);
  api_->Release();
}

bool KovaCatalog::Open() {
  CLSID clsid = GUID_NULL;
  if (FAILED(CLSIDFromProgID(u"" KOVAINTR_VERSION_INDEPENDENT_PROGID, &clsid))) {
    return false;
  }
  void* created = nullptr;
  if (FAILED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IKovaIntrApi,
                              &created)) ||
      created == nullptr) {
    return false;
  }
  api_ = static_cast<IKovaIntrApi*>(created);
  // Without a user directory there is no session: renaming and deleting then
  // fail, listing works through the search's own sessions.
  if (api_->KovaInitialize(&session_) != S_OK) session_ = 0;
  // The interface names no Kovas and its search drops sub-folders, so both come
  // from the definitions themselves.
  kovas_ = std::make_unique<CKovas>(kKovasKeyPath);
  return true;
}

std::vector<BrowseCatalog::Kova> KovaCatalog::ListKovas() {
  std::vector<Kova> list;
  if (kovas_ == nullptr) return list;
  const CKova* defaultKova = kovas_->GetDefaultKova(0);
  for (int i = 0; i < kovas_->GetCount(); ++i) {
    CKova* kova = kovas_->GetAt(i);
    list.push_back(
        {kova->displayName(), kova->GetDisplayPath("", FALSE), kova == defaultKova});
  }
  return list;
}

std::vector<std::string> KovaCatalog::ListFolders(const std::string& folder) {
  std::vector<std::string> names;
  if (kovas_ == nullptr) return names;
  CKova* kova = kovas_->FindKova(folder, FALSE);
  if (kova == nullptr) return names;
  CKovaItem item;
  item.Set(folder, kova);
  CKovaItems entries;
  (void)entries.Enumerate(&item, ".*");
  for (int i = 0; i < entries.GetCount(); ++i) {
    const CKovaItem* entry = entries.GetAt(i);
    if (entry->kind() == kKovaItemFolder) names.push_back(entry->GetName(TRUE));
  }
  return names;
}

std::vector<std::string> KovaCatalog::ListFiles(const std::string& folder,
                                                LONG typeCode) {
  std::vector<std::string> names;
  if (api_ == nullptr) return names;
  // Only the two applications' types can be searched for; any other code is
  // taken as Lumaset's.
  const bool pendrel = typeCode == kProfileTypePendrel;
  const ScopedBstr folderText(folder);
  const ScopedBstr extension(
      ExtensionOfType(pendrel ? kProfileTypePendrel : kProfileTypeLumaset));
  BSTR folderValue = folderText.get();
  BSTR extensionValue = extension.get();
  KOVA_LONG_PTR search = 0;
  LONG count = 0;
  const HRESULT hr = api_->KovaFindInit(&search, &folderValue, &extensionValue,
                                        pendrel ? APP_PENDREL : APP_LUMASET, &count);
  for (LONG i = 0; hr == S_OK && i < count; ++i) {
    ScopedBstr name;
    if (api_->KovaFindNext(search, i, name.receive()) == S_OK)
      names.push_back(name.Text());
  }
  if (search != 0) (void)api_->KovaUnInitialize(search);
  return names;
}

std::string KovaCatalog::DisplayPath(const std::string& folder) {
  if (api_ == nullptr) return folder;
  ScopedBstr shown;
  const HRESULT hr = WithText(folder, [&](BSTR* text) {
    return api_->KovaGetKovaDisplayPath(session_, text, shown.receive());
  });
  return hr == S_OK ? shown.Text() : folder;
}

bool KovaCatalog::RenameFile(const std::string& from, const std::string& to) {
  if (api_ == nullptr) return false;
  return WithText(from, [&](BSTR* oldName) {
           return WithText(to, [&](BSTR* newName) {
             return api_->KovaRenameFile(session_, oldName, newName);
           });
         }) == S_OK;
}

bool KovaCatalog::DeleteFile(const std::string& path) {
  if (api_ == nullptr) return false;
  return WithText(path, [&](BSTR* name) {
           return api_->KovaDeleteFile(session_, name);
         }) == S_OK;
}

}  // namespace kova::browse
