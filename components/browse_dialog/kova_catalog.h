// The listings of the browse dialog, from the system itself: the KovaIntr
// component (KovaIntr.KovaIntrApi, created through COM) for the files of a
// folder, display paths and file operations, and the Kova definitions of the
// registry for the Kovas and sub-folders, which the interface does not list.
#ifndef KOVA_COMPONENTS_BROWSE_DIALOG_KOVA_CATALOG_H_
#define KOVA_COMPONENTS_BROWSE_DIALOG_KOVA_CATALOG_H_

#include <memory>
#include <string>
#include <vector>

#include "browse_screen.h"
#include "kova_intr_api.h"

namespace kova {
class CKovas;
}

namespace kova::browse {

class KovaCatalog final : public BrowseCatalog {
 public:
  KovaCatalog();
  ~KovaCatalog() override;
  KovaCatalog(const KovaCatalog&) = delete;
  KovaCatalog& operator=(const KovaCatalog&) = delete;

  // Creates the KovaIntr component and a session on it, and reads the Kova
  // definitions; false when the component cannot be created.
  [[nodiscard]] bool Open();

  std::vector<Kova> ListKovas() override;
  std::vector<std::string> ListFolders(const std::string& folder) override;
  std::vector<std::string> ListFiles(const std::string& folder, LONG typeCode) override;
  std::string DisplayPath(const std::string& folder) override;
  [[nodiscard]] bool RenameFile(const std::string& from, const std::string& to) override;
  [[nodiscard]] bool DeleteFile(const std::string& path) override;

 private:
  IKovaIntrApi* api_ = nullptr;
  KOVA_LONG_PTR session_ = 0;
  std::unique_ptr<CKovas> kovas_;
};

}  // namespace kova::browse

#endif  // KOVA_COMPONENTS_BROWSE_DIALOG_KOVA_CATALOG_H_
