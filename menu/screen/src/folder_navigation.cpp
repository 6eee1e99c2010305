#include <menu/screen/folder_navigation.h>

#include <ce/core/utf.h>

namespace {

constexpr std::u16string_view TopLevelTitle = u"Vireta";

} // namespace

std::u16string FolderNavigation::parentOf(std::u16string_view folder) {
  while (!folder.empty() && folder.back() == u'\\')
    folder.remove_suffix(1);
  const auto separator = folder.rfind(u'\\');
  // A separator at the very start leaves no folder above the last component.
  if (separator == std::u16string_view::npos || separator == 0)
    return {};
  return std::u16string(folder.substr(0, separator + 1));
}

std::u16string FolderNavigation::folderOfItem(std::u16string_view itemPath,
                                              const MenuFolders &folders) {
  const std::u16string path = ce::foldCase(itemPath);
  if (!folders.root.empty()) {
    if (const auto at = path.find(folders.root); at != std::u16string::npos)
      return path.substr(at + folders.root.size());
  }
  if (!folders.settingsPath.empty()) {
    if (const auto at = path.find(folders.settingsPath); at != std::u16string::npos) {
      std::u16string_view rest(path);
      rest.remove_prefix(at + folders.settingsPath.size());
      // The rest starts with the separator after the Settings folder: one separator between.
      if (rest.starts_with(u'\\'))
        rest.remove_prefix(1);
      return u"settings\\" + std::u16string(rest);
    }
  }
  return path;
}

std::u16string FolderNavigation::titleOf(std::u16string_view folder) {
  return folder.empty() ? std::u16string(TopLevelTitle) : std::u16string(folder);
}
