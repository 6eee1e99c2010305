// Where navigation leads: the folder one level up, and the menu folder that a folder item opens.
// Menu folders are paths relative to the root folder that end in "\"; the empty path is the top
// level.
#pragma once

#include <menu/menu_folders.h>

#include <string>
#include <string_view>

class FolderNavigation {
public:
  // The folder above `folder`: everything up to and including the separator before its last
  // component ("games\puzzles\" -> "games\", "a\b\" -> "a\"), or the top level when it has only
  // one component. The top level has no parent: it gives the top level again.
  static std::u16string parentOf(std::u16string_view folder);

  // The menu folder that the folder item at `itemPath` (a device path) opens, in lower case:
  // the part after the root folder; for an item below the Settings folder, "settings\" and the
  // part after the Settings folder; otherwise the whole path.
  static std::u16string folderOfItem(std::u16string_view itemPath, const MenuFolders &folders);

  // The window title while `folder` is shown: the folder itself, "Vireta" at the top level.
  static std::u16string titleOf(std::u16string_view folder);
};
