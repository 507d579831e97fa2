#include "model/publishing.h"

#include <new>
#include <vector>

#include "common/path_text.h"
#include "files/error_message.h"
#include "files/local_files.h"
#include "model/kova.h"
#include "model/kova_file.h"
#include "model/kova_item.h"
#include "model/path_form.h"

namespace kova {
namespace {

static_assert(kPublishShellFlags == 528 && kStagingCleanUpShellFlags == 16,
              "the shell flags of publishing");

// The message box for a path that lies in no Kova (or not in its own).
void ShowInvalidPath(const std::string& path) {
  ComposeErrorMessage(ERROR_BAD_PATHNAME, path.c_str(), kMessageCaption, nullptr);
}

// Appends `item`, which the list then owns; false (and `item` deleted) when it
// is null or the list cannot grow.
[[nodiscard]] bool Append(CKovaItems& items, CKovaItem* item) {
  if (item == nullptr) return false;
  if (items.Add(item, FALSE)) return true;
  delete item;
  return false;
}

// Appends a new item holding `path` and no Kova.
[[nodiscard]] bool AddLocalPath(CKovaItems& items, const std::string& path) {
  CKovaItem* item = new (std::nothrow) CKovaItem;
  if (item != nullptr) item->Set(path, nullptr);
  return Append(items, item);
}

// Removes the staging folders of one copy when it ends, however it ends.
class StagingFolders {
 public:
  StagingFolders() = default;
  StagingFolders(const StagingFolders&) = delete;
  StagingFolders& operator=(const StagingFolders&) = delete;
  ~StagingFolders() {
    try {
      (void)ShellOperationOnItems(folders_, nullptr, FO_DELETE,
                                  kStagingCleanUpShellFlags);
    } catch (...) {
      // Out of memory while listing them: the folders stay behind.
    }
  }

  // A new staging folder (with its trailing backslash), remembered for removal;
  // empty when none can be made.
  std::string Create() {
    const std::string folder = CreateTempDirectory();
    if (folder.empty()) return folder;
    if (AddLocalPath(folders_, StripTrailingBackslash(folder))) return folder;
    RemoveDirectoryA(folder.c_str());
    return std::string();
  }

 private:
  CKovaItems folders_;
};

}  // namespace

BOOL PublishDependentFile(const std::string& source,
                          const std::string& destinationFolder) {
  // The collection outlives the loaded file, which releases through its Kova.
  CKovas kovas(kKovasKeyPath);
  CKovaFile file(source, &kovas);
  const std::string& opened = file.openedPath();

  std::string folder = destinationFolder;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  CKova* destinationKova = kovas.FindKova(folder, FALSE);
  if (destinationKova == nullptr) {
    ShowInvalidPath(opened);
    return FALSE;
  }
  CKovaItem item;
  kovas.ResolveItem(opened, &item);
  return CopyItemToKova(item, destinationKova);
}

BOOL CopyItemToKova(const CKovaItem& item, CKova* destinationKova) {
  CKova* sourceKova = item.kova();
  const std::string path = item.GetPath(FALSE);
  if (sourceKova == nullptr || !sourceKova->ContainsPath(path, FALSE)) {
    ShowInvalidPath(path);
    return FALSE;
  }
  if (destinationKova == nullptr) return FALSE;

  const std::string newPath =
      ReplaceAll(path, sourceKova->GetDisplayPath(std::string(), FALSE),
                 destinationKova->GetDisplayPath(std::string(), FALSE));
  CKovaItems items;
  if (!Append(items, item.Clone())) return FALSE;
  CKovaItem destination;
  destination.Set(newPath, destinationKova);
  return CopyItems(items, destination, kPublishShellFlags);
}

BOOL CopyItems(const CKovaItems& items, const CKovaItem& destination,
               FILEOP_FLAGS flags) {
  CKova* destinationKova = destination.kova();
  if (destinationKova != nullptr && destinationKova->IsActivePathLDAP()) {
    for (int i = 0; i < items.GetCount(); ++i) {
      if (!items.GetAt(i)->CopyTo(destination, TRUE)) return FALSE;
    }
    return TRUE;
  }

  StagingFolders staging;
  CKovaItems sources;
  for (int i = 0; i < items.GetCount(); ++i) {
    const CKovaItem* item = items.GetAt(i);
    if (item->kova() == nullptr || !item->kova()->IsActivePathLDAP()) {
      if (!Append(sources, item->Clone())) return FALSE;
      continue;
    }
    // Without a folder of its own the file would be fetched into the current
    // folder: the copy is given up instead.
    const std::string folder = staging.Create();
    if (folder.empty()) return FALSE;
    // The folder ends in a backslash; appending keeps the name whole where a
    // join would take a name holding a colon for a path of its own.
    const std::string stagedPath = folder + FileNameOf(item->GetPath(FALSE));
    CKovaItem staged;
    staged.Set(stagedPath, nullptr);
    // A failed fetch leaves the staged path missing, and the shell copy fails.
    (void)item->CopyTo(staged, FALSE);
    if (!AddLocalPath(sources, stagedPath)) return FALSE;
  }
  return ShellOperationOnItems(sources, &destination, FO_COPY, flags);
}

BOOL ShellOperationOnItems(const CKovaItems& items, const CKovaItem* destination,
                           UINT operation, FILEOP_FLAGS flags) {
  if (items.GetCount() == 0) return TRUE;
  std::vector<std::string> paths;
  paths.reserve(static_cast<std::size_t>(items.GetCount()));
  for (int i = 0; i < items.GetCount(); ++i)
    paths.push_back(items.GetAt(i)->GetPath(TRUE));
  if (destination == nullptr)
    return ShellOperationOnPaths(paths, nullptr, operation, flags);
  const std::string target = destination->GetPath(TRUE);
  return ShellOperationOnPaths(paths, &target, operation, flags);
}

}  // namespace kova
