#include "files/host_error.h"

#include <ce/errors.h>
#include <ce/files.h>

#include <cerrno>

namespace ce {

DWORD win32ErrorFromErrno(int error, DWORD missing) {
  switch (error) {
  case 0:
    return ERROR_SUCCESS;
  case ENOENT:
    return missing;
  case ENOTDIR:
  case ELOOP:
    return ERROR_PATH_NOT_FOUND;
  case EACCES:
  case EPERM:
  case EROFS:
  case EISDIR:
  case ETXTBSY:
  case EBUSY:
    return ERROR_ACCESS_DENIED;
  case EEXIST:
    return ERROR_ALREADY_EXISTS;
  case ENOTEMPTY:
    return ERROR_DIR_NOT_EMPTY;
  case ENAMETOOLONG:
    return ERROR_FILENAME_EXCED_RANGE;
  case ENOSPC:
  case EDQUOT:
  case EFBIG:
    return ERROR_DISK_FULL;
  case EMFILE:
  case ENFILE:
    return ERROR_TOO_MANY_OPEN_FILES;
  case ENOMEM:
    return ERROR_NOT_ENOUGH_MEMORY;
  case EXDEV:
    return ERROR_NOT_SAME_DEVICE;
  case EINVAL:
    return ERROR_INVALID_PARAMETER;
  case EBADF:
    return ERROR_INVALID_HANDLE;
  case EIO:
    return ERROR_WRITE_FAULT;
  default:
    return ERROR_ACCESS_DENIED;
  }
}

} // namespace ce
