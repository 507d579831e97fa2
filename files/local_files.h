// Operations on local files and folders that the Kovas and the LDAP storage
// share: temporary files and folders, text copies, the writability probe and
// the shell's rename, delete and list operations.
#ifndef KOVA_FILES_LOCAL_FILES_H_
#define KOVA_FILES_LOCAL_FILES_H_

#include <cstddef>
#include <string>
#include <vector>

#include "shellapi.h"
#include "windows.h"

namespace kova {

// The name of the probe file the writability test creates in a folder.
constexpr char kWritableProbeFileName[] = "____Test____Writable____File___.twr";

// A new, empty temporary file ("lda" prefix, ".tmp" extension, mode 0600) in
// the temporary folder; the caller owns and deletes it. Empty text on failure.
std::string CreateTempFileName();
// A new, empty temporary folder ("Dir" prefix), with a trailing backslash; the
// reserving file that made its name unique is deleted again. The folder is
// created exclusively: a name whose folder is left from an earlier call is
// passed over, so two callers never share a folder. Empty text on failure (last
// error set; ERROR_FILE_EXISTS when every name tried was taken).
std::string CreateTempDirectory();
// Deletes the folder holding `path` (its ParentPath), with everything in it,
// without asking. 1 for success. Refused (0, nothing deleted) when `path` has no
// folder part (ERROR_INVALID_PARAMETER) or the folder is longer than 260
// characters (ERROR_FILENAME_EXCED_RANGE).
BOOL DeleteContainingDirectory(const std::string& path);

// The whole of `localPath` as text, read in 519-byte pieces each cut at its
// first zero byte (so zero bytes and what follows them within a piece are
// lost); empty when the file cannot be opened. The file is opened without
// sharing: a file another handle holds reads as empty.
std::string ReadAllText(const std::string& localPath);

// Whether `path` (a file, or a folder through the probe file in it) can be
// opened for writing; nothing is written. A probe or file created by the test is
// deleted again, one that existed is kept. A failure is shown in a message box
// (caption "Corvanta") naming `path` and the system's reason; the call returns
// when the box is closed.
BOOL TestLocalPathWritable(const std::string& path);

// Renames or moves one file or folder with the shell, silently; an existing
// `newPath` is not replaced. 1 for success. Paths longer than 518 characters are
// refused (ERROR_FILENAME_EXCED_RANGE) before the shell is called.
BOOL ShellRenameFile(const std::string& oldPath, const std::string& newPath);

// The place of one name in the source list of ShellOperationOnPaths: a path of
// up to MAX_PATH characters and its NUL.
constexpr std::size_t kShellNameSlot = MAX_PATH + 1;

// One shell operation (`operation` is FO_COPY, FO_DELETE, ...) on `sources`, with
// `destination` as its target when it is not null; no owner window, no progress
// title, `flags` as given. 1 at once when `sources` is empty; otherwise 1 when
// the shell returned 0 and aborted nothing. The sources go, in order, into one
// zero-filled list of kShellNameSlot bytes per name and a closing NUL, each name
// followed by its NUL; the target into a list of its own. A name is taken up to
// its first NUL. Refused before the shell is called, doing nothing at all: a
// name longer than MAX_PATH characters (ERROR_FILENAME_EXCED_RANGE; it would not
// fit its slot) and an empty name (ERROR_INVALID_PARAMETER; it would end the list
// and silently drop the names after it). Failures are silent.
BOOL ShellOperationOnPaths(const std::vector<std::string>& sources,
                           const std::string* destination, UINT operation,
                           FILEOP_FLAGS flags);

}  // namespace kova

#endif  // KOVA_FILES_LOCAL_FILES_H_
