// FindFirstFileA, FindNextFileA, FindClose and the platform's wildcard matching.
// Pinned by find_file_test.cc.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/handle_table.h"
#include "base/os_path.h"
#include "base/posix_error.h"
#include "errhandlingapi.h"
#include "fileapi.h"
#include "files/files_internal.h"
#include "winerror.h"

namespace kova::platform {
namespace {

// The platform rewrites a search pattern before matching it: '?' becomes a
// DOS question mark, '*' before a '.' a DOS star, and '.' before '?', '*' or the
// end a DOS dot. Plain characters keep their (non-negative) byte value.
enum Token : int { kStar = -1, kDosStar = -2, kDosQuestion = -3, kDosDot = -4 };

std::vector<int> Tokenize(std::string_view pattern) {
  if (pattern == "*.*") pattern = "*";
  std::vector<int> tokens;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (c == '?') {
      tokens.push_back(kDosQuestion);
    } else if (c == '*') {
      tokens.push_back(next == '.' ? kDosStar : kStar);
    } else if (c == '.' && (next == '?' || next == '*' || next == '\0')) {
      tokens.push_back(kDosDot);
    } else {
      tokens.push_back(static_cast<unsigned char>(c));
    }
  }
  return tokens;
}

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

class Matcher {
 public:
  Matcher(const std::vector<int>& tokens, std::string_view name)
      : tokens_(tokens),
        name_(name),
        last_dot_(name.rfind('.')),
        memo_((tokens.size() + 1) * (name.size() + 1), kUnknown) {}

  bool Matches(std::size_t t, std::size_t n) {
    char& memo = memo_[t * (name_.size() + 1) + n];
    if (memo == kUnknown) memo = Compute(t, n) ? kYes : kNo;
    return memo == kYes;
  }

 private:
  static constexpr char kUnknown = 0, kYes = 1, kNo = 2;

  bool Compute(std::size_t t, std::size_t n) {
    const bool at_end = n == name_.size();
    if (t == tokens_.size()) return at_end;
    switch (tokens_[t]) {
      case kStar:
        return Matches(t + 1, n) || (!at_end && Matches(t, n + 1));
      case kDosStar:
        // Any characters, but never the name's last dot.
        return Matches(t + 1, n) ||
               (!at_end && (last_dot_ == std::string_view::npos || n < last_dot_) &&
                Matches(t, n + 1));
      case kDosQuestion: {
        if (!at_end && name_[n] != '.') return Matches(t + 1, n + 1);
        std::size_t after = t;
        while (after < tokens_.size() && tokens_[after] == kDosQuestion) ++after;
        return Matches(after, n);
      }
      case kDosDot:
        if (at_end) return Matches(t + 1, n);
        return name_[n] == '.' && Matches(t + 1, n + 1);
      default:
        return !at_end && FoldCase(static_cast<char>(tokens_[t])) == FoldCase(name_[n]) &&
               Matches(t + 1, n + 1);
    }
  }

  const std::vector<int>& tokens_;
  std::string_view name_;
  std::size_t last_dot_;
  std::vector<char> memo_;
};

class FindObject : public KernelObject {
 public:
  // `order` lists the indexes of `entries` in the order they are handed out.
  FindObject(std::vector<WIN32_FIND_DATAA> entries, std::vector<std::uint32_t> order)
      : KernelObject(Kind::kFind),
        entries_(std::move(entries)),
        order_(std::move(order)) {}
  bool Next(WIN32_FIND_DATAA* data) {
    if (next_ >= order_.size()) return false;
    *data = entries_[order_[next_++]];
    return true;
  }

