// Named, paging-file-backed shared memory blocks.
#ifndef KOVA_MACROS_SHARED_MEMORY_H_
#define KOVA_MACROS_SHARED_MEMORY_H_

#include <cstddef>
#include <string>

#include "windows.h"

namespace kova {

// Name formats of the blocks; "%08ld" stands for the process id.
constexpr char kFileMappingBlockFormat[] = "Corvanta - File Mapping - 0x%08ld";
constexpr char kGenericReplacersBlockFormat[] =
    "Corvanta - Generic - Replacers - 0x%08ld";
constexpr char kKovaReplacersBlockFormat[] = "Corvanta - Kova - Replacers - 0x%08ld";

// Block names are at most this many characters; a longer name is cut.
constexpr std::size_t kMaxBlockNameLength = 259;

// Formats a block name: "%08ld" of the format becomes the process id in decimal,
// zero-padded to eight digits (the literal "0x" before it notwithstanding). Only the
// first "%08ld" is replaced and nothing else of the format is interpreted, so any
// text is safe here; the result is cut to kMaxBlockNameLength characters.
std::string FormatBlockName(const char* format);

// Creates or opens the named block (null or empty name: "Corvanta - File Mapping -
// 0x%08ld" with the process id) of `size` bytes. Returns true only when the block
// was newly created, and then zero-fills it. *handle and *view receive what could
// be obtained (null when not); the caller unmaps and closes them. A name longer
// than kMaxBlockNameLength is cut. Null out-pointers: nothing is done, false.
[[nodiscard]] bool CreateNamedSharedMemory(const char* name, DWORD size, HANDLE* handle,
                                           void** view);

}  // namespace kova

#endif  // KOVA_MACROS_SHARED_MEMORY_H_
