#include "files/local_files.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <string_view>

#include "common/path_text.h"
#include "common/text.h"
#include "files/error_message.h"
#include "shellapi.h"

namespace kova {
namespace {

// Buffer sizes of the shell's name lists: a name, its NUL and the list's NUL.
constexpr std::size_t kSingleNameListSize = MAX_PATH + 2;
constexpr std::size_t kRenameListSize = 520;
// Reads of the text copy: pieces of 519 bytes in a 520-byte buffer, so that
// every piece is NUL-terminated.
constexpr std::size_t kReadBufferSize = 520;
constexpr DWORD kReadPieceSize = kReadBufferSize - 1;
// Tries at a temporary folder name before giving up.
constexpr int kTempFolderAttempts = 64;

struct HandleCloser {
  void operator()(void* handle) const { CloseHandle(handle); }
};
using ScopedHandle = std::unique_ptr<void, HandleCloser>;

[[nodiscard]] ScopedHandle OpenFile(const std::string& path, DWORD access,
                                    DWORD disposition) {
  HANDLE handle = CreateFileA(path.c_str(), access, 0, nullptr, disposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  return ScopedHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

// Writes `name` into the zero-filled `buffer` as a double-NUL-terminated list of
// one name. A name that does not fit is refused (ERROR_FILENAME_EXCED_RANGE).
[[nodiscard]] bool FillNameList(const std::string& name, char* buffer, std::size_t size) {
  const std::string_view text(name.c_str());  // a list ends at the first NUL
  std::fill(buffer, buffer + size, '\0');
  if (text.size() + 2 > size) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return false;
  }
  std::copy(text.begin(), text.end(), buffer);
  return true;
}

// The names of `sources` packed one after the other, each with its NUL, in a
// zero-filled list of kShellNameSlot bytes per name and the list's closing NUL.
// Every name is checked before the list is built, so a refusal leaves nothing
// half done.
[[nodiscard]] bool BuildSourceList(const std::vector<std::string>& sources,
                                   std::vector<char>* list) {
  for (const std::string& source : sources) {
    const std::string_view text(source.c_str());
    if (text.empty()) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    if (text.size() > MAX_PATH) {
      SetLastError(ERROR_FILENAME_EXCED_RANGE);
      return false;
    }
  }
  list->assign(sources.size() * kShellNameSlot + 1, '\0');
  std::size_t at = 0;
  for (const std::string& source : sources) {
    const std::string_view text(source.c_str());
    std::copy(text.begin(), text.end(), list->begin() + static_cast<std::ptrdiff_t>(at));
    at += text.size() + 1;
  }
  return true;
}

// One shell operation without an owner window or progress title: 1 when it
// returned 0 and nothing was aborted.
[[nodiscard]] BOOL RunShellOperation(UINT function, const char* from, const char* to,
                                     FILEOP_FLAGS flags) {
  SHFILEOPSTRUCTA operation = {};
  operation.hwnd = nullptr;
  operation.wFunc = function;
  operation.pFrom = from;
  operation.pTo = to;
  operation.fFlags = flags;
  operation.lpszProgressTitle = nullptr;
  return SHFileOperationA(&operation) == 0 && !operation.fAnyOperationsAborted;
}

// A new, empty file with a unique name in the temporary folder; empty on failure.
std::string NewTempFile(const char* prefix) {
  char folder[MAX_PATH] = {};
  const DWORD length = GetTempPathA(MAX_PATH, folder);
  if (length == 0 || length >= MAX_PATH) return {};
  char name[MAX_PATH] = {};
  if (GetTempFileNameA(folder, prefix, 0, name) == 0) return {};
  return std::string(BoundedText(name, sizeof name));
}

}  // namespace

std::string CreateTempFileName() { return NewTempFile("lda"); }

// The reserving file makes the name unique among files only: a folder of that
// name may be left from an earlier call whose reserving file is gone. The folder
// is therefore created exclusively, and a name whose folder exists is passed over,
// so that two callers never share one folder.
std::string CreateTempDirectory() {
  for (int attempt = 0; attempt < kTempFolderAttempts; ++attempt) {
    const std::string reserving = NewTempFile("Dir");
    if (reserving.empty()) return {};
    const std::string folder = StripExtension(reserving);
    const bool created = CreateDirectoryA(folder.c_str(), nullptr) != FALSE;
    const DWORD error = GetLastError();
    DeleteFileA(reserving.c_str());
    if (created) return folder + "\\";
    if (error != ERROR_ALREADY_EXISTS) {
      SetLastError(error);
      return {};
    }
  }
  SetLastError(ERROR_FILE_EXISTS);
  return {};
}

// A path without a folder part names no containing folder; it is refused rather
// than deleting the path itself or the current folder.
BOOL DeleteContainingDirectory(const std::string& path) {
  const std::string folder = ParentPath(path);
  if (folder.empty() || folder == StripTrailingBackslash(path)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  char from[kSingleNameListSize];
  if (!FillNameList(folder, from, sizeof from)) return FALSE;
  return RunShellOperation(FO_DELETE, from, nullptr, FOF_NOCONFIRMATION);
}

std::string ReadAllText(const std::string& localPath) {
  const ScopedHandle file = OpenFile(localPath, GENERIC_READ, OPEN_EXISTING);
  if (file == nullptr) return {};
  std::string text;
  char buffer[kReadBufferSize];
  while (true) {
    std::fill(buffer, buffer + sizeof buffer, '\0');
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, kReadPieceSize, &read, nullptr) || read == 0) break;
    text.append(BoundedText(buffer, sizeof buffer));
  }
  return text;
}

BOOL TestLocalPathWritable(const std::string& path) {
  std::string probe = path;
  DWORD attributes = GetFileAttributesA(probe.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    probe = StripTrailingBackslash(path) + "\\" + kWritableProbeFileName;
    attributes = GetFileAttributesA(probe.c_str());
  }
  const bool existed = attributes != INVALID_FILE_ATTRIBUTES;

  ScopedHandle file = OpenFile(probe, GENERIC_WRITE, OPEN_ALWAYS);
  if (file == nullptr) {
    ComposeErrorMessage(GetLastError(), path.c_str(), kMessageCaption, nullptr);
    return FALSE;
  }
  // OPEN_ALWAYS tells whether it opened an existing file: one that appeared since
  // the attribute test belongs to someone else and is kept.
  const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
  file.reset();  // the handle shares nothing: close it before the delete
  if (!existed && created) DeleteFileA(probe.c_str());
  return TRUE;
}

BOOL ShellRenameFile(const std::string& oldPath, const std::string& newPath) {
  char from[kRenameListSize];
  char to[kRenameListSize];
  if (!FillNameList(oldPath, from, sizeof from) || !FillNameList(newPath, to, sizeof to))
    return FALSE;
  return RunShellOperation(FO_RENAME, from, to, FOF_SILENT);
}

// The target has two bytes beyond its 260 characters, so that a name of full
// length still ends in the double NUL the shell reads up to.
BOOL ShellOperationOnPaths(const std::vector<std::string>& sources,
                           const std::string* destination, UINT operation,
                           FILEOP_FLAGS flags) {
  if (sources.empty()) return TRUE;
  std::vector<char> from;
  if (!BuildSourceList(sources, &from)) return FALSE;
  char to[kSingleNameListSize];
  if (destination != nullptr && !FillNameList(*destination, to, sizeof to)) return FALSE;
  return RunShellOperation(operation, from.data(), destination != nullptr ? to : nullptr,
                           flags);
}

}  // namespace kova
