// Publishing of the files a Lumaset session file depends on: each named file is
// copied into the Kova that holds the session file's folder, at the place it has
// inside its own Kova, together with the item copies that publishing rests on.
//
// This is the Kova-aware half of publishing and lives in the model because it
// works on CKova and CKovaItem; the shell's name lists and the shell call itself
// are in files/ (ShellOperationOnPaths), which sits below the model.
//
// Every function here works on the caller's thread, takes no lock and keeps
// nothing between calls. Only a path that lies in no Kova is explained to the
// user (a message box, caption "Corvanta", which the call waits for); every
// other failure is silent and seen only in the result.
#ifndef KOVA_MODEL_PUBLISHING_H_
#define KOVA_MODEL_PUBLISHING_H_

#include <string>

#include "shellapi.h"
#include "windows.h"

namespace kova {

class CKova;
class CKovaItem;
class CKovaItems;

// The shell flags of a published copy: replace what is there and create missing
// folders, without asking (528).
constexpr FILEOP_FLAGS kPublishShellFlags = FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
// The shell flags of the removal of staging folders (16).
constexpr FILEOP_FLAGS kStagingCleanUpShellFlags = FOF_NOCONFIRMATION;

// Copies the file `source` (a Kova path or a file-system path) into the Kova
// that contains `destinationFolder`, at the file's own place inside that Kova.
// Reads the Kova definitions afresh for this one call. When `destinationFolder`
// lies in no Kova (an empty one never does) a message box names the source and
// says the path is invalid (ERROR_BAD_PATHNAME), and nothing is copied. 1 when
// the file was copied.
BOOL PublishDependentFile(const std::string& source,
                          const std::string& destinationFolder);

// Copies `item` into `destinationKova` with its Kova root replaced, wherever it
// occurs in the path, by the destination's root. An item without a Kova, or whose
// Kova does not contain its path, is refused with the invalid-path message box
// naming the path. 0 without a destination Kova. 1 on success.
BOOL CopyItemToKova(const CKovaItem& item, CKova* destinationKova);

// Copies `items` to `destination`. Into an LDAP Kova each item is stored in turn,
// replacing what is there, up to the first that fails. Otherwise one shell copy
// with `flags` takes them all; an item of an LDAP Kova is first fetched into a
// staging folder of its own ("Dir" folder in the temporary folder), and every
// staging folder is removed afterwards, whatever the result. When a staging
// folder cannot be made nothing is copied and the result is 0. 1 on success.
BOOL CopyItems(const CKovaItems& items, const CKovaItem& destination, FILEOP_FLAGS flags);

// One shell operation (FO_COPY, FO_DELETE, ...) on the resolved paths of `items`,
// with the resolved path of `destination` as target when it is not null. 1 at
// once without items. Resolved paths longer than 260 characters, and empty ones,
// are refused and nothing is done (see ShellOperationOnPaths). Silent.
BOOL ShellOperationOnItems(const CKovaItems& items, const CKovaItem* destination,
                           UINT operation, FILEOP_FLAGS flags);

}  // namespace kova

#endif  // KOVA_MODEL_PUBLISHING_H_
