#include "outcome.h"

#include <ce/errors.h>

namespace ce::tool {

Outcome Outcome::fromPlatformError(DWORD error, const std::string &subject) {
  switch (static_cast<LONG>(error)) {
  case ERROR_FILE_NOT_FOUND:
  case ERROR_PATH_NOT_FOUND:
  case ERROR_NO_MORE_FILES:
    return notFound(subject + ": not found");
  case ERROR_ACCESS_DENIED:
    return refused(subject + ": access denied (outside the device or protected)");
  case ERROR_INVALID_NAME:
  case ERROR_BADKEY: // a registry key name with an empty part or a part over 255 characters
  case ERROR_BAD_PATHNAME:
  case ERROR_FILENAME_EXCED_RANGE:
  case ERROR_INVALID_PARAMETER:
    return refused(subject + ": invalid name");
  case ERROR_DIR_NOT_EMPTY:
    return refused(subject + ": directory not empty");
  case ERROR_ALREADY_EXISTS:
  case ERROR_FILE_EXISTS:
    return refused(subject + ": already exists");
  case ERROR_SHARING_VIOLATION:
    return failed(subject + ": in use by a device program");
  case ERROR_DISK_FULL:
    return failed(subject + ": disk full");
  default:
    return failed(subject + ": failed with error " + std::to_string(error));
  }
}

} // namespace ce::tool
