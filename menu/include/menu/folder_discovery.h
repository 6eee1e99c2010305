// Works out the folders of the menu from the platform's special folders and finds the Settings
// folder: the first subfolder of the Start Menu folder, other than Programs and without "." in
// its name, that holds an "icon.lnk". When it is found, `startFolderId` is written back to the
// settings key and its name to the Settings key of the metadata tree.
#pragma once

#include <menu/menu_folders.h>

class FolderDiscovery {
public:
  // Every path in lower case. An id the platform does not know falls back to the Programs
  // folder (2).
  static MenuFolders discover(int startFolderId);

  // The special folder's path without a trailing "\" (as the platform gives it), or empty.
  static std::u16string specialFolder(int id);
};
