// The layers behind these functions are not built yet; each body answers as a
// system without that layer would (see facade_seams.h).
#include "api/facade_seams.h"

namespace kova {

BOOL PublishDependentFile(CKovas*, const std::string&, const std::string&) {
  return FALSE;
}

}  // namespace kova
