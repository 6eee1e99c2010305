// What the demo device holds: its sample programs, control-panel applets, Start menu folders and
// the icons of the shell's icon library. The content generator lays the device out from these
// tables; the applet libraries and the sample program answer from them, so that a name shown
// in the Start menu, in the registry and in a window is one and the same text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace ce::demo {

// How an icon looks: a rounded tile of `colour` (0xRRGGBB) with `symbol` drawn on it in white.
struct IconLook {
  std::uint32_t colour = 0;
  std::u16string_view symbol;
};

// One name under which the sample program is installed in \Windows.
struct SampleProgram {
  std::u16string_view file;   // "calc.exe"
  std::u16string_view name;   // "Calculator": the shortcut's name and the window's title
  std::u16string_view folder; // Start menu folder below Programs ("" for Programs itself)
  bool pinned;                // also has a shortcut directly in \Windows\Start Menu
  IconLook look;
};

// The control-panel group an applet is sorted into (the "Group" value of its description).
enum class AppletGroup : int { Personal = 0, System = 1, Connections = 2 };

struct SampleApplet {
  std::u16string_view library; // "personal.cpl", installed in \Windows
  int index;                   // position within the library
  std::u16string_view idName;  // CPL_IDNAME answer, at most 32 characters
  std::u16string_view name;    // shown name, at most 31 characters
  std::u16string_view info;    // description, at most 63 characters
  AppletGroup group;
  // The HKLM\ControlPanel description is filed under the identifier name instead of
  // "<library without .cpl>\<index>" (both forms occur on devices).
  bool describedByIdName;
  IconLook look;
};

// Icons of \Windows\shellres.dll (and its high-resolution twin), by resource id. Shortcuts and
// file classes name them as "\Windows\shellres.dll,-<id>".
enum class ShellIcon : int {
  Document = 1,
  TextDocument = 2,
  PictureDocument = 3,
  Folder = 4,
  Program = 5,
  SettingsFolder = 6,
};

struct ShellIconEntry {
  ShellIcon id;
  std::u16string_view description;
};

std::span<const SampleProgram> samplePrograms();
std::span<const SampleApplet> sampleApplets();
std::span<const ShellIconEntry> shellIcons();

// The applet libraries, each once, in the order of sampleApplets().
std::span<const std::u16string_view> appletLibraries();
// The applets of one library in index order (empty for an unknown library; the name compares
// without regard to case).
std::span<const SampleApplet> appletsOf(std::u16string_view library);

// The sample program installed under `file` (a file name or a path; compared without regard
// to case), or null.
const SampleProgram *findProgram(std::u16string_view file);

// The name a program shows for its own file: the catalog's name, or else the file name
// without its folder and extension, with the first letter of every word in capitals
// ("my_tool.exe" -> "My Tool").
std::u16string displayNameForFile(std::u16string_view path);

// Start menu folders below Programs that the demo device has.
std::span<const std::u16string_view> programFolders();

} // namespace ce::demo
