// The menu's settings key, HKEY_LOCAL_MACHINE "SOFTWARE\Tolmar_Vireta": the reading pass, the
// re-read of the icons per row, and the folder hand-over between two starts of the program.
#pragma once

#include <menu/menu_settings.h>
#include <menu/settings_environment.h>
#include <menu/settings_screen.h>

#include <optional>
#include <string>
#include <string_view>

class SettingsStore {
public:
  static constexpr std::u16string_view KeyPath = u"SOFTWARE\\Tolmar_Vireta";

  // The reading pass: labels, numbers and switches, the item-name font, the background colour
  // and images (asking `screen`, which may be null when there is no screen yet), then the
  // folders (which may write `startFolderId` back). Every step falls back on its own.
  static void load(MenuSettings &settings, const SettingsEnvironment &environment,
                   SettingsScreen *screen);

  // `nbIconPerLine` read again after a rotation or a dialog: 4 when missing, one more in
  // landscape.
  static int readIconsPerLine(bool landscape);

  // The three background candidates: "\windows\stwater_<w>_<h>.jpg" for portrait, the same
  // with height and width swapped for landscape, and the installed picture.
  static std::u16string portraitCandidate(const SettingsEnvironment &environment);
  static std::u16string landscapeCandidate(const SettingsEnvironment &environment);
  static std::u16string installedCandidate(const SettingsEnvironment &environment);

  // The folder a start hands to the instance that shows the menu: stored as REG_NONE, the
  // characters without a terminating zero. Nothing is stored for an empty command line.
  static bool storeFolderToOpen(std::u16string_view folder);
  // Reads the hand-over and deletes it (also when it is too long to be used).
  static std::optional<std::u16string> takeFolderToOpen();
  static bool hasFolderToOpen();
};
