// Folders and attributes: CreateDirectoryW, RemoveDirectoryW, GetFileAttributesW.
#include "files/file_attributes.h"
#include "files/host_error.h"
#include "files/path_argument.h"

#include <ce/core/device_path.h>
#include <ce/errors.h>
#include <ce/files.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

BOOL failBool(DWORD error) {
  SetLastError(error);
  return FALSE;
}

} // namespace

DWORD GetFileAttributesW(LPCWSTR fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD error = ERROR_SUCCESS;
  auto target = ce::DevicePath::resolve(ce::pathArgument(fileName), &error);
  if (!target) {
    SetLastError(error);
    return INVALID_FILE_ATTRIBUTES;
  }
  // The mode found while resolving is the file's own (the last link was followed); the host is
  // asked again only when resolving did not tell it.
  struct stat info {};
  info.st_mode = target->hostMode;
  if (!target->exists || (info.st_mode == 0 && ::stat(target->hostPath.c_str(), &info) != 0)) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  // "name\" names a folder; a file with a trailing separator does not exist as such.
  if (target->trailingSeparator && !S_ISDIR(info.st_mode)) {
    SetLastError(ERROR_INVALID_NAME);
    return INVALID_FILE_ATTRIBUTES;
  }
  return ce::attributesFromHost(info.st_mode);
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  if (!pathName) return failBool(ERROR_INVALID_PARAMETER);
  DWORD error = ERROR_SUCCESS;
  auto target =
      ce::DevicePath::resolve(ce::pathArgument(pathName), &error, ce::DevicePath::LastLink::Keep);
  if (!target) return failBool(error);
  if (target->exists) return failBool(ERROR_ALREADY_EXISTS);
  if (::mkdir(target->hostPath.c_str(), 0777) != 0)
    return failBool(ce::win32ErrorFromErrno(errno, ERROR_PATH_NOT_FOUND));
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
  if (!pathName) return failBool(ERROR_INVALID_PARAMETER);
  DWORD error = ERROR_SUCCESS;
  auto target =
      ce::DevicePath::resolve(ce::pathArgument(pathName), &error, ce::DevicePath::LastLink::Keep);
  if (!target) return failBool(error);
  if (!target->exists) return failBool(ERROR_FILE_NOT_FOUND);
  if (target->isRoot) return failBool(ERROR_ACCESS_DENIED);
  // A link is not a folder, whatever it points to: DeleteFileW removes it.
  if (!target->isDirectory) return failBool(ERROR_DIRECTORY);
  if (::rmdir(target->hostPath.c_str()) != 0) {
    if (errno == ENOTEMPTY || errno == EEXIST) return failBool(ERROR_DIR_NOT_EMPTY);
    return failBool(ce::win32ErrorFromErrno(errno, ERROR_FILE_NOT_FOUND));
  }
  return TRUE;
}
