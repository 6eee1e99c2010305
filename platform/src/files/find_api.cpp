// Directory searches: FindFirstFileW, FindNextFileW, FindClose.
#include "files/file_search.h"
#include "files/path_argument.h"

#include <ce/core/device_path.h>
#include <ce/core/handle_table.h>
#include <ce/errors.h>
#include <ce/files.h>

#include <memory>

namespace {

HANDLE fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

} // namespace

HANDLE FindFirstFileW(LPCWSTR fileName, LPWIN32_FIND_DATAW findData) {
  if (!fileName || !findData) return fail(ERROR_INVALID_PARAMETER);
  const std::u16string_view path = ce::pathArgument(fileName);
  if (path.empty()) return fail(ERROR_PATH_NOT_FOUND);
  if (path.size() >= MAX_PATH) return fail(ERROR_FILENAME_EXCED_RANGE);

  // The last component is the pattern; everything before it names the folder searched.
  const std::size_t cut = path.find_last_of(u"\\/");
  const std::u16string_view folder =
      cut == std::u16string_view::npos ? std::u16string_view(u"\\") : path.substr(0, cut + 1);
  const std::u16string_view pattern =
      cut == std::u16string_view::npos ? path : path.substr(cut + 1);
  if (DWORD bad = ce::DevicePath::checkName(pattern, true); bad != ERROR_SUCCESS) return fail(bad);

  DWORD error = ERROR_SUCCESS;
  auto directory = ce::DevicePath::resolve(folder, &error);
  if (!directory) return fail(error);
  if (!directory->exists || !directory->isDirectory) return fail(ERROR_PATH_NOT_FOUND);
  if (pattern.empty()) return fail(ERROR_FILE_NOT_FOUND);

  auto results = ce::FileSearch::collect(directory->hostPath, pattern, &error);
  if (!results) return fail(error);
  if (results->empty()) return fail(ERROR_FILE_NOT_FOUND);
  auto search = std::make_shared<ce::FileSearch>(std::move(*results));
  search->next(findData);
  SetLastError(ERROR_SUCCESS);
  return ce::HandleTable::instance().add(std::move(search));
}

BOOL FindNextFileW(HANDLE find, LPWIN32_FIND_DATAW findData) {
  auto search = ce::HandleTable::instance().getAs<ce::FileSearch>(find);
  if (!search) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!search->next(findData)) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  return TRUE;
}

BOOL FindClose(HANDLE find) {
  if (!ce::HandleTable::instance().getAs<ce::FileSearch>(find) ||
      !ce::HandleTable::instance().close(find)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
