// The LDAP back end of one Kova path: connection and credentials, the layout of
// folders and files as directory entries, and the transfer of contents between
// entries and local files.
#ifndef KOVA_LDAP_LDAP_DIRECTORY_H_
#define KOVA_LDAP_LDAP_DIRECTORY_H_

#include <memory>
#include <string>
#include <vector>

#include "ldap/ldap_api.h"
#include "ldap/ldap_settings.h"
#include "ldap/ldap_shared_info.h"
#include "windows.h"

namespace kova {

class CLDAPItems;

// LDAP result codes the back end uses itself.
constexpr ULONG kLDAPServerDown = 81;    // unusable after an earlier failure
constexpr ULONG kLDAPUserCancelled = 88;  // credentials prompt cancelled or refused
constexpr ULONG kLDAPParamError = 89;    // bad argument

// Every operation returns 1 for success and 0 for failure unless it says
// otherwise; an `errorText` (may be null) receives the message of a failure.
// Used from the client's thread only.
class CLDAPDirectory {
 public:
  // Loads the LDAP client library. `settings` (not owned) are the path's; null
  // gives the object empty settings of its own. `kovaName` names the LDAP
  // information block shared by every process working with that Kova.
  CLDAPDirectory(LDAPSettings* settings, const std::string& kovaName);
  CLDAPDirectory(const CLDAPDirectory&) = delete;
  CLDAPDirectory& operator=(const CLDAPDirectory&) = delete;
  virtual ~CLDAPDirectory();

  // --- Connection and credentials ---

  // Ensures a bound session, prompting for credentials where the settings say.
  BOOL Connect(std::string* errorText);
  BOOL Disconnect();
  // The last error (the shared one when set) as a system error code.
  DWORD GetCurrentError();
  // "LDAP: " and the system text for GetCurrentError().
  std::string GetErrorText();
  // Records `code`; with `show` also as the shared last error and in a box.
  void ReportError(ULONG code, BOOL show, std::string* errorText);
  void SetUserName(const std::string& userName);
  void SetPassword(const std::string& password);
  const std::string& GetUserName() const { return settings_->userName; }
  const std::string& GetPassword() const { return settings_->password; }
  const std::string& GetHost() const { return settings_->host; }

  // --- Directory layout ---

  // Effective naming settings: the path's value, else the default.
  std::string FolderAttributeName() const;
  std::string FolderObjectClass() const;
  std::string FileAttributeName() const;
  std::string FileObjectClass() const;
  std::string FileContentsAttributeName() const;

  // "<base DN>\a\b\file.ext" to "CN=file.ext,CN=b,CN=a,<base DN>".
  std::string PathToDN(const std::string& pathText) const;
  BOOL ParseDN(const std::string& dn, std::string* name, DWORD* folder);
  BOOL IsFolderDN(const std::string& dn);
  // Fills `items` (emptied first) with the folder's children; returns the number
  // of entries the search returned, 0 when it failed.
  int ListChildren(const std::string& folderDn, CLDAPItems* items,
                   const std::string* displayPrefix);
  // ListChildren in a session of its own; returns the number of items.
  int ListChildrenConnected(const std::string& folderDn, CLDAPItems* items,
                            const std::string* displayPrefix);
  BOOL Exists(const std::string& dn, std::string* errorText);
  BOOL CreateFolder(const std::string& dn, const std::string& name,
                    std::string* errorText);
  BOOL CreateFolderUnder(const std::string& pathText, std::string* parentDn,
                         std::string* errorText, BOOL update);
  BOOL EnsureAncestors(const std::string& dn, BOOL manageSession, std::string* errorText);

  // --- File transfer (each in a session of its own) ---

  // A new local cache file with the entry's contents; empty text on failure.
  std::string FetchToTempFile(const std::string& dn);
  // Stores `localPath` back into `dn` when `writeBack` is set; removes it.
  BOOL ReleaseCacheFile(const std::string& dn, const std::string& localPath,
                        BOOL writeBack, std::string* errorText);
  BOOL FileExists(const std::string& dn, std::string* errorText);
  BOOL IsWritable(const std::string& dn, std::string* errorText);
  BOOL RemoveEntry(const std::string& dn);
  BOOL RenameEntry(const std::string& oldDn, const std::string& newDn,
                   std::string* errorText);
  BOOL CopyToLocal(const std::string& dn, const std::string& localPath,
                   std::string* errorText);
  BOOL CopyWithin(const std::string& sourceDn, const std::string& targetDn,
                  std::string* errorText);
  BOOL CopyFromLocal(const std::string& localPath, const std::string& dn,
                     std::string* errorText);

 private:
  // The members below are those of the connection; the layout and transfer
  // code declares its building blocks here too.

