// The folders the menu shows, as lower-case device paths, and how a menu folder (a path relative
// to the root folder, ending in "\", empty for the top level) maps to items and directories.
//
// Items of the Settings tree ("settings" or a path beginning with "settings\") have no place in
// the root folder: they live below the Start Menu folder, in the Settings folder found on the
// device.
#pragma once

#include <string>
#include <string_view>

struct MenuFolders {
  std::u16string root;         // special folder `startFolderId` + "\"
  std::u16string startMenu;    // the Start Menu folder + "\"
  std::u16string programs;     // the Programs folder, without a trailing "\"
  std::u16string settingsName; // the Settings subfolder of the Start Menu folder; empty if none
  std::u16string settingsPath; // startMenu + settingsName; empty if none

  static bool isSettingsTree(std::u16string_view relativePath);
  // A menu folder as the display uses it: one leading "\" removed, a trailing "\" added unless
  // it is empty.
  static std::u16string normalizeFolder(std::u16string_view folder);

  // The item's path relative to the root folder (or, failing that, to the Start Menu folder), in
  // lower case; a path outside both keeps everything after its leading "\".
  std::u16string relativePathOf(std::u16string_view filePath) const;
  // The device path of an item of the menu folder `relativeFolder` named `entry`.
  std::u16string itemPathOf(std::u16string_view relativeFolder, std::u16string_view entry) const;
  // The directory, with a trailing "\", whose entries the menu folder shows.
  std::u16string directoryOf(std::u16string_view relativeFolder) const;
};
