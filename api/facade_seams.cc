// The layers behind these functions are not built yet; each body answers as a
// system without that layer would (see facade_seams.h).
#include "api/facade_seams.h"

namespace kova {

CKovaFile* OpenKovaFile(const std::string& path, CKovas* kovas) { return nullptr; }

void ReleaseKovaFile(CKovaFile* file) {
  // OpenKovaFile creates nothing yet, so there is nothing to release.
}

std::string GetOpenedPath(const CKovaFile* file) { return std::string(); }

std::string GetLocalPath(const CKovaFile* file) { return std::string(); }

CKova* GetFileKova(const CKovaFile* file) { return nullptr; }

std::string GetFileProfileString(CKovaFile* file, const std::string& section,
                                 const std::string& key, const std::string& defaultValue,
                                 ULONG nSize) {
  return std::string();
}

ULONG GetFileProfileInt(CKovaFile* file, const std::string& section,
                        const std::string& key, ULONG defaultValue) {
  return defaultValue;
}

void SetFileProfileString(CKovaFile* file, const std::string& section,
                          const std::string& key, const std::string& value) {}

BOOL RenameFileInKova(CKova* kova, const std::string& oldPath,
                      const std::string& newPath) {
  return FALSE;
}

BOOL DeleteFileInKova(CKova* kova, const std::string& path) { return FALSE; }

BOOL FileExistsInKova(CKova* kova, const std::string& path) { return FALSE; }

BOOL IsPathWritableInKova(CKova* kova, const std::string& path) { return FALSE; }

BOOL PublishDependentFile(CKovas* kovas, const std::string& source,
                          const std::string& destinationFolder) {
  return FALSE;
}

CKovaItems* EnumerateProfileFiles(CKovas* kovas, const std::string& folder, CKova* kova,
                                  const std::string& extension, LONG wantedType) {
  return nullptr;
}

void DeleteFindResults(CKovaItems* results) {
  // EnumerateProfileFiles creates nothing yet.
}

LONG GetFindResultCount(const CKovaItems* results) { return 0; }

std::string GetFindResultName(const CKovaItems* results, LONG index) {
  return std::string();
}

std::string BrowseForPath(APP_TYPE appType, BROWSE_TYPE browseType, VARIANT_BOOL bEdit,
                          VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                          KOVA_LONG_PTR lpParentWnd, const std::string& selItemPath,
                          const std::string& userFileDir) {
  return std::string();
}

bool BrowseForPaths(APP_TYPE appType, VARIANT_BOOL bEdit, VARIANT_BOOL bPerformFileOP,
                    ULONG nHelpTopicID, KOVA_LONG_PTR lpParentWnd,
                    const std::string& userFileDir, short nSize, std::string* fileList) {
  return false;
}

}  // namespace kova
