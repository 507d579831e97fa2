// Operations on local files and folders that the Kovas and the LDAP storage
// share: temporary files and folders, text copies, the writability probe and
// the shell's rename and delete.
#ifndef KOVA_FILES_LOCAL_FILES_H_
#define KOVA_FILES_LOCAL_FILES_H_

#include <string>

#include "windows.h"

namespace kova {

// The name of the probe file the writability test creates in a folder.
constexpr char kWritableProbeFileName[] = "____Test____Writable____File___.twr";

// A new, empty temporary file ("lda" prefix); empty text on failure.
std::string CreateTempFileName();
// A new, empty temporary folder ("Dir" prefix), with a trailing backslash; no
// reserving file is left behind. Empty text on failure.
std::string CreateTempDirectory();
// Deletes the folder holding `path`, with everything in it. 1 for success.
BOOL DeleteContainingDirectory(const std::string& path);

// The whole of `localPath` as text, read in 519-byte pieces each cut at its
// first zero byte; empty when the file cannot be opened.
std::string ReadAllText(const std::string& localPath);

// Whether `path` (a file, or a folder through a probe file in it) can be opened
// for writing; a new file is removed again. A failure is shown in a message box
// naming `path`.
BOOL TestLocalPathWritable(const std::string& path);

// Renames or moves one file or folder with the shell, silently. 1 for success.
BOOL ShellRenameFile(const std::string& oldPath, const std::string& newPath);

}  // namespace kova

#endif  // KOVA_FILES_LOCAL_FILES_H_
