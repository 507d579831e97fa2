// Named, paging-file-backed shared memory blocks.
#ifndef KOVA_MACROS_SHARED_MEMORY_H_
#define KOVA_MACROS_SHARED_MEMORY_H_

#include <string>

#include "windows.h"

namespace kova {

// Formats a block name: "%08ld" of the format becomes the process id in decimal,
// zero-padded to eight digits (the literal "0x" before it notwithstanding).
std::string FormatBlockName(const char* format);

// Creates or opens the named block (null or empty name: "Corvanta - File Mapping -
// 0x%08ld" with the process id) of `size` bytes. Returns true only when the block
// was newly created, and then zero-fills it. *handle and *view receive what could
// be obtained (null when not); the caller unmaps and closes them.
[[nodiscard]] bool CreateNamedSharedMemory(const char* name, DWORD size, HANDLE* handle,
                                           void** view);

}  // namespace kova

#endif  // KOVA_MACROS_SHARED_MEMORY_H_