  // How one bind attempt ended: kRetry when the credentials were refused and the
  // user is to be asked again.
  enum class BindOutcome { kBound, kFailed, kRetry };
  // TRUE when a bind may be attempted; prompts where the settings say, and always
  // (for simple binds) with `mustPrompt`.
  BOOL EnsureCredentials(bool mustPrompt);
  // TRUE when the prompt component confirmed; its values are then stored.
  BOOL PromptForCredentials(const std::string& userName, const std::string& password);
  BindOutcome Bind(std::string* errorText);
  // Closes the session of a failed attempt and marks the object unusable.
  void Reset();

  LDAPApi api_;
  LDAP* session_ = nullptr;
  BOOL connected_ = FALSE;
  std::string searchFilter_ = "(objectClass=*)";
  BOOL usable_ = TRUE;
  LDAPSettings* settings_ = nullptr;
  std::unique_ptr<LDAPSettings> ownSettings_;
  ULONG currentError_ = 0;
  CLDAPSharedInfo sharedInfo_;

  // --- Layout and transfer building blocks (they expect an open session) ---

  // Opens a session for one operation when none is open, and closes only a
  // session it opened, so that operations nest.
  class OperationSession {
   public:
    OperationSession(CLDAPDirectory* directory, BOOL manage, std::string* errorText);
    ~OperationSession();
    OperationSession(const OperationSession&) = delete;
    OperationSession& operator=(const OperationSession&) = delete;
    BOOL ok() const { return ok_; }

   private:
    CLDAPDirectory* directory_;
    BOOL ok_ = TRUE;
    BOOL opened_ = FALSE;
  };

  // The RDNs of `dn` with their types; FALSE when it cannot be split.
  [[nodiscard]] BOOL ExplodeDN(const std::string& dn, std::vector<std::string>* rdns);
  // The result code of a search for the entry `dn` alone, asking for no values.
  [[nodiscard]] ULONG SearchEntry(const std::string& dn);
  // ListChildren that also hands back the search's result code.
  int ListChildrenChecked(const std::string& folderDn, CLDAPItems* items,
                          const std::string* displayPrefix, ULONG* code);
  // EnsureAncestors that appends the DN of every folder it created to `created`
  // (may be null), nearest the root first.
  BOOL EnsureAncestorsRecorded(const std::string& dn, BOOL manageSession,
                               std::string* errorText, std::vector<std::string>* created);
  // Deletes folders EnsureAncestorsRecorded created, deepest first.
  void RemoveCreatedFolders(const std::vector<std::string>& created);

  // The last contents value of entry `dn` (empty when it has none); FALSE when
  // the search failed, `code` (may be null) receiving its result.
  [[nodiscard]] BOOL ReadContents(const std::string& dn, std::string* contents,
                                  ULONG* code);
  [[nodiscard]] ULONG AddFileEntry(const std::string& dn, const std::string& fileName,
                                   const std::string& bytes);
  [[nodiscard]] ULONG ReplaceContents(const std::string& dn, const std::string& bytes);
  BOOL StoreContents(const std::string& dn, const std::string& fileName,
                     const std::string& bytes, BOOL build, std::string* errorText,
                     std::vector<std::string>* created = nullptr);
  BOOL StoreDataToDN(const std::string& dn, const std::string& bytes,
                     std::string* errorText, std::vector<std::string>* created = nullptr);
  BOOL StoreFileFromDisk(const std::string& localPath, const std::string& dn,
                         BOOL manageSession, BOOL build, std::string* errorText);
  BOOL UploadFile(const std::string& dn, const std::string& localPath,
                  std::string* errorText);
  BOOL FetchToFile(const std::string& dn, const std::string& localPath,
                   BOOL manageSession, std::string* errorText);
  // Tree copies return 1 only when every entry was transferred; a failed entry
  // does not stop the walk.
  BOOL CopyTreeToLocal(const std::string& folderDn, const std::string& localFolder,
                       BOOL manageSession, std::string* errorText);
  BOOL CopyTreeToLocalRoot(const std::string& folderDn, const std::string& localFolder,
                           BOOL manageSession, std::string* errorText);
  BOOL CopyChildrenToLocal(const std::string& folderDn, const std::string& localFolder,
                           BOOL folderIfEmpty, int depth, std::string* errorText);
  // Mode 2 puts a folder named after `localFolder` below `parentDn`; any other
  // mode copies the folder's contents into `parentDn` itself.
  BOOL UploadTree(const std::string& localFolder, const std::string& parentDn, int mode,
                  BOOL manageSession, std::string* errorText);
  BOOL UploadDirectory(const std::string& localFolder, const std::string& dn, int depth,
                       std::string* errorText);
  BOOL CopyTreeViaTemp(const std::string& sourceDn, const std::string& targetDn, int mode,
                       BOOL manageSession, std::string* errorText);
  BOOL Rename(const std::string& oldDn, const std::string& newDn, std::string* errorText);
  BOOL DeleteEntry(const std::string& dn, std::string* errorText);
  BOOL DeleteTree(const std::string& dn, std::string* errorText);
  // Whether the directory table is usable; every call through it checks first.
  BOOL ApiReady() const { return api_.IsLoaded(); }
};

}  // namespace kova

#endif  // KOVA_LDAP_LDAP_DIRECTORY_H_
