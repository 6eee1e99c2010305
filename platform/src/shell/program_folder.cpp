#include "program_folder.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/kernel.h>

#include <algorithm>

namespace ce::shell {
namespace {

bool endsWithIgnoringCase(std::u16string_view text, std::u16string_view tail) {
  return text.size() >= tail.size() &&
         equalsIgnoreCase(text.substr(text.size() - tail.size()), tail);
}

std::u16string joined(std::u16string_view folder, std::u16string_view name) {
  std::u16string path(folder);
  if (path.empty() || (path.back() != u'\\' && path.back() != u'/'))
    path += u'\\';
  path += name;
  return path;
}

} // namespace

bool ProgramFolder::isLaunchable(std::u16string_view fileName) {
  return fileName.size() > 4 &&
         (endsWithIgnoringCase(fileName, u".lnk") || endsWithIgnoringCase(fileName, u".exe"));
}

std::u16string ProgramFolder::displayName(std::u16string_view fileName) {
  if (isLaunchable(fileName))
    return std::u16string(fileName.substr(0, fileName.size() - 4));
  return std::u16string(fileName);
}

std::u16string ProgramFolder::lastComponent(std::u16string_view path) {
  while (!path.empty() && (path.back() == u'\\' || path.back() == u'/'))
    path.remove_suffix(1);
  const auto slash = path.find_last_of(u"\\/");
  return std::u16string(slash == std::u16string_view::npos ? path : path.substr(slash + 1));
}

std::u16string ProgramFolder::parentOf(std::u16string_view path) {
  while (!path.empty() && (path.back() == u'\\' || path.back() == u'/'))
    path.remove_suffix(1);
  const auto slash = path.find_last_of(u"\\/");
  if (slash == std::u16string_view::npos || slash == 0)
    return u"\\";
  return std::u16string(path.substr(0, slash));
}

std::vector<ProgramEntry> ProgramFolder::list(std::u16string_view path, DWORD *error) {
  std::vector<ProgramEntry> folders, files;
  const std::u16string pattern = joined(path, u"*");
  WIN32_FIND_DATAW data{};
  const HANDLE find = FindFirstFileW(pattern.c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) {
    DWORD reason = GetLastError();
    if (reason == ERROR_NO_MORE_FILES || reason == ERROR_FILE_NOT_FOUND) {
      // Nothing matched: an empty folder, or no folder at all.
      const DWORD attributes = GetFileAttributesW(std::u16string(path).c_str());
      reason = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)
                   ? DWORD(ERROR_SUCCESS)
                   : DWORD(ERROR_PATH_NOT_FOUND);
    }
    if (error)
      *error = reason;
    return {};
  }
  do {
    if (folders.size() + files.size() >= kMaxEntries)
      break;
    const std::u16string name(data.cFileName);
    if (name.empty() || (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN))
      continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
      folders.push_back(ProgramEntry{name, joined(path, name), true});
    else if (isLaunchable(name))
      files.push_back(ProgramEntry{displayName(name), joined(path, name), false});
  } while (FindNextFileW(find, &data));
  FindClose(find);
  const auto byName = [](const ProgramEntry &a, const ProgramEntry &b) {
    const std::u16string fa = foldCase(a.name), fb = foldCase(b.name);
    return fa != fb ? fa < fb : a.name < b.name;
  };
  std::stable_sort(folders.begin(), folders.end(), byName);
  std::stable_sort(files.begin(), files.end(), byName);
  folders.insert(folders.end(), files.begin(), files.end());
  if (error)
    *error = ERROR_SUCCESS;
  return folders;
}

} // namespace ce::shell
