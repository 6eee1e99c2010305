#include "demo_content.h"

#include "canvas.h"
#include "device_file_writer.h"
#include "icon_painter.h"
#include "pe_resource_writer.h"
#include "picture_encoder.h"
#include "wallpaper_painter.h"

#include <ce/core/device_profile.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/files.h>
#include <ce/registry.h>

namespace ce::demo {
namespace {

const std::u16string kWindows = u"\\Windows";
const std::u16string kStartMenu = u"\\Windows\\Start Menu";
const std::u16string kPrograms = u"\\Windows\\Start Menu\\Programs";
const std::u16string kSettingsFolder = u"\\Windows\\Start Menu\\Settings";
const std::u16string kScratch = u"\\Temp\\demo_content.png";
const std::u16string kControlPanelHost = u"\\Windows\\ctlpnl.exe";
const char *const kSampleProgram = "sample_app";

std::string utf8(std::u16string_view text) { return toUtf8(text); }

std::u16string decimal(long long value) { return toUtf16(std::to_string(value)); }

std::u16string withoutExtension(std::u16string_view file) {
  const auto dot = file.find_last_of(u'.');
  return std::u16string(dot == std::u16string_view::npos ? file : file.substr(0, dot));
}

std::u16string shellIconReference(ShellIcon icon) {
  return u"\\Windows\\shellres.dll,-" + decimal(int(icon));
}

} // namespace

DemoContent::DemoContent(std::filesystem::path payload, std::ostream &log)
    : payload_(std::move(payload)), log_(log) {}

const std::vector<int> &DemoContent::iconSides() {
  static const std::vector<int> sides{16, 32, 48, 64};
  return sides;
}

const std::vector<int> &DemoContent::highResolutionSides() {
  static const std::vector<int> sides{32, 64, 96, 128};
  return sides;
}

std::string DemoContent::shortcutText(std::u16string_view target) {
  const std::string text = utf8(target);
  return std::to_string(target.size()) + "#" + text;
}

std::u16string DemoContent::wallpaperPath(int width, int height) {
  return u"\\Windows\\stwater_" + decimal(width) + u"_" + decimal(height) + u".jpg";
}

bool DemoContent::fail(const std::string &message) {
  error_ = message;
  return false;
}

bool DemoContent::writeFile(const std::u16string &path, const std::vector<std::uint8_t> &bytes) {
  const DWORD error = DeviceFileWriter::write(path, bytes);
  if (error != ERROR_SUCCESS)
    return fail("cannot write " + utf8(path) + " (error " + std::to_string(error) + ")");
  return true;
}

bool DemoContent::setString(HKEY root, const std::u16string &key, const std::u16string &name,
                            const std::u16string &value) {
  HKEY handle = nullptr;
  LONG status =
      RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(handle, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE *>(value.c_str()),
                            DWORD((value.size() + 1) * sizeof(char16_t)));
    RegCloseKey(handle);
  }
  if (status != ERROR_SUCCESS)
    return fail("cannot write the registry value " + utf8(key) + " " + utf8(name) + " (error " +
                std::to_string(status) + ")");
  return true;
}

bool DemoContent::setNumber(HKEY root, const std::u16string &key, const std::u16string &name,
                            DWORD value) {
  HKEY handle = nullptr;
  LONG status =
      RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExW(handle, name.c_str(), 0, REG_DWORD,
                            reinterpret_cast<const BYTE *>(&value), sizeof value);
    RegCloseKey(handle);
  }
  if (status != ERROR_SUCCESS)
    return fail("cannot write the registry value " + utf8(key) + " " + utf8(name) + " (error " +
                std::to_string(status) + ")");
  return true;
}

bool DemoContent::tilePictures(const IconLook &look, const std::vector<int> &sides,
                               std::vector<IconPicture> &pictures) {
  pictures.clear();
  for (int side : sides) {
    Canvas canvas(side, side);
    IconPainter::paintTile(canvas, look);
    std::string error;
    IconPicture picture{side, PictureEncoder::png(canvas, kScratch, &error)};
    if (picture.png.empty())
      return fail("icon " + utf8(look.symbol) + ": " + error);
    pictures.push_back(std::move(picture));
  }
  return true;
}

