// The work the facade hands to layers that are not built yet: publishing of a
// Lumaset file's dependent files.
//
// Until they are, these functions answer as a system without them: no dependent
// file is published. The layers replace the bodies
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

}  // namespace kova

#endif  // KOVA_API_FACADE_SEAMS_H_
