#include "services/library_search.h"

#include <ce/core/device_path.h>
#include <ce/errors.h>

#include <algorithm>
#include <vector>

namespace ce {

namespace {

bool isSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

std::optional<LibraryLocation> locate(std::u16string_view devicePath, DWORD *error) {
  DWORD resolveError = ERROR_SUCCESS;
  auto resolution = DevicePath::resolve(devicePath, &resolveError);
  if (!resolution) {
    // A missing folder on the way is as missing as the file itself.
    *error = resolveError == ERROR_PATH_NOT_FOUND ? ERROR_MOD_NOT_FOUND : resolveError;
    return std::nullopt;
  }
  if (!resolution->exists || resolution->isDirectory || resolution->isRoot) {
    *error = ERROR_MOD_NOT_FOUND;
    return std::nullopt;
  }
  auto device = DevicePath::toDevice(resolution->hostPath, &resolveError);
  if (!device) {
    *error = resolveError;
    return std::nullopt;
  }
  return LibraryLocation{resolution->hostPath, std::move(*device)};
}

} // namespace

std::u16string_view LibrarySearch::fileName(std::u16string_view devicePath) {
  std::size_t start = devicePath.size();
  while (start > 0 && !isSeparator(devicePath[start - 1]))
    --start;
  return devicePath.substr(start);
}

std::optional<std::u16string> LibrarySearch::programFolder() {
  std::error_code ec;
  const auto program = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec)
    return std::nullopt;
  DWORD error = ERROR_SUCCESS;
  auto device = DevicePath::toDevice(program, &error);
  if (!device)
    return std::nullopt;
  const std::u16string_view name = fileName(*device);
  std::u16string folder = device->substr(0, device->size() - name.size());
  while (!folder.empty() && isSeparator(folder.back()))
    folder.pop_back();
  return folder;
}

std::optional<LibraryLocation> LibrarySearch::find(std::u16string_view name, DWORD *error) {
  DWORD ignored = ERROR_SUCCESS;
  if (!error)
    error = &ignored;
  if (name.empty()) {
    *error = ERROR_INVALID_PARAMETER;
    return std::nullopt;
  }
  std::u16string path(name);
  if (fileName(path).find(u'.') == std::u16string_view::npos)
    path += u".dll";

  const bool bare = std::none_of(path.begin(), path.end(), isSeparator);
  if (!bare)
    return locate(path, error);

  std::vector<std::u16string> candidates{u"\\Windows\\" + path};
  if (auto folder = programFolder())
    candidates.push_back(*folder + u"\\" + path);
  DWORD firstError = ERROR_MOD_NOT_FOUND;
  for (const auto &candidate : candidates) {
    DWORD candidateError = ERROR_SUCCESS;
    if (auto location = locate(candidate, &candidateError))
      return location;
    if (candidateError != ERROR_MOD_NOT_FOUND && firstError == ERROR_MOD_NOT_FOUND)
      firstError = candidateError;
  }
  *error = firstError;
  return std::nullopt;
}

} // namespace ce