bool DemoContent::shellPictures(ShellIcon icon, const std::vector<int> &sides,
                                std::vector<IconPicture> &pictures) {
  pictures.clear();
  for (int side : sides) {
    Canvas canvas(side, side);
    IconPainter::paintShellIcon(canvas, icon);
    std::string error;
    IconPicture picture{side, PictureEncoder::png(canvas, kScratch, &error)};
    if (picture.png.empty())
      return fail("shell icon " + std::to_string(int(icon)) + ": " + error);
    pictures.push_back(std::move(picture));
  }
  return true;
}

bool DemoContent::makeFolders() {
  std::vector<std::u16string> folders{kWindows, kStartMenu, kPrograms, kSettingsFolder, u"\\Temp"};
  for (std::u16string_view folder : programFolders())
    folders.push_back(kPrograms + u"\\" + std::u16string(folder));
  for (const std::u16string &folder : folders) {
    const DWORD error = DeviceFileWriter::createFolder(folder);
    if (error != ERROR_SUCCESS)
      return fail("cannot create " + utf8(folder) + " (error " + std::to_string(error) + ")");
  }
  return true;
}

bool DemoContent::installPrograms() {
  std::vector<std::uint8_t> program;
  const bool built = DeviceFileWriter::readHost(payload_ / kSampleProgram, program);
  if (!built)
    log_ << "note: the sample program is not built (" << (payload_ / kSampleProgram).string()
         << "); its names in \\Windows are left out and their shortcuts lead nowhere yet\n";
  std::vector<IconPicture> pictures;
  for (const SampleProgram &p : samplePrograms()) {
    const std::u16string path = kWindows + u"\\" + std::u16string(p.file);
    if (built) {
      if (!writeFile(path, program))
        return false;
      if (const DWORD error = DeviceFileWriter::makeExecutable(path); error != ERROR_SUCCESS)
        return fail("cannot make " + utf8(path) + " executable (error " + std::to_string(error) +
                    ")");
    }
    if (!tilePictures(p.look, iconSides(), pictures) ||
        !writeFile(path + u".ico", IconFileBuilder::iconFile(pictures)))
      return false;
  }
  log_ << "programs: " << samplePrograms().size() << " names of the sample program"
       << (built ? "" : " (icons only)") << " in \\Windows\n";
  return true;
}

bool DemoContent::installApplets() {
  std::vector<IconPicture> pictures;
  for (std::u16string_view library : appletLibraries()) {
    std::vector<std::uint8_t> bytes;
    const auto source = payload_ / utf8(library);
    if (!DeviceFileWriter::readHost(source, bytes))
      return fail("the applet library " + source.string() + " is missing; build demo_applets");
    const std::u16string path = kWindows + u"\\" + std::u16string(library);
    if (!writeFile(path, bytes))
      return false;
    if (const DWORD error = DeviceFileWriter::makeExecutable(path); error != ERROR_SUCCESS)
      return fail("cannot make " + utf8(path) + " executable (error " + std::to_string(error) +
                  ")");
    // The library's icons, one group per applet with id index + 1, in the resource file beside
    // it, where icon extraction looks for the icons of our ELF files.
    PeResourceWriter resources;
    for (const SampleApplet &applet : appletsOf(library)) {
      if (!tilePictures(applet.look, iconSides(), pictures))
        return false;
      resources.addIcon(std::uint16_t(applet.index + 1), pictures);
    }
    if (!writeFile(path + u".ico", resources.build()))
      return false;
  }
  log_ << "applets: " << sampleApplets().size() << " in " << appletLibraries().size()
       << " libraries in \\Windows\n";
  return true;
}

bool DemoContent::describeApplets() {
  for (const SampleApplet &applet : sampleApplets()) {
    const std::u16string key =
        applet.describedByIdName
            ? u"ControlPanel\\" + std::u16string(applet.idName)
            : u"ControlPanel\\" + withoutExtension(applet.library) + u"\\" + decimal(applet.index);
    const std::u16string commandLine =
        std::u16string(applet.library) + u"," + decimal(applet.index);
    if (!setString(HKEY_LOCAL_MACHINE, key, u"Name", std::u16string(applet.name)) ||
        !setNumber(HKEY_LOCAL_MACHINE, key, u"Group", DWORD(applet.group)) ||
        !setNumber(HKEY_LOCAL_MACHINE, key, u"Hide", 0) ||
        !setString(HKEY_LOCAL_MACHINE, key, u"File", kControlPanelHost) ||
        !setString(HKEY_LOCAL_MACHINE, key, u"CmdLine", commandLine))
      return false;
  }
  return true;
}

