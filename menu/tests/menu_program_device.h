// A booted demo device with the system's package installed (the service running), for the menu
// program's end-to-end tests: the real Vireta.exe is started, tapped, turned and told things
// through the device tool and window messages, and what it shows is read back from the screen
// and saved as screenshots (build/menu-screenshots).
#pragma once

#include <service_testing/service_device.h>

#include "../../platform/src/screen/display.h"

#include <menu/grid_geometry.h>
#include <toolkit/registry/registry_key.h>

#include <ce/core/utf.h>
#include <ce/windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace menutest {

using servicetest::eventually;

inline constexpr char16_t SettingsKey[] = u"SOFTWARE\\Tolmar_Vireta";
inline constexpr char MenuClass[] = "Vireta";
inline constexpr char MenuProgram[] = "\\Program Files\\Vireta\\Vireta.exe";
// A background of one colour makes every icon stand out: 5-6-5 of RGB(255, 0, 255).
inline constexpr COLORREF FlatBackground = RGB(255, 0, 255);
inline constexpr std::uint16_t FlatBackground565 = 0xF81F;

// The screen as the framebuffer holds it, 5-6-5 per pixel.
struct Frame {
  int width = 0;
  int height = 0;
  std::vector<std::uint16_t> pixels;

  std::uint16_t at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height)
      return 0;
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
  bool operator==(const Frame &) const = default;
};

inline int red(std::uint16_t pixel) { return (pixel >> 11) & 31; }
inline int green(std::uint16_t pixel) { return (pixel >> 5) & 63; }
inline int blue(std::uint16_t pixel) { return pixel & 31; }

class MenuProgramDevice {
public:
  explicit MenuProgramDevice(const servicetest::DeviceOptions &options = {}) : device(options) {
    device.boot();
    const auto installed = device.install();
    EXPECT_EQ(installed.exitCode, 0) << installed.output;
    EXPECT_TRUE(eventually([] { return servicetest::serviceLoaded(); })) << device.hostLog();
    // The hook thread notes the taskbar once it has hooked it: from then on Start is the menu's.
    EXPECT_TRUE(eventually(
        [] { return servicetest::readNumber(SettingsKey, u"DeviceWinVersion").has_value(); }));
    // Then the service writes the Settings folders' items, on a thread of its own: a menu started
    // before they are there shows those folders without them.
    EXPECT_TRUE(eventually([] { return settingsItemsWritten(); })) << device.hostLog();
  }
  // Whether the demo's applet items are written: the service writes them in the order of their
  // keys, the System applets' ("system.cpl,N") after the Personal and Connections ones.
  static bool settingsItemsWritten() {
    const std::u16string system = u"Security\\Shell\\StartInfo\\Start\\Settings\\System\\";
    for (const auto &name : RegistryKey::open(HKEY_LOCAL_MACHINE, system).subkeyNames())
      if (RegistryKey::open(HKEY_LOCAL_MACHINE, system + name).readText(u"target"))
        return true;
    return false;
  }
  ~MenuProgramDevice() { endMenu(); }

  // Starts the menu program as a person or the service would; does not wait.
  void startMenu(const std::string &commandLine = {}) const {
    std::vector<std::string> args{"run", MenuProgram};
    if (!commandLine.empty())
      args.push_back(commandLine);
    device.run(args);
  }
  // Starts it and waits until its window is in front.
  void startMenuAndWait(const std::string &commandLine = {}) {
    startMenu(commandLine);
    ASSERT_TRUE(device.waitVisibleInFront(MenuClass)) << device.hostLog();
  }
  // Ends the menu program (as the setup library does) and waits until it is gone.
  void endMenu() const {
    if (const HWND menu = FindWindowW(u"Vireta", nullptr))
      PostMessageW(menu, 0x420, 1, 0);
    EXPECT_TRUE(eventually([&] { return menuProcesses() == 0; })) << device.hostLog();
  }
  static HWND menuWindow() { return FindWindowW(u"Vireta", nullptr); }
  static bool post(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    return PostMessageW(menuWindow(), message, wParam, lParam) != FALSE;
  }
  static bool command(WPARAM id) { return post(WM_COMMAND, id); }

  int menuProcesses() const { return device.processCount("\\Vireta.exe"); }
  std::optional<servicetest::WindowLine> menu() const { return device.window(MenuClass); }
  std::string title() const {
    const auto line = menu();
    return line ? line->title : std::string();
  }
  bool waitTitle(const std::string &wanted) const {
    return eventually([&] { return title() == wanted; });
  }
  bool waitShown() const { return device.waitVisibleInFront(MenuClass); }
  bool waitHidden() const { return device.waitHidden(MenuClass); }

