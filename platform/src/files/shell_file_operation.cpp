// SHFileOperationW: the shell's silent recursive delete.
#include "files/file_search.h"
#include "files/open_file_table.h"
#include "files/path_argument.h"
#include "files/wildcard_pattern.h"

#include <ce/core/device_path.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

// Deeper host trees than any device path can name are left alone rather than risk running out
// of descriptors on the way down.
constexpr int maxDepth = 256;
// The list is read no further than this many units, terminated or not.
constexpr std::size_t maxListUnits = 64 * 1024;

void keepFirst(DWORD* first, DWORD error) {
  if (*first == ERROR_SUCCESS) *first = error;
}

// Removes `name` in the folder `parent` and, for a folder, everything in it. Links are removed
// themselves and never followed: every step works relative to an opened folder with
// O_NOFOLLOW, so nothing outside fs/ is reached even if the tree changes meanwhile.
DWORD removeEntry(int parent, const char* name, int depth) {
  struct stat info {};
  if (::fstatat(parent, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? ERROR_FILE_NOT_FOUND : ERROR_ACCESS_DENIED;
  if (!S_ISDIR(info.st_mode)) {
    if (S_ISREG(info.st_mode) &&
        !ce::OpenFileTable::instance().allowsDelete({info.st_dev, info.st_ino}))
      return ERROR_SHARING_VIOLATION;
    return ::unlinkat(parent, name, 0) == 0 ? ERROR_SUCCESS : ERROR_ACCESS_DENIED;
  }
  if (depth >= maxDepth) return ERROR_FILENAME_EXCED_RANGE;
  const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return ERROR_ACCESS_DENIED;
  DIR* dir = ::fdopendir(fd);
  if (!dir) {
    ::close(fd);
    return ERROR_ACCESS_DENIED;
  }
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    const std::string_view child(entry->d_name);
    if (child != "." && child != "..") names.emplace_back(child);
  }
  DWORD first = ERROR_SUCCESS;
  for (const std::string& child : names) {
    const DWORD error = removeEntry(::dirfd(dir), child.c_str(), depth + 1);
    if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) keepFirst(&first, error);
  }
  ::closedir(dir);
  if (first != ERROR_SUCCESS) return first;
  if (::unlinkat(parent, name, AT_REMOVEDIR) != 0)
    return errno == ENOTEMPTY || errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ERROR_ACCESS_DENIED;
  return ERROR_SUCCESS;
}

DWORD removeInFolder(const std::filesystem::path& folder, const std::string& name) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return ERROR_PATH_NOT_FOUND;
  const DWORD error = removeEntry(fd, name.c_str(), 0);
  ::close(fd);
  return error;
}

// Deletes one path of the list; a last component with '*' or '?' deletes every match.
DWORD deletePath(std::u16string_view path) {
  const std::size_t cut = path.find_last_of(u"\\/");
  const std::u16string_view last = cut == std::u16string_view::npos ? path : path.substr(cut + 1);
  if (ce::WildcardPattern(last).hasWildcards()) {
    if (DWORD bad = ce::DevicePath::checkName(last, true); bad != ERROR_SUCCESS) return bad;
    DWORD error = ERROR_SUCCESS;
    const std::u16string_view folder =
        cut == std::u16string_view::npos ? std::u16string_view(u"\\") : path.substr(0, cut + 1);
    auto directory = ce::DevicePath::resolve(folder, &error);
    if (!directory) return error;
    if (!directory->isDirectory) return ERROR_PATH_NOT_FOUND;
    auto matches = ce::FileSearch::collect(directory->hostPath, last, &error);
    if (!matches) return error;
    if (matches->empty()) return ERROR_FILE_NOT_FOUND;
    DWORD first = ERROR_SUCCESS;
    for (const auto& match : *matches) {
      const DWORD failed = removeInFolder(directory->hostPath, ce::toUtf8(match.cFileName));
      if (failed != ERROR_SUCCESS) keepFirst(&first, failed);
    }
    return first;
  }
  DWORD error = ERROR_SUCCESS;
  auto target = ce::DevicePath::resolve(path, &error, ce::DevicePath::LastLink::Keep);
  if (!target) return error;
  if (!target->exists) return ERROR_FILE_NOT_FOUND;
  // Emptying the whole device is never what a delete of "\" means.
  if (target->isRoot) return ERROR_ACCESS_DENIED;
  return removeInFolder(target->hostPath.parent_path(), target->hostPath.filename().string());
}

} // namespace

int SHFileOperationW(LPSHFILEOPSTRUCTW operation) {
  if (!operation || !operation->pFrom) return ERROR_INVALID_PARAMETER;
  operation->fAnyOperationsAborted = FALSE;
  // Only deleting is provided; nothing on the device asks for the other operations. No
  // confirmation or progress is ever shown, whatever the flags say.
  if (operation->wFunc != FO_DELETE) return ERROR_NOT_SUPPORTED;
  DWORD first = ERROR_SUCCESS;
  const LPCWSTR list = operation->pFrom;
  std::size_t at = 0;
  while (at < maxListUnits && list[at] != 0) {
    std::size_t end = at;
    while (end < maxListUnits && list[end] != 0) ++end;
    if (end == maxListUnits) return first != ERROR_SUCCESS ? first : ERROR_INVALID_PARAMETER;
    const DWORD error = deletePath(std::u16string_view(list + at, end - at));
    if (error != ERROR_SUCCESS) keepFirst(&first, error);
    at = end + 1;
  }
  return static_cast<int>(first);
}