 private:
  std::vector<WIN32_FIND_DATAA> entries_;
  std::vector<std::uint32_t> order_;
  std::size_t next_ = 0;
};

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

WIN32_FIND_DATAA EntryData(const std::string& name, const struct stat& st) {
  WIN32_FIND_DATAA data;
  std::memset(&data, 0, sizeof data);
  data.dwFileAttributes = AttributesFromStat(st);
  // The OS keeps no creation time everywhere: the modification time stands in.
  data.ftCreationTime = FileTimeFromTimespec(st.st_mtim);
  data.ftLastAccessTime = FileTimeFromTimespec(st.st_atim);
  data.ftLastWriteTime = FileTimeFromTimespec(st.st_mtim);
  if (!S_ISDIR(st.st_mode)) {
    const auto size = static_cast<unsigned long long>(st.st_size);
    data.nFileSizeHigh = static_cast<DWORD>(size >> 32);
    data.nFileSizeLow = static_cast<DWORD>(size);
  }
  std::memcpy(data.cFileName, name.data(), name.size());  // NUL from the memset
  return data;
}

// The key that orders a listing as the platform's file system lists it: "." and
// ".." first, the rest without regard to case. Keys compare bytewise, so a large
// folder is sorted without folding names again in every comparison.
std::string ListingKey(const char* name) {
  if (std::strcmp(name, ".") == 0) return std::string(1, '\0');
  if (std::strcmp(name, "..") == 0) return std::string(1, '\1');
  std::string key(1, '\2');
  for (const char* c = name; *c != '\0'; ++c) key += FoldCase(*c);
  return key;
}

// The indexes of `entries` in listing order.
std::vector<std::uint32_t> ListingOrder(const std::vector<WIN32_FIND_DATAA>& entries) {
  std::vector<std::pair<std::string, std::uint32_t>> keys;
  keys.reserve(entries.size());
  for (std::uint32_t i = 0; i < entries.size(); ++i) {
    keys.emplace_back(ListingKey(entries[i].cFileName), i);
  }
  std::sort(keys.begin(), keys.end());
  std::vector<std::uint32_t> order;
  order.reserve(keys.size());
  for (const auto& key : keys) order.push_back(key.second);
  return order;
}

}  // namespace

bool HasWildcards(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

bool MatchesFilePattern(std::string_view pattern, std::string_view name) {
  const std::vector<int> tokens = Tokenize(pattern);
  return Matcher(tokens, name).Matches(0, 0);
}

}  // namespace kova::platform

namespace kp = kova::platform;

// The folder is read once, at the first call: the entries that match the last
// element of lpFileName, "." and ".." included (except at the root, which has
// none on the platform). ERROR_FILE_NOT_FOUND when nothing matches in an existing
// folder, ERROR_PATH_NOT_FOUND when the folder is missing. The alternate (short)
// name is always empty.
extern "C" HANDLE WINAPI FindFirstFileA(LPCSTR lpFileName,
                                        LPWIN32_FIND_DATAA lpFindFileData) {
  if (lpFileName == nullptr || lpFindFileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  const std::string path = kp::ToOsPath(lpFileName);
  const std::string::size_type slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : path.substr(0, slash);
  const std::string pattern = slash == std::string::npos ? path : path.substr(slash + 1);
  std::unique_ptr<DIR, kp::DirCloser> dir(opendir(folder.c_str()));
  if (!dir) {
    SetLastError(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                     : kp::WindowsErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  std::vector<WIN32_FIND_DATAA> entries;
  if (!pattern.empty()) {
    const std::vector<int> tokens = kp::Tokenize(pattern);
    const bool root = folder == "/";
    while (struct dirent* entry = readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name.size() >= MAX_PATH || (root && (name == "." || name == ".."))) continue;
      if (!kp::Matcher(tokens, name).Matches(0, 0)) continue;
      struct stat st;
      if (fstatat(dirfd(dir.get()), name.c_str(), &st, 0) != 0 &&
          fstatat(dirfd(dir.get()), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        continue;  // removed meanwhile
      entries.push_back(kp::EntryData(name, st));
    }
  }
  if (entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::vector<std::uint32_t> order = kp::ListingOrder(entries);
  auto find = std::make_unique<kp::FindObject>(std::move(entries), std::move(order));
  (void)find->Next(lpFindFileData);
  return kp::RegisterHandle(std::move(find));
}

// FALSE with ERROR_NO_MORE_FILES after the last entry.
extern "C" BOOL WINAPI FindNextFileA(HANDLE hFindFile,
                                     LPWIN32_FIND_DATAA lpFindFileData) {
  auto* find = static_cast<kp::FindObject*>(
      kp::LookUpHandle(hFindFile, kp::KernelObject::Kind::kFind));
  if (find == nullptr) return FALSE;
  if (lpFindFileData == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (find->Next(lpFindFileData)) return TRUE;
  SetLastError(ERROR_NO_MORE_FILES);
  return FALSE;
}

extern "C" BOOL WINAPI FindClose(HANDLE hFindFile) {
  return kp::CloseHandleOfKind(hFindFile, kp::KernelObject::Kind::kFind);
}