  // The Start button of the taskbar: the service shows, or sends away, the menu.
  void tapStart() const { device.tap(20, 10); }
  // The soft keys below the menu, once the device has settled (the bar where the menu put it).
  void tapLeftKey() const {
    ASSERT_TRUE(device.sync());
    const auto bar = device.window("ToolbarWindow32");
    ASSERT_TRUE(bar);
    device.tap(bar->rect.right / 4, (bar->rect.top + bar->rect.bottom) / 2);
  }

  // What the screen shows now.
  static Frame frame() {
    // The framebuffer is asked for afresh: turning the screen gives the host a new one.
    ce::useDisplay(nullptr);
    Frame frame;
    IDirectDraw *directDraw = nullptr;
    if (FAILED(DirectDrawCreate(nullptr, &directDraw, nullptr)))
      return frame;
    directDraw->SetCooperativeLevel(nullptr, DDSCL_NORMAL);
    DDSURFACEDESC description;
    std::memset(&description, 0, sizeof description);
    description.dwSize = sizeof description;
    description.dwFlags = DDSD_CAPS;
    description.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
    IDirectDrawSurface *primary = nullptr;
    if (SUCCEEDED(directDraw->CreateSurface(&description, &primary, nullptr))) {
      std::memset(&description, 0, sizeof description);
      description.dwSize = sizeof description;
      if (SUCCEEDED(primary->Lock(nullptr, &description, DDLOCK_WAIT, nullptr))) {
        frame.width = static_cast<int>(description.dwWidth);
        frame.height = static_cast<int>(description.dwHeight);
        for (DWORD y = 0; y < description.dwHeight; ++y) {
          const auto *row = reinterpret_cast<const std::uint16_t *>(
              static_cast<const std::uint8_t *>(description.lpSurface) + y * description.lPitch);
          frame.pixels.insert(frame.pixels.end(), row, row + description.dwWidth);
        }
        primary->Unlock(nullptr);
      }
      primary->Release();
    }
    directDraw->Release();
    return frame;
  }
  // Waits until the menu is in front and the device has settled: every input handled, the
  // menu's loaders done with what they were asked, every paint done. For screenshots, once what
  // a test checks is on screen, and for input that must find the menu idle.
  ::testing::AssertionResult waitSettled(int ms = 15000) const {
    if (!device.waitVisibleInFront(MenuClass, ms))
      return ::testing::AssertionFailure() << "the menu is not in front";
    return device.sync(static_cast<std::uint32_t>(ms));
  }

  // Saves what the screen shows as build/menu-screenshots/<name>.png (with the device tool).
  void screenshot(const std::string &name) const {
    std::filesystem::create_directories(MENU_SCREENSHOT_DIR);
    const std::string path = std::string(MENU_SCREENSHOT_DIR) + "/" + name + ".png";
    device.run({"screenshot", path});
    EXPECT_TRUE(std::filesystem::exists(path));
  }

