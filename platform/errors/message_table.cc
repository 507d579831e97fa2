#include "errors/message_table.h"

#include "winerror.h"

namespace kova::platform {
namespace {

struct MessageRow {
  DWORD code;
  const char* text;
};

// One text per code, used everywhere a code is shown to a person.
constexpr MessageRow kMessages[] = {
    {ERROR_SUCCESS, "The operation succeeded.\r\n"},
    {ERROR_INVALID_FUNCTION, "The function is not valid for this object.\r\n"},
    {ERROR_FILE_NOT_FOUND, "No file of that name was found.\r\n"},
    {ERROR_PATH_NOT_FOUND, "No folder on that path was found.\r\n"},
    {ERROR_TOO_MANY_OPEN_FILES, "Too many files are open in this process.\r\n"},
    {ERROR_ACCESS_DENIED, "Permission for this was refused.\r\n"},
    {ERROR_INVALID_HANDLE, "The handle is not open or is of the wrong kind.\r\n"},
    {ERROR_NOT_ENOUGH_MEMORY, "There was not enough memory to finish the operation.\r\n"},
    {ERROR_INVALID_DATA, "The data are not in the expected form.\r\n"},
    {ERROR_OUTOFMEMORY, "Memory ran out before the operation could finish.\r\n"},
    {ERROR_NOT_SAME_DEVICE, "The file cannot be moved to another device.\r\n"},
    {ERROR_NO_MORE_FILES, "The search has no further files.\r\n"},
    {ERROR_WRITE_PROTECT, "The medium is protected against writing.\r\n"},
    {ERROR_NOT_READY, "The device is not ready for use.\r\n"},
    {ERROR_SHARING_VIOLATION, "Another process is using the file.\r\n"},
    {ERROR_LOCK_VIOLATION, "Another process has locked a part of the file.\r\n"},
    {ERROR_HANDLE_EOF, "The end of the file was reached.\r\n"},
    {ERROR_HANDLE_DISK_FULL, "The disk that holds the file is full.\r\n"},
    {ERROR_NOT_SUPPORTED, "This request is not supported.\r\n"},
    {ERROR_BAD_NETPATH, "The network path could not be found.\r\n"},
    {ERROR_NETWORK_BUSY, "The network is too busy to take the request.\r\n"},
    {ERROR_DEV_NOT_EXIST, "The device or resource is no longer there.\r\n"},
    {ERROR_BAD_NET_RESP, "The server sent a reply that could not be understood.\r\n"},
    {ERROR_UNEXP_NET_ERR, "The network failed in an unexpected way.\r\n"},
    {ERROR_FILE_EXISTS, "A file of that name is already there.\r\n"},
    {ERROR_CANNOT_MAKE, "The file or folder could not be created.\r\n"},
    {ERROR_INVALID_PARAMETER, "One of the arguments is not valid.\r\n"},
    {ERROR_BROKEN_PIPE, "The other end of the pipe was closed.\r\n"},
    {ERROR_OPEN_FAILED, "The file or device could not be opened.\r\n"},
    {ERROR_BUFFER_OVERFLOW, "The name is too long for the buffer.\r\n"},
    {ERROR_DISK_FULL, "There is no room left on the disk.\r\n"},
    {ERROR_CALL_NOT_IMPLEMENTED, "This function is not available on this system.\r\n"},
    {ERROR_INSUFFICIENT_BUFFER, "The buffer given is too small for the result.\r\n"},
    {ERROR_INVALID_NAME, "The file name, folder name or volume label is malformed.\r\n"},
    {ERROR_INVALID_LEVEL, "The level given for this call is not valid.\r\n"},
    {ERROR_MOD_NOT_FOUND, "The module could not be found.\r\n"},
    {ERROR_PROC_NOT_FOUND, "The module does not export the requested procedure.\r\n"},
    {ERROR_NEGATIVE_SEEK,
     "The file position cannot move before the start of the file.\r\n"},
    {ERROR_DIR_NOT_EMPTY, "The folder still holds entries.\r\n"},
    {ERROR_BAD_PATHNAME, "The path given is not valid.\r\n"},
    {ERROR_BUSY, "The resource is busy.\r\n"},
    {ERROR_ALREADY_EXISTS, "An object of that name is already there.\r\n"},
    {ERROR_BAD_EXE_FORMAT, "The file is not a loadable module for this system.\r\n"},
    {ERROR_ENVVAR_NOT_FOUND, "No environment variable of that name is set.\r\n"},
    {ERROR_FILENAME_EXCED_RANGE, "The file name or extension is too long.\r\n"},
    {ERROR_MORE_DATA, "More data are available than the buffer can take.\r\n"},
    {ERROR_NO_MORE_ITEMS, "There are no further items.\r\n"},
    {ERROR_DIRECTORY, "The name given is not a folder.\r\n"},
    {ERROR_MR_MID_NOT_FOUND, "No text is known for this message number.\r\n"},
    {ERROR_INVALID_ADDRESS, "The address given is not valid.\r\n"},
    {ERROR_ARITHMETIC_OVERFLOW,
     "The result of the arithmetic does not fit its type.\r\n"},
    {ERROR_NOACCESS, "The memory at the address given cannot be accessed.\r\n"},
    {ERROR_CAN_NOT_COMPLETE, "The function could not finish its work.\r\n"},
    {ERROR_INVALID_FLAGS, "The flags given are not valid.\r\n"},
    {ERROR_BADDB, "The registry database is damaged.\r\n"},
    {ERROR_BADKEY, "The registry key is not valid.\r\n"},
    {ERROR_CANTOPEN, "The registry key could not be opened.\r\n"},
    {ERROR_CANTREAD, "The registry key could not be read.\r\n"},
    {ERROR_CANTWRITE, "The registry key could not be written.\r\n"},
    {ERROR_REGISTRY_CORRUPT, "A registry file is damaged and could not be used.\r\n"},
    {ERROR_REGISTRY_IO_FAILED, "Reading or writing a registry file failed.\r\n"},
    {ERROR_KEY_DELETED, "The registry key has been marked for deletion.\r\n"},
    {ERROR_CHILD_MUST_BE_VOLATILE,
     "A key below a volatile key must be volatile too.\r\n"},
    {ERROR_SERVICE_REQUEST_TIMEOUT,
     "The service did not answer within the time allowed.\r\n"},
    {ERROR_NO_UNICODE_TRANSLATION,
     "The text has no mapping to the target character set.\r\n"},
    {ERROR_MAPPED_ALIGNMENT,
     "The view offset is not aligned to the mapping granularity.\r\n"},
    {ERROR_NOT_FOUND, "The element was not found.\r\n"},
    {ERROR_CANCELLED, "The operation was cancelled by the user.\r\n"},
    {ERROR_CONNECTION_REFUSED, "The remote system refused the connection.\r\n"},
    {ERROR_WRONG_PASSWORD, "The password or credentials were not accepted.\r\n"},
    {ERROR_INVALID_WINDOW_HANDLE, "The window handle is not valid.\r\n"},
    {ERROR_TIMEOUT, "The operation ran out of time.\r\n"},
    {ERROR_FUNCTION_FAILED, "The function did not succeed.\r\n"},
    {ERROR_NOT_ENOUGH_QUOTA, "The quota is too small to finish the operation.\r\n"},
    {ERROR_CANT_RESOLVE_FILENAME, "The file name could not be resolved.\r\n"},
    {ERROR_DS_SORT_CONTROL_MISSING,
     "The directory server needs a sort control for this.\r\n"},
    {ERROR_DS_OFFSET_RANGE_ERROR, "The offset asked for lies outside the results.\r\n"},
    {ERROR_DS_GENERIC_ERROR, "The directory service reported an error.\r\n"},
};

}  // namespace

const char* SystemMessageText(DWORD code) {
  for (const MessageRow& row : kMessages) {
    if (row.code == code) return row.text;
  }
  return nullptr;
}

}  // namespace kova::platform
