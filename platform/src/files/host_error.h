// Translation of host errno values into the device's Win32 error codes.
#pragma once

#include <ce/types.h>

namespace ce {

// `missing` is the code for ENOENT: ERROR_FILE_NOT_FOUND for the last component of a path,
// ERROR_PATH_NOT_FOUND where a folder on the way is missing.
DWORD win32ErrorFromErrno(int error, DWORD missing);

} // namespace ce