bool DemoContent::writeShellLibraries() {
  std::vector<IconPicture> pictures;
  PeResourceWriter standard, high;
  for (const ShellIconEntry &entry : shellIcons()) {
    if (!shellPictures(entry.id, iconSides(), pictures))
      return false;
    standard.addIcon(std::uint16_t(entry.id), pictures);
    if (!shellPictures(entry.id, highResolutionSides(), pictures))
      return false;
    high.addIcon(std::uint16_t(entry.id), pictures);
  }
  if (!writeFile(u"\\Windows\\shellres.dll", standard.build()) ||
      !writeFile(u"\\Windows\\shellres.192.dll", high.build()))
    return false;
  log_ << "icon libraries: \\Windows\\shellres.dll and \\Windows\\shellres.192.dll ("
       << shellIcons().size() << " icons)\n";
  return true;
}

bool DemoContent::writeStartMenu() {
  std::size_t count = 0;
  auto shortcut = [&](const std::u16string &folder, std::u16string_view name,
                      std::u16string_view target) {
    ++count;
    const std::string text = shortcutText(target);
    return writeFile(folder + u"\\" + std::u16string(name) + u".lnk",
                     std::vector<std::uint8_t>(text.begin(), text.end()));
  };
  for (const SampleProgram &p : samplePrograms()) {
    const std::u16string target = kWindows + u"\\" + std::u16string(p.file);
    const std::u16string folder =
        p.folder.empty() ? kPrograms : kPrograms + u"\\" + std::u16string(p.folder);
    if (!shortcut(folder, p.name, target))
      return false;
    if (p.pinned && !shortcut(kStartMenu, p.name, target))
      return false;
  }
  // The Settings folder is told from other folders of the Start menu by its icon.lnk.
  if (!shortcut(kSettingsFolder, u"icon", shellIconReference(ShellIcon::SettingsFolder)))
    return false;
  log_ << "start menu: " << count << " shortcuts\n";
  return true;
}

bool DemoContent::writeWallpapers() {
  const DeviceProfile profile = DeviceProfile::current();
  std::vector<std::pair<int, int>> sizes{{profile.screenWidth, profile.screenHeight}};
  if (profile.screenWidth != profile.screenHeight)
    sizes.emplace_back(profile.screenHeight, profile.screenWidth);
  for (const auto &[width, height] : sizes) {
    Canvas canvas(width, height);
    if (!canvas.valid())
      return fail("cannot draw a wallpaper of " + std::to_string(width) + "x" +
                  std::to_string(height));
    WallpaperPainter::paint(canvas);
    std::string error;
    const std::vector<std::uint8_t> jpeg =
        PictureEncoder::jpeg(WallpaperPainter::rgbRows(canvas), width, height, 90, &error);
    if (jpeg.empty())
      return fail("wallpaper: " + error);
    if (!writeFile(wallpaperPath(width, height), jpeg))
      return false;
    log_ << "wallpaper: " << utf8(wallpaperPath(width, height)) << "\n";
  }
  return true;
}

bool DemoContent::registerFileClasses() {
  struct FileClass {
    const char16_t *extension, *name;
    ShellIcon icon;
  };
  const FileClass classes[] = {
      {u".txt", u"txtfile", ShellIcon::TextDocument},
      {u".jpg", u"jpegfile", ShellIcon::PictureDocument},
      {u".png", u"pngfile", ShellIcon::PictureDocument},
      {u".doc", u"docfile", ShellIcon::Document},
  };
  for (const FileClass &c : classes)
    if (!setString(HKEY_CLASSES_ROOT, c.extension, u"", c.name) ||
        !setString(HKEY_CLASSES_ROOT, std::u16string(c.name) + u"\\DefaultIcon", u"",
                   shellIconReference(c.icon)))
      return false;
  return true;
}

bool DemoContent::run(std::string *error) {
  const bool ok = makeFolders() && installPrograms() && installApplets() && describeApplets() &&
                  writeShellLibraries() && writeStartMenu() && writeWallpapers() &&
                  registerFileClasses();
  if (!ok && error)
    *error = error_;
  return ok;
}

} // namespace ce::demo
