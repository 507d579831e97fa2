// The sources that replacer values come from: registry values, shell folders and
// system queries. Each call reads its source afresh; none of them fails: an
// unavailable source gives the fallback that its replacer documents.
#ifndef KOVA_MACROS_REPLACER_SOURCES_H_
#define KOVA_MACROS_REPLACER_SOURCES_H_

#include <optional>
#include <span>
#include <string>

namespace kova::replacer_sources {

// System queries write into buffers of this many characters; a longer result
// does not fit and counts as unavailable.
constexpr unsigned kApiBufferSize = 260;

// The registry keys of the version searches: the eight product-directory keys
// (newest release first), which are also the first eight of the twenty
// home-directory keys.
std::span<const char* const> ProductDirectoryKeys();
std::span<const char* const> HomeDirectoryKeys();

// The first non-empty `value_name` of the keys in order, each tried under
// HKEY_CURRENT_USER and then HKEY_LOCAL_MACHINE; nullopt when there is none.
std::optional<std::string> VersionSearch(const char* value_name,
                                         std::span<const char* const> keys);

// "ProgramFilesDir" of the machine's CurrentVersion key; nullopt when the key does
// not open, the empty text when it opens but the value cannot be read.
std::optional<std::string> ProgramFilesDir();

// The in-process server path of the deployment component, short form when there
// is one; the user's registration comes before the machine's. nullopt when
// neither key opens.
std::optional<std::string> DeploymentServerPath();

// The short form of `path`, or nullopt when it has none or it does not fit.
std::optional<std::string> ShortPath(const std::string& path);

// True on the platform family whose version reports bit 0 of the platform id.
bool IsWin9xFamily();

// The system and Windows directories as returned, the temporary folder without
// its trailing backslash; the empty text when the query fails or does not fit.
std::string SystemDirectory();
std::string WindowsDirectory();
std::string TempDirectory();

// The Windows directory up to and including its first colon ("C:"), or the whole
// directory when it has no colon.
std::string WindowsDrive();

// rundll32.exe in the system directory (the Windows directory on the 9x family).
std::string Rundll32Path();

// The login name, or "User" when it cannot be determined.
std::string UserName();

// A value of the "Shell Folders" key as stored: the user's, or the all-users one
// (read from the machine hive, except on the 9x family); empty when missing.
std::string ShellFolder(const char* folder, bool all_users);

// The application-data folder of the user or of all users, with the fallbacks of
// the "Common Start Menu" sibling (which creates the folder) and the drive.
std::string AppDataFolder(bool all_users);

// The user's documents folder through the shell, empty when it cannot be resolved.
std::string DocumentsFolder();

// True only when the machine's PROCESSOR_ARCHITECTURE is exactly "x86".
bool IsX86Machine();

// The folder of the default sound file of the exclamation (else start-up) event,
// or the whole value when it has no backslash; empty when neither is set.
std::string DefaultSoundFolder();

}  // namespace kova::replacer_sources

#endif  // KOVA_MACROS_REPLACER_SOURCES_H_
