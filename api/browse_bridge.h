// The bridge to the external browse dialog component (kova_browse_dialog.h):
// which settings it receives in which order, how the dialog mode follows from
// the application and browse kinds, and the double-NUL file list of a multiple
// selection.
//
// Every HRESULT of the component is ignored; only its out values count. A
// component that cannot be created, or a dialog that was cancelled, yields no
// path. Each browse creates a fresh instance and releases it before returning.
#ifndef KOVA_API_BROWSE_BRIDGE_H_
#define KOVA_API_BROWSE_BRIDGE_H_

#include <string>
#include <vector>

#include "kova_browse_dialog.h"
#include "kova_intr_api.h"
#include "windows.h"

namespace kova {

// Owns at most one instance of the browse dialog component; releases it when
// replaced and when destroyed. Lives for one browse operation.
class CKovaBrowseDialog {
 public:
  CKovaBrowseDialog() = default;
  ~CKovaBrowseDialog();
  CKovaBrowseDialog(const CKovaBrowseDialog&) = delete;
  CKovaBrowseDialog& operator=(const CKovaBrowseDialog&) = delete;

  // Releases the instance held and creates a new one (any server context). When
  // one comes back it is given the parent window (when not 0), the mode and the
  // file-type code, and "not allowed" for editing and for file operations when
  // the flags are false. Null when the component could not be created.
  IKovaBrowseDialog* CreateAndConfigure(LONG mode, LONG fileTypeCode, BOOL editAllowed,
                                        BOOL fileOpsAllowed, KOVA_LONG_PTR parentWindow);
  // Releases the instance held and creates a bare one; null on failure.
  IKovaBrowseDialog* Create();
  // Preselects `path`; nothing without an instance.
  void SetPath(const std::string& path);
  // Shows the dialog (creating and configuring an instance first when none is
  // held) and returns the chosen path, empty when nothing was chosen. The help
  // topic and the user-file folder are passed only when not 0 or empty.
  std::string Run(LONG mode, LONG fileTypeCode, BOOL editAllowed, BOOL fileOpsAllowed,
                  ULONG helpTopic, const std::string& userFileDir,
                  KOVA_LONG_PTR parentWindow);
  // Appends every path of the instance's multiple selection to `paths`; returns
  // the number of entries in `paths` afterwards.
  int GetPaths(std::vector<std::string>* paths);

 private:
  void ReleaseInstance();

  IKovaBrowseDialog* dialog_ = nullptr;
};

// The double-NUL file list of `paths` within `nSize` characters: the folder of
// the first path (the text before its last backslash, empty without one) and a
// NUL, then each path's file name and a NUL while the running count (the
// folder's length plus 1, plus each name's length plus 1) stays below nSize,
// then a final NUL. The folder is always present, so a negative or tiny nSize
// gives the folder, a NUL and the final NUL.
std::string BuildFileList(const std::vector<std::string>& paths, short nSize);

// The single-selection browse: the chosen path, or empty when cancelled or when
// no dialog could be shown. A Save-as dialog preselects `selItemPath`.
std::string BrowseForPath(APP_TYPE appType, BROWSE_TYPE browseType, VARIANT_BOOL bEdit,
                          VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                          KOVA_LONG_PTR lpParentWnd, const std::string& selItemPath,
                          const std::string& userFileDir);
// The multiple-selection browse (always an open dialog): false when no path was
// chosen; else true with the file list of BuildFileList in *fileList.
[[nodiscard]] bool BrowseForPaths(APP_TYPE appType, VARIANT_BOOL bEdit,
                                  VARIANT_BOOL bPerformFileOP, ULONG nHelpTopicID,
                                  KOVA_LONG_PTR lpParentWnd,
                                  const std::string& userFileDir, short nSize,
                                  std::string* fileList);

}  // namespace kova

#endif  // KOVA_API_BROWSE_BRIDGE_H_
