// A service library loaded by the services host at boot subclasses the taskbar, as a taskbar
// hook service does (the probe in tests/libraries/taskbar_probe.cpp), and sees the bar's stylus,
// key and command messages; what it keeps from the bar decides whether the platform Start menu
// opens.
#include "shell_test_device.h"

#include <ce/kernel.h>
#include <ce/registry.h>
#include <ce/windows.h>

#include <sstream>

using shelltest::eventually;
using shelltest::ShellDevice;

namespace {

std::vector<std::string> probeLines(const ShellDevice &device) {
  std::ifstream in(device.root / "taskbar_probe.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

bool probeSaw(const ShellDevice &device, const std::string &line) {
  return eventually([&] {
    const auto lines = probeLines(device);
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  });
}

void setNumber(const char16_t *key, const char16_t *name, DWORD value) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &handle, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(handle, name, 0, REG_DWORD, reinterpret_cast<const BYTE *>(&value), 4);
  RegCloseKey(handle);
}

void setString(const char16_t *key, const char16_t *name, const std::u16string &value) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &handle, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                 DWORD((value.size() + 1) * 2));
  RegCloseKey(handle);
}

// A demo device with the probe registered as a boot service, booted; `swallow` as the probe's
// Swallow value.
std::unique_ptr<ShellDevice> hookedDevice(const std::string &taskbar, DWORD swallow) {
  auto device = std::make_unique<ShellDevice>(ShellDevice::Options{taskbar, "480x640", false});
  std::filesystem::copy_file(std::filesystem::path(CE_TEST_LIBRARY_DIR) / "taskbar_probe.dll",
                             device->root / "fs" / "Windows" / "taskbar_probe.dll");
  setString(u"Services\\TaskbarProbe", u"Dll", u"taskbar_probe.dll");
  setString(u"Services\\TaskbarProbe", u"Prefix", u"TBP");
  setNumber(u"Services\\TaskbarProbe", u"Index", 0);
  setNumber(u"Services\\TaskbarProbe", u"Order", 5);
  setNumber(u"Software\\TaskbarProbe", u"Swallow", swallow);
  device->boot();
  return device;
}

} // namespace

TEST(ShellTaskbarHook, AServiceSubclassingTheBarSeesItsMessagesAndPassesThemOn) {
  auto device = hookedDevice("wm65", 0);
  ASSERT_TRUE(probeSaw(*device, "hooked 480x36")) << device->hostLog();
  // A tap on Start: the press and release in client coordinates, then the bar's command to
  // itself, which goes through the hook too and, passed on, opens the menu.
  device->run({"tap", "20", "10"});
  ASSERT_TRUE(probeSaw(*device, "command done"));
  const auto lines = probeLines(*device);
  const std::vector<std::string> tap{"down 20 10", "up 20 10", "command 0x47a", "command done"};
  EXPECT_NE(std::search(lines.begin(), lines.end(), tap.begin(), tap.end()), lines.end());
  EXPECT_TRUE(device->waitWindow("MSSTARTMENU"));
  // Keys arrive at the bar first.
  device->run({"key", "ESC"});
  EXPECT_TRUE(probeSaw(*device, "keydown 0x1b"));
  EXPECT_TRUE(probeSaw(*device, "keyup 0x1b"));
  EXPECT_TRUE(device->waitGone("MSSTARTMENU")) << "passed on, ESC reached the menu";
  device->run({"key", "LWIN"});
  EXPECT_TRUE(probeSaw(*device, "keyup 0x5b"));
  EXPECT_TRUE(device->waitWindow("MSSTARTMENU"));
}

TEST(ShellTaskbarHook, SwallowingTheStartCommandKeepsThePlatformMenuClosed) {
  auto device = hookedDevice("wm65", 1);
  ASSERT_TRUE(probeSaw(*device, "hooked 480x36")) << device->hostLog();
  device->run({"tap", "20", "10"});
  ASSERT_TRUE(probeSaw(*device, "command swallowed"));
  // The menu would have opened inside the command's handling, before the probe's line.
  EXPECT_FALSE(device->window("MSSTARTMENU"));
  // The Windows key does not go through the command: it still opens the menu.
  device->run({"key", "LWIN"});
  EXPECT_TRUE(device->waitWindow("MSSTARTMENU"));
}

TEST(ShellTaskbarHook, AClassicBarPressMovedOffTheBarOpensNothing) {
  auto device = hookedDevice("classic", 2);
  ASSERT_TRUE(probeSaw(*device, "hooked 480x52")) << device->hostLog();
  device->run({"tap", "20", "20"});
  ASSERT_TRUE(probeSaw(*device, "up 20 20"));
  // The bar got the press at lParam -1, off its Start area: no menu. A key press after it shows
  // that the bar has handled the tap by the time the key arrives.
  device->run({"key", "A"});
  ASSERT_TRUE(probeSaw(*device, "keyup 0x41"));
  EXPECT_FALSE(device->window("MSSTARTMENU"));
}

namespace {

// A full-screen window of the test process that notes the keys it gets.
LRESULT CALLBACK fullScreenProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_KEYUP)
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 7, wParam, 0);
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Pumps until the window reports the release of `key`.
bool windowGotKeyUp(WPARAM key) {
  return eventually([&] {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_APP + 7 && msg.wParam == key)
        return true;
      DispatchMessageW(&msg);
    }
    return false;
  });
}

} // namespace

// A full-screen program hides the bar; the service that subclassed it still sees every key, the
// Windows key first of all, and the program still gets the others.
TEST(ShellTaskbarHook, AHiddenBarStillHandsEveryKeyToItsSubclass) {
  auto device = hookedDevice("wm65", 1);
  ASSERT_TRUE(probeSaw(*device, "hooked 480x36")) << device->hostLog();
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  WNDCLASSW wc{};
  wc.lpfnWndProc = &fullScreenProcedure;
  wc.lpszClassName = u"HookFullScreen";
  ASSERT_NE(RegisterClassW(&wc), 0);
  const HWND window = CreateWindowExW(0, u"HookFullScreen", u"Full", WS_VISIBLE, 0, 0, 480, 640,
                                      nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ASSERT_TRUE(SHFullScreen(window, SHFS_HIDETASKBAR));
  ASSERT_TRUE(eventually([&] {
    const auto bar = device->window("HHTaskBar");
    return bar && !bar->visible;
  }));
  device->run({"key", "B"});
  EXPECT_TRUE(probeSaw(*device, "keyup 0x42"));
  EXPECT_TRUE(windowGotKeyUp('B'));
  device->run({"key", "LWIN"});
  EXPECT_TRUE(probeSaw(*device, "keydown 0x5b"));
  EXPECT_TRUE(probeSaw(*device, "keyup 0x5b"));
  DestroyWindow(window);
  UnregisterClassW(u"HookFullScreen", nullptr);
}
