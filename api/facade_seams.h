// The work the facade hands to the layers below it: loaded files and path
// resolution, profile values, file operations, publishing, enumeration and the
// browse dialog. Each function is the facade's only way into that layer.
//
// The loaded-file object, enumeration, the local-file layer and the browse bridge
// are not built yet. Until they are, these functions answer as a system without
// them: no file can be opened (OpenKovaFile gives null, so no session ever has a
// loaded file), no enumeration can run, no file operation succeeds and no browse
// yields a path. The layers replace the bodies in facade_seams.cc.
#ifndef KOVA_API_FACADE_SEAMS_H_
#define KOVA_API_FACADE_SEAMS_H_

#include <string>

#include "kova_intr_api.h"
#include "windows.h"

namespace kova {

class CKova;
class CKovaFile;
class CKovaItems;
class CKovas;

// A loaded file resolved from `path` on `kovas` (the three creation flags 0),
// owned by the caller; null when it cannot be created.
CKovaFile* OpenKovaFile(const std::string& path, CKovas* kovas);
// Releases and deletes a loaded file (a modified LDAP-stored file is written
// back and its local copy removed). Null is allowed.
void ReleaseKovaFile(CKovaFile* file);
std::string GetOpenedPath(const CKovaFile* file);
std::string GetLocalPath(const CKovaFile* file);
// The Kova that holds the file, or null for a plain local file.
CKova* GetFileKova(const CKovaFile* file);

// Profile values of the loaded file. The read gives at most nSize - 1
// characters; every write marks the file modified (an empty value removes the key).
std::string GetFileProfileString(CKovaFile* file, const std::string& section,
                                 const std::string& key, const std::string& defaultValue,
                                 ULONG nSize);
ULONG GetFileProfileInt(CKovaFile* file, const std::string& section,
                        const std::string& key, ULONG defaultValue);
void SetFileProfileString(CKovaFile* file, const std::string& section,
                          const std::string& key, const std::string& value);

// File operations on a Kova; each returns 1 for success.
BOOL RenameFileInKova(CKova* kova, const std::string& oldPath,
                      const std::string& newPath);
BOOL DeleteFileInKova(CKova* kova, const std::string& path);
BOOL FileExistsInKova(CKova* kova, const std::string& path);
BOOL IsPathWritableInKova(CKova* kova, const std::string& path);

// Publishes one dependent file of a Lumaset session file into `destinationFolder`.
BOOL PublishDependentFile(CKovas* kovas, const std::string& source,
                          const std::string& destinationFolder);

// The profile files of `folder` (in `kova`, or none) with `extension`, keeping
// only those of type `wantedType`, in enumeration order; owned by the caller.
// Null when the enumeration cannot run.
CKovaItems* EnumerateProfileFiles(CKovas* kovas, const std::string& folder, CKova* kova,
                                  const std::string& extension, LONG wantedType);
void DeleteFindResults(CKovaItems* results);
LONG GetFindResultCount(const CKovaItems* results);
// The file name of result `index` with its extension and without its folder.
std::string GetFindResultName(const CKovaItems* results, LONG index);

// The single-selection browse: the chosen path, or empty when cancelled.
std::string BrowseForPath(APP_TYPE appType, BROWSE_TYPE browseType, VARIANT_BOOL bEdit,
                          VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                          KOVA_LONG_PTR lpParentWnd, const std::string& selItemPath,
                          const std::string& userFileDir);
// The multiple-selection browse: false when no path was chosen; else the file
// list within nSize characters.
[[nodiscard]] bool BrowseForPaths(APP_TYPE appType, VARIANT_BOOL bEdit,
                                  VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                                  KOVA_LONG_PTR lpParentWnd,
                                  const std::string& userFileDir, short nSize,
                                  std::string* fileList);

}  // namespace kova

#endif  // KOVA_API_FACADE_SEAMS_H_
