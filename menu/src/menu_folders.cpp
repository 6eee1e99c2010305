#include <menu/menu_folders.h>

#include "path_text.h"

namespace {

constexpr std::u16string_view SettingsWord = u"settings";

// The part of a Settings-tree path after its "settings" word ("" or "\...").
std::u16string_view afterSettingsWord(std::u16string_view relativePath) {
  if (relativePath.starts_with(u'\\'))
    relativePath.remove_prefix(1);
  return relativePath.substr(SettingsWord.size());
}

} // namespace

bool MenuFolders::isSettingsTree(std::u16string_view relativePath) {
  const auto lower = pathtext::lower(relativePath);
  return lower == SettingsWord || lower.starts_with(u"settings\\") ||
         lower.starts_with(u"\\settings\\");
}

std::u16string MenuFolders::normalizeFolder(std::u16string_view folder) {
  if (folder.starts_with(u'\\'))
    folder.remove_prefix(1);
  std::u16string normalized(folder);
  if (!normalized.empty() && normalized.back() != u'\\')
    normalized += u'\\';
  return normalized;
}

std::u16string MenuFolders::relativePathOf(std::u16string_view filePath) const {
  const auto lower = pathtext::lower(filePath);
  if (!root.empty() && lower.starts_with(root))
    return lower.substr(root.size());
  if (!startMenu.empty() && lower.starts_with(startMenu))
    return lower.substr(startMenu.size());
  return lower.starts_with(u'\\') ? lower.substr(1) : lower;
}

std::u16string MenuFolders::itemPathOf(std::u16string_view relativeFolder,
                                       std::u16string_view entry) const {
  return directoryOf(relativeFolder) + std::u16string(entry);
}

std::u16string MenuFolders::directoryOf(std::u16string_view relativeFolder) const {
  const auto folder = normalizeFolder(relativeFolder);
  if (!isSettingsTree(folder))
    return root + pathtext::lower(folder);
  // The Settings tree is named "settings" in the menu whatever the folder is called on the
  // device.
  std::u16string directory =
      settingsPath.empty() ? startMenu + std::u16string(SettingsWord) : settingsPath;
  directory += pathtext::lower(afterSettingsWord(folder));
  if (directory.empty() || directory.back() != u'\\')
    directory += u'\\';
  return directory;
}