  // The top left of the grid on the screen: below the taskbar and the panel's header.
  POINT gridOrigin() const {
    const auto line = menu();
    const int top = line ? line->rect.top : 0;
    return POINT{0, top + headerHeight()};
  }
  int headerHeight() const { return static_cast<int>(44 * scale()); }
  static double scale() {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    return std::min(width, height) / 480.0;
  }
  // The grid as the menu lays it out with the default settings and `perRow` icons a row.
  static GridGeometry grid(int perRow) {
    GridGeometry geometry;
    geometry.layout(GetSystemMetrics(SM_CXSCREEN), scale(), 80, perRow, 1.4);
    return geometry;
  }
  // The middle of the picture of the icon in `slot` on the screen.
  POINT iconCentre(const GridGeometry &geometry, long long slot) const {
    const GridCell cell = geometry.cellOf(slot);
    const POINT origin = gridOrigin();
    const int half = geometry.iconWidth() / 2;
    return POINT{origin.x + cell.x + half, origin.y + cell.y + half};
  }
  // How many icons the first row shows on a flat background; -1 while the background is not
  // on screen between the first two cells (during a transition, or before the first frame).
  int iconsInFirstRow(const Frame &shown, const GridGeometry &geometry) const {
    const POINT first = iconCentre(geometry, 0);
    const int between = first.x + geometry.iconWidth() / 2 + geometry.gap() / 2;
    if (shown.at(between, first.y) != FlatBackground565)
      return -1;
    int count = 0;
    for (int slot = 0; slot < geometry.iconsPerLine(); ++slot) {
      const POINT centre = iconCentre(geometry, slot);
      const std::uint16_t pixel = shown.at(centre.x, centre.y);
      if (centre.x < shown.width && pixel != FlatBackground565 && pixel != 0)
        ++count;
    }
    return count;
  }
  // Which of the first `cells` cells show an icon on the flat background (true for an icon).
  std::vector<bool> iconsInCells(const Frame &shown, const GridGeometry &geometry,
                                 int cells) const {
    std::vector<bool> icons;
    for (int slot = 0; slot < cells; ++slot) {
      const POINT centre = iconCentre(geometry, slot);
      const std::uint16_t pixel = shown.at(centre.x, centre.y);
      icons.push_back(pixel != FlatBackground565 && pixel != 0);
    }
    return icons;
  }
  // Whether the first `cells` cells show icons and the cell after them none (flat background).
  bool waitIconsInFirstCells(const GridGeometry &geometry, int cells) const {
    std::vector<bool> expected(static_cast<std::size_t>(cells) + 1, true);
    expected.back() = false;
    return eventually([&] { return iconsInCells(frame(), geometry, cells + 1) == expected; });
  }
  // Whether anything but the flat background passed over `spot` while a tap at `at` took
  // effect (watched for `ms`): the zoom of a launch does.
  bool spotCoveredDuringTap(POINT at, POINT spot, DWORD ms = 1500) const {
    auto tap = device.startTool({"tap", std::to_string(at.x), std::to_string(at.y)});
    bool covered = false;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
      const std::uint16_t pixel = frame().at(spot.x, spot.y);
      covered = covered || (pixel != FlatBackground565 && pixel != 0);
    }
    tap->wait();
    return covered;
  }
  // The pixels of `area` on the screen, row by row.
  static std::vector<std::uint16_t> pixelsOf(const Frame &shown, const RECT &area) {
    std::vector<std::uint16_t> pixels;
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        pixels.push_back(shown.at(x, y));
    return pixels;
  }

  // Picks the flat background for the next start of the menu.
  static void useFlatBackground() {
    servicetest::writeNumber(SettingsKey, u"hasBackgroundImage", 0);
    servicetest::writeNumber(SettingsKey, u"colorBackground", FlatBackground);
  }
  // Folders are shown at once, without a transition, from the next start of the menu on.
  static void withoutTransitions() {
    servicetest::writeNumber(SettingsKey, u"ShowStartAnimations", 0);
  }
  // Waits until the first row of the grid shows `count` icons (on the flat background).
  bool waitFirstRow(int count, int perRow) const {
    const bool shown = eventually([&] { return iconsInFirstRow(frame(), grid(perRow)) == count; });
    if (!shown) {
      screenshot("failed-first-row-" + std::to_string(count));
      const Frame now = frame();
      std::cerr << "frame " << now.width << "x" << now.height << " counted "
                << iconsInFirstRow(now, grid(perRow));
      for (int slot = 0; slot < perRow; ++slot) {
        const POINT c = iconCentre(grid(perRow), slot);
        std::cerr << " " << c.x << "," << c.y << "=" << std::hex << now.at(c.x, c.y) << std::dec;
      }
      std::cerr << "\n";
    }
    return shown;
  }

  // A folder below Programs, on the device's file system ("Games/Puzzles"), with shortcuts to
  // the demo's sample program.
  void folder(const std::string &relative, std::initializer_list<std::string> shortcuts) const {
    const auto directory = device.hostPath("Windows/Start Menu/Programs/" + relative);
    std::filesystem::create_directories(directory);
    for (const auto &name : shortcuts) {
      const std::string command = "\\Windows\\calc.exe";
      std::ofstream(directory / (name + ".lnk")) << command.size() << "#" << command;
    }
  }
  // A device program that notes its start in \Temp\launches.txt, installed at `devicePath`.
  void launchWitnessAt(const std::string &devicePath) const {
    std::string relative = devicePath.substr(1);
    for (char &c : relative)
      if (c == '\\')
        c = '/';
    const auto host = device.hostPath(relative);
    std::filesystem::create_directories(host.parent_path());
    std::filesystem::copy_file(LAUNCH_WITNESS_PROGRAM, host,
                               std::filesystem::copy_options::overwrite_existing);
  }
  std::string launches() const { return device.readDeviceFile("Temp/launches.txt"); }

  static bool hasSetting(std::u16string_view name) {
    return RegistryKey::open(HKEY_LOCAL_MACHINE, SettingsKey).hasValue(name);
  }

  servicetest::ServiceDevice device;
};

} // namespace menutest
