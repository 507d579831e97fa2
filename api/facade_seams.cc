// The layers behind these functions are not built yet; each body answers as a
// system without that layer would (see facade_seams.h).
#include "api/facade_seams.h"

namespace kova {

BOOL PublishDependentFile(CKovas*, const std::string&, const std::string&) {
  return FALSE;
}

std::string BrowseForPath(APP_TYPE, BROWSE_TYPE, VARIANT_BOOL, VARIANT_BOOL, ULONG,
                          KOVA_LONG_PTR, const std::string&, const std::string&) {
  return std::string();
}

bool BrowseForPaths(APP_TYPE, VARIANT_BOOL, VARIANT_BOOL, ULONG, KOVA_LONG_PTR,
                    const std::string&, short, std::string*) {
  return false;
}

}  // namespace kova
