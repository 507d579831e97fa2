// Writing profile values so that the platform's reader gives them back as
// written.
#ifndef KOVA_FILES_PROFILE_QUOTING_H_
#define KOVA_FILES_PROFILE_QUOTING_H_

#include "windows.h"

namespace kova {

// Writes `value` under `section`/`key` of `file`, quoted where the reader would
// otherwise strip or eat its quotes or spaces: a leading or trailing space or tab
// puts it between single quotes; a value enclosed in single (double) quotes gets
// another pair of them; anything else, also a value that only begins with a
// single quote, is written as it is. Quoted values of any length are written
// whole. A null value removes the key. Returns the platform write's result.
BOOL WriteProfileStringQuoted(const char* section, const char* key, const char* value,
                              const char* file);

}  // namespace kova

#endif  // KOVA_FILES_PROFILE_QUOTING_H_
