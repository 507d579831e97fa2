#include "macros/replacer_rules.h"

#include <array>

#include "common/path_text.h"
#include "macros/replacer_sources.h"
#include "macros/replacers.h"

namespace kova {

namespace {

namespace src = replacer_sources;

std::string Slot(const CReplacers& replacers, ReplacerSlot slot) {
  return replacers.GetSlot(slot);
}

std::string StrippedSlot(const CReplacers& replacers, ReplacerSlot slot) {
  return StripTrailingBackslash(replacers.GetSlot(slot));
}

std::optional<std::string> LanguageExtension(CReplacers& r) {
  const std::string code = Slot(r, ReplacerSlot::kLanguageCode);
  if (code.empty()) return "";
  return "." + code;
}

std::optional<std::string> DotLanguageCodeDot(CReplacers& r) {
  const std::string code = Slot(r, ReplacerSlot::kLanguageCode);
  if (code.empty()) return "";
  return "." + code + ".";
}

std::optional<std::string> LanguageCode(CReplacers& r) {
  return Slot(r, ReplacerSlot::kLanguageCode);
}

std::optional<std::string> ProgramFiles(CReplacers&) { return src::ProgramFilesDir(); }

std::optional<std::string> DeployRunPath(CReplacers&) {
  return src::DeploymentServerPath();
}

std::optional<std::string> Rundll32Path(CReplacers&) { return src::Rundll32Path(); }

std::optional<std::string> FatUserDir(CReplacers&) {
  return StripTrailingBackslash(
      src::VersionSearch("UserDir", src::ProductDirectoryKeys()).value_or(""));
}

std::optional<std::string> FatHomeDir(CReplacers&) {
  std::optional<std::string> home =
      src::VersionSearch("HomeDir", src::HomeDirectoryKeys());
  if (!home) return std::nullopt;
  return StripTrailingBackslash(*home);
}

// The registered home directory, else the application directory. The nested
// expansions cannot recurse further: neither text holds this rule's name.
std::optional<std::string> FatOrThinHomeDir(CReplacers& r) {
  constexpr char kFatHomeDir[] = "$FATHOMEDIR$";
  std::string text = kFatHomeDir;
  r.Expand(text);
  if (text != kFatHomeDir) return text;
  text = "$APPDIR$";
  r.Expand(text);
  return text;
}

std::optional<std::string> UserName(CReplacers&) { return src::UserName(); }

// Handed on to $APPDIR$, which comes next.
std::optional<std::string> AppDirX86Alias(CReplacers&) { return "$APPDIR$"; }

std::optional<std::string> AppDir(CReplacers& r) {
  return StrippedSlot(r, ReplacerSlot::kAppDir);
}

std::optional<std::string> Empty(CReplacers&) { return ""; }

std::optional<std::string> AppDirShortName(CReplacers& r) {
  const std::string dir = StrippedSlot(r, ReplacerSlot::kAppDir);
  return src::ShortPath(dir).value_or(dir);
}

std::optional<std::string> BrevoxHomeDir(CReplacers& r) {
  std::string dir = Slot(r, ReplacerSlot::kAppDir);
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  return dir + "Brevox";
}

std::optional<std::string> SysDir(CReplacers&) { return src::SystemDirectory(); }
std::optional<std::string> WinDrive(CReplacers&) { return src::WindowsDrive(); }
std::optional<std::string> TempDir(CReplacers&) { return src::TempDirectory(); }

std::optional<std::string> Organization(CReplacers& r) {
  return Slot(r, ReplacerSlot::kOrganization);
}

std::optional<std::string> UserDir(CReplacers& r) {
  return StrippedSlot(r, ReplacerSlot::kUserDir);
}

std::optional<std::string> UserDirParent(CReplacers& r) {
  return ParentPath(StrippedSlot(r, ReplacerSlot::kUserDir));
}

std::optional<std::string> ProfileDir(CReplacers& r) {
  return StrippedSlot(r, ReplacerSlot::kProfileDir);
}

std::optional<std::string> UserAppData(CReplacers&) { return src::AppDataFolder(false); }
std::optional<std::string> AllUsersAppData(CReplacers&) {
  return src::AppDataFolder(true);
}

std::optional<std::string> Desktop(CReplacers&) {
  return src::ShellFolder("Desktop", false);
}
std::optional<std::string> StartMenu(CReplacers&) {
  return src::ShellFolder("Start Menu", false);
}
std::optional<std::string> Programs(CReplacers&) {
  return src::ShellFolder("Programs", false);
}

// An all-users folder, else the user's own.
std::string CommonOrUserFolder(const char* common, const char* user) {
  std::string folder = src::ShellFolder(common, true);
  if (folder.empty()) folder = src::ShellFolder(user, false);
  return folder;
}

std::optional<std::string> AllUsersDesktop(CReplacers&) {
  return CommonOrUserFolder("Common Desktop", "Desktop");
}
std::optional<std::string> AllUsersStartMenu(CReplacers&) {
  return CommonOrUserFolder("Common Start Menu", "Start Menu");
}
std::optional<std::string> AllUsersPrograms(CReplacers&) {
  return CommonOrUserFolder("Common Programs", "Programs");
}

std::optional<std::string> MyDocuments(CReplacers&) { return src::DocumentsFolder(); }

// Inserted $APPDIRX86$ names a 32-bit program folder: on a 64-bit machine such
// programs live below "Program Files (x86)".
void WidenUnlessX86(std::string& text) {
  if (!src::IsX86Machine()) WidenProgramFiles(text);
}

std::optional<std::string> FtpUserName(CReplacers& r) {
  std::string name = Slot(r, ReplacerSlot::kFtpUserName);
  if (name.empty()) return std::nullopt;
  return name;
}

std::optional<std::string> WindowsMediaDir(CReplacers&) {
  return src::DefaultSoundFolder();
}

constexpr std::array<ReplacerRule, 35> kRules = {{
    {"$LANGUAGE_EXTENSION$", LanguageExtension, nullptr},
    {"$DOT_LANGUAGECODE_DOT$", DotLanguageCodeDot, nullptr},
    {"$LANGUAGE_CODE$", LanguageCode, nullptr},
    {"$PROGRAMFILES$", ProgramFiles, nullptr},
    {"$DEPLOYRUNPATH$", DeployRunPath, nullptr},
    {"$RUNDLL32PATH$", Rundll32Path, nullptr},
    {"$FATUSERDIR$", FatUserDir, nullptr},
    {"$FATHOMEDIR$", FatHomeDir, nullptr},
    {"$FATORTHINHOMEDIR$", FatOrThinHomeDir, nullptr},
    {"$USERNAME$", UserName, nullptr},
    {"$APPDIRX86$", AppDirX86Alias, nullptr},
    {"$APPDIR$", AppDir, nullptr},
    {"$X86SUBDIR$", Empty, nullptr},
    {"$APPDIR_SHORTNAME$", AppDirShortName, nullptr},
    {"$BREVOXHOMEDIR$", BrevoxHomeDir, nullptr},
    {"$SYSDIR$", SysDir, nullptr},
    {"$WINDRIVE$", WinDrive, nullptr},
    {"$TEMPDIR$", TempDir, nullptr},
    {"$ORGANIZATION$", Organization, nullptr},
    {"$USERDIR$", UserDir, nullptr},
    {"$USERDIR_PARENT$", UserDirParent, nullptr},
    {"$USERDIRPARENT$", UserDirParent, nullptr},
    {"$PROFILEDIR$", ProfileDir, nullptr},
    {"$USERWINAPPDATA$", UserAppData, nullptr},
    {"$ALLUSERWINAPPDATA$", AllUsersAppData, nullptr},
    {"$DESKTOP$", Desktop, nullptr},
    {"$ALLUSER-DESKTOP$", AllUsersDesktop, nullptr},
    {"$STARTMENU$", StartMenu, nullptr},
    {"$STARTMENU-PROGRAMS$", Programs, nullptr},
    {"$ALLUSER-STARTMENU$", AllUsersStartMenu, nullptr},
    {"$ALLUSER-STARTMENU-PROGRAMS$", AllUsersPrograms, nullptr},
    {"$MYDOCUMENTS$", MyDocuments, nullptr},
    {"$APPDIRX86$", AppDir, WidenUnlessX86},
    {"$FTPUSERNAME$", FtpUserName, nullptr},
    {"$WINDOWSMEDIADIR$", WindowsMediaDir, nullptr},
}};

}  // namespace

std::span<const ReplacerRule> ReplacerRules() { return kRules; }

std::size_t ReplaceAll(std::string& text, std::string_view name, std::string_view value) {
  if (name.empty()) return 0;
  std::size_t count = 0;
  for (std::size_t at = text.find(name); at != std::string::npos;
       at = text.find(name, at + value.size())) {
    text.replace(at, name.size(), value);
    ++count;
  }
  return count;
}

void WidenProgramFiles(std::string& text) {
  constexpr std::string_view kPlain = "Program Files";
  constexpr std::string_view kWide = "Program Files (x86)";
  for (std::size_t at = text.find(kPlain); at != std::string::npos;
       at = text.find(kPlain, at + kWide.size())) {
    if (text.compare(at, kWide.size(), kWide) == 0) continue;
    text.replace(at, kPlain.size(), kWide);
  }
}

}  // namespace kova
