// The browse dialog as a line-oriented screen: numbered lines of Kovas, folders
// and files, and short commands, over any terminal and any source of listings.
#ifndef KOVA_COMPONENTS_BROWSE_DIALOG_BROWSE_SCREEN_H_
#define KOVA_COMPONENTS_BROWSE_DIALOG_BROWSE_SCREEN_H_

#include <string>
#include <vector>

#include "kova_browse_dialog.h"
#include "windows.h"

namespace kova::browse {

// Where the screen reads and writes its lines.
class LineTerminal {
 public:
  virtual ~LineTerminal() = default;
  virtual void Write(const std::string& text) = 0;
  // One line without its end; false when input ended.
  virtual bool ReadLine(std::string* line) = 0;
};

// What the screen lists and changes. Folder paths are Kova paths ending in a
// backslash ("<Work>\Sessions\"); names carry no folder part.
class BrowseCatalog {
 public:
  struct Kova {
    std::string displayName;
    std::string root;  // "<key name>\"
    bool isDefault = false;
  };
  virtual ~BrowseCatalog() = default;
  virtual std::vector<Kova> ListKovas() = 0;
  virtual std::vector<std::string> ListFolders(const std::string& folder) = 0;
  // The files of `folder` whose profile type code is `typeCode`.
  virtual std::vector<std::string> ListFiles(const std::string& folder,
                                             LONG typeCode) = 0;
  // The folder in the display form shown to the user.
  virtual std::string DisplayPath(const std::string& folder) = 0;
  [[nodiscard]] virtual bool RenameFile(const std::string& from,
                                        const std::string& to) = 0;
  [[nodiscard]] virtual bool DeleteFile(const std::string& path) = 0;
};

struct BrowseSettings {
  LONG mode = kKovaBrowseModeLumasetOpen;
  LONG fileTypeCode = 64;
  bool editAllowed = true;
  bool fileOpsAllowed = true;
  ULONG helpTopic = 0;
  // Where to start and, for Save-as, the name offered.
  std::string preselected;
  std::string userFileDir;
};

// True for the Save-as modes.
bool IsSaveAsMode(LONG mode);

// Runs the dialog until the user chooses or cancels. Returns the chosen Kova
// paths (several only for an open dialog), or none when the user cancelled or
// input ended.
std::vector<std::string> RunBrowseScreen(const BrowseSettings& settings,
                                         BrowseCatalog* catalog, LineTerminal* terminal);

}  // namespace kova::browse

#endif  // KOVA_COMPONENTS_BROWSE_DIALOG_BROWSE_SCREEN_H_
