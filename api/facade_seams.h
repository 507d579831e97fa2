// The work the facade hands to layers that are not built yet: publishing of a
// Lumaset file's dependent files and the browse dialog.
//
// Until they are, these functions answer as a system without them: no dependent
// file is published and no browse yields a path. The layers replace the bodies
// in facade_seams.cc.
#ifndef KOVA_API_FACADE_SEAMS_H_
#define KOVA_API_FACADE_SEAMS_H_

#include <string>

#include "kova_intr_api.h"
#include "windows.h"

namespace kova {

class CKovas;

// Publishes one dependent file of a Lumaset session file into `destinationFolder`.
BOOL PublishDependentFile(CKovas* kovas, const std::string& source,
                          const std::string& destinationFolder);

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
