// The writability test that the file operations of a Kova share with the other
// users of resolved paths.
#ifndef KOVA_MODEL_KOVA_FILE_OPERATIONS_H_
#define KOVA_MODEL_KOVA_FILE_OPERATIONS_H_

#include <string>

#include "windows.h"

namespace kova {

class CLDAPDirectory;

// Whether `resolvedPath` can be written. An LDAP path (`pathType` 1) asks
// `directory`, and is not writable without one: its text is a DN, not a local
// path. A file-system path is probed on the disk (a folder through a probe
// file in it, a new file removed again) and a failure is shown in a message
// box naming the path.
BOOL TestPathWritable(DWORD pathType, const std::string& resolvedPath,
                      CLDAPDirectory* directory);

}  // namespace kova

#endif  // KOVA_MODEL_KOVA_FILE_OPERATIONS_H_
