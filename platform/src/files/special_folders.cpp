// SHGetSpecialFolderPath: the device's well-known folders.

#include <ce/errors.h>
#include <ce/files.h>

#include <algorithm>
#include <string>
#include <string_view>

namespace {

std::u16string_view folderPath(int folder) {
  switch (folder) {
  case CSIDL_PROGRAMS:
    return u"\\Windows\\Start Menu\\Programs";
  case CSIDL_PERSONAL:
    return u"\\My Documents";
  case CSIDL_STARTUP:
    return u"\\Windows\\StartUp";
  case CSIDL_STARTMENU:
    return u"\\Windows\\Start Menu";
  case CSIDL_WINDOWS:
    return u"\\Windows";
  case CSIDL_PROGRAM_FILES:
    return u"\\Program Files";
  default:
    return {};
  }
}

// Creates every folder along `path` that is missing.
DWORD createFolders(std::u16string_view path) {
  for (std::size_t cut = 1; cut <= path.size(); ++cut) {
    if (cut != path.size() && path[cut] != u'\\') continue;
    const std::u16string prefix(path.substr(0, cut));
    if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return GetLastError();
  }
  // Something that is not a folder may sit under the name.
  const DWORD attributes = GetFileAttributesW(std::u16string(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_ALREADY_EXISTS;
  return ERROR_SUCCESS;
}

} // namespace

BOOL SHGetSpecialFolderPath(HWND, LPWSTR path, int folder, BOOL create) {
  if (!path) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  path[0] = 0;
  if (folder & CSIDL_FLAG_CREATE) create = TRUE;
  const std::u16string_view device = folderPath(folder & ~CSIDL_FLAG_CREATE);
  if (device.empty()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (create) {
    if (DWORD error = createFolders(device); error != ERROR_SUCCESS) {
      SetLastError(error);
      return FALSE;
    }
  }
  std::copy(device.begin(), device.end(), path);
  path[device.size()] = 0;
  return TRUE;
}
