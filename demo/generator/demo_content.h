// Lays out the demo device's content on the current device root (ce::DeviceRoot): the sample
// program under each of its names with an icon beside it, the control-panel libraries with
// their icons and HKLM\ControlPanel descriptions, the shell's icon libraries, the Start menu
// tree, wallpapers for the screen in both orientations, and the icons of document classes.
//
// Everything goes through the platform: device files, the registry, GDI for drawing and the
// imaging factory for PNG. Running it again rewrites the same content.
#pragma once

#include "demo_catalog.h"
#include "icon_file_builder.h"

#include <ce/types.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

namespace ce::demo {

class DemoContent {
public:
  // `payload` is the build's folder of device binaries: the sample program "sample_app" and
  // the applet libraries "*.cpl".
  DemoContent(std::filesystem::path payload, std::ostream &log);

  // False, with a message naming the step in *error, when a step fails; the steps before it
  // stay on the device. A payload without the sample program is not a failure: its names are
  // skipped with a note, the rest is laid out.
  bool run(std::string *error);

  // Icon sizes of the program and applet icons, and of the two shell icon libraries.
  static const std::vector<int> &iconSides();
  static const std::vector<int> &highResolutionSides();

  // The text of a shortcut file that starts `target`: "<length>#<target>".
  static std::string shortcutText(std::u16string_view target);
  // The wallpaper's device path for a screen of width x height.
  static std::u16string wallpaperPath(int width, int height);

private:
  bool makeFolders();
  bool installPrograms();
  bool installApplets();
  bool describeApplets();
  bool writeShellLibraries();
  bool writeStartMenu();
  bool writeWallpapers();
  bool registerFileClasses();

  // The pictures of one icon at each of `sides`.
  bool tilePictures(const IconLook &look, const std::vector<int> &sides,
                    std::vector<IconPicture> &pictures);
  bool shellPictures(ShellIcon icon, const std::vector<int> &sides,
                     std::vector<IconPicture> &pictures);
  bool writeFile(const std::u16string &path, const std::vector<std::uint8_t> &bytes);
  bool setString(HKEY root, const std::u16string &key, const std::u16string &name,
                 const std::u16string &value);
  bool setNumber(HKEY root, const std::u16string &key, const std::u16string &name, DWORD value);
  bool fail(const std::string &message);

  std::filesystem::path payload_;
  std::ostream &log_;
  std::string error_;
};

} // namespace ce::demo
