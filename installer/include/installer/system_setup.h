// What the setup library does around the package installer's copying and removing of files.
//
// Installing: Install_Init refuses a directory outside the program-files folder before anything
// is touched, then stops a running menu and service and clears the old resources; Install_Exit
// registers and starts the service, records the resource directory, resets the quick links,
// copies the device language's menu texts, installs the font and starts the options program.
// Removing: Uninstall_Init stops the menu and the service and removes everything the system put
// in the registry and in the platform's folders; Uninstall_Exit removes the installation
// directory. After any failure the platform's own Start menu opens again.
#pragma once

#include <ce/types.h>

#include <string>
#include <string_view>

class SystemSetup {
public:
  // Codes of the platform's setup-library interface.
  static constexpr int Continue = 0;
  static constexpr int Cancel = 1;

  // Where the program-files folder is found in an installation directory: at character 0 or 1.
  static bool isProgramFilesDirectory(std::u16string_view installDirectory,
                                      std::u16string_view programFiles);

  int installInit(HWND parent, std::u16string_view installDirectory);
  int installExit(HWND parent, std::u16string_view installDirectory);
  int uninstallInit(HWND parent, std::u16string_view installDirectory);
  int uninstallExit(HWND parent);

  // The steps, one by one.
  static void writeServiceKey();
  static void writeSettings(std::u16string_view resourceDirectory);
  static void resetQuickLinks();
  // Chooses the device's language file under `installDirectory`, writes its texts and
  // `langFile`. Returns the file's path.
  static std::u16string copyLanguageTexts(std::u16string_view installDirectory);
  // Copies "tahoma.ttf" from the resources to \Windows when the device has none, noting that it
  // did so; removeFont takes back only a font it installed.
  static void installFont(std::u16string_view resourceDirectory);
  static void removeFont();
  // The system's registry data and StartUp shortcut.
  static void removeRegistryData();
  static void removeStartupShortcut();
  // Removes "Icon" values below `path` that point into the system's resources.
  static void cleanIconPaths(HKEY parent, std::u16string_view path);
  // Removes the item values the menu and the service wrote below `path` (name, target,
  // ItemPosition, hidden, falseLink; Icon values elsewhere stay, they are the user's pictures)
  // and every key left with neither values nor subkeys. Returns whether the key itself went.
  static bool removeItemMetadata(HKEY parent, std::u16string_view path);
  static void deleteDirectory(std::u16string_view directory);

private:
  HWND parent_ = nullptr;
};
