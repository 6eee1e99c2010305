// The taskbar of a booted demo device, through the real device tool: its place and size for each
// design and screen, the Start area opening and closing the platform Start menu (and the title
// area doing nothing), the Windows key, hardware keys reaching the focus window through the bar,
// SHFullScreen hiding it, its title following the foreground window, rotation, and what the
// screen shows.
#include "shell_test_device.h"

#include "../src/shell/start_menu_layout.h"
#include "../src/shell/taskbar_geometry.h"

#include <ce/kernel.h>
#include <ce/windows.h>

#include <set>

using shelltest::eventually;
using shelltest::ShellDevice;

namespace {

struct Design {
  const char *taskbar;
  const char *screen;
  int width, height;
  int barHeight;
  int lastStartX;  // the last x of the Start area
  int firstTitleX; // the first x of the title area
};

std::ostream &operator<<(std::ostream &out, const Design &d) {
  return out << d.taskbar << " " << d.screen;
}

class ShellTaskbarDesign : public ::testing::TestWithParam<Design> {};

std::string text(int value) { return std::to_string(value); }

} // namespace

TEST_P(ShellTaskbarDesign, BarAndDesktopTakeTheirPlacesAndStartTogglesTheMenu) {
  const Design d = GetParam();
  ShellDevice device({d.taskbar, d.screen});
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  const auto lines = device.windows();
  ASSERT_GE(lines.size(), 2u);
  const auto bar = device.window("HHTaskBar");
  ASSERT_TRUE(bar);
  EXPECT_TRUE(shelltest::sameRect(bar->rect, RECT{0, 0, d.width, d.barHeight}))
      << shelltest::describe(bar->rect);
  EXPECT_TRUE(bar->visible);
  EXPECT_FALSE(bar->foreground) << "the bar never takes the foreground";
  // The desktop covers the screen below everything else; both belong to the shell's process.
  EXPECT_EQ(lines.back().className, "DeviceDesktop");
  EXPECT_TRUE(shelltest::sameRect(lines.back().rect, RECT{0, 0, d.width, d.height}));
  EXPECT_FALSE(lines.back().foreground);
  EXPECT_EQ(lines.back().pid, bar->pid);
  EXPECT_NE(device.processes().find(std::to_string(bar->pid) + " \\Windows\\shell32.exe"),
            std::string::npos);

  const std::string y = text(d.barHeight / 2);
  // A tap on the title area does nothing: had it opened the menu, the tap on Start right after
  // would have closed it again.
  device.run({"tap", text(d.firstTitleX), y});
  device.run({"tap", text(d.lastStartX), y});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  const auto menu = device.window("MSSTARTMENU");
  ASSERT_TRUE(menu);
  EXPECT_TRUE(menu->foreground) << "the menu takes the foreground";
  EXPECT_EQ(menu->title, "Start");
  EXPECT_EQ(menu->rect.left, 0);
  EXPECT_EQ(menu->rect.top, d.barHeight) << "just under the bar";
  EXPECT_LE(menu->rect.bottom, d.height);
  EXPECT_LT(menu->rect.right, d.width);
  EXPECT_EQ(device.windows().front().className, "MSSTARTMENU") << "in front of everything";

  // Start again closes it.
  device.run({"tap", "0", y});
  EXPECT_TRUE(device.waitGone("MSSTARTMENU"));
  EXPECT_TRUE(device.window("HHTaskBar")->visible);
}

INSTANTIATE_TEST_SUITE_P(Designs, ShellTaskbarDesign,
                         ::testing::Values(Design{"wm65", "480x640", 480, 640, 36, 59, 60},
                                           Design{"classic", "480x640", 480, 640, 52, 159, 160},
                                           Design{"wm65", "240x320", 240, 320, 18, 29, 30},
                                           Design{"classic", "240x320", 240, 320, 26, 79, 80}));

TEST(ShellTaskbar, TheNarrowBarsStartButtonIsACommandToItself) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  // A press on Start released beside it is no tap on Start.
  device.run({"drag", "20", "18", "300", "18", "100", "3"});
  device.run({"tap", "20", "18"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  device.run({"tap", "20", "18"});
  ASSERT_TRUE(device.waitGone("MSSTARTMENU"));
  // The command itself, from another process, is what opens the menu.
  const HWND bar = FindWindowW(u"HHTaskBar", nullptr);
  ASSERT_NE(bar, nullptr);
  ASSERT_TRUE(PostMessageW(bar, WM_COMMAND, 0x47A, 0));
  EXPECT_TRUE(device.waitWindow("MSSTARTMENU"));
  ASSERT_TRUE(PostMessageW(bar, WM_COMMAND, 0x47B, 0)); // another command is not Start
  ASSERT_TRUE(PostMessageW(bar, WM_COMMAND, 0x47A, 0));
  EXPECT_TRUE(device.waitGone("MSSTARTMENU"));
}

TEST(ShellTaskbar, WindowsKeyTogglesTheMenuOnReleaseUnlessUsedWithAnotherKey) {
  ShellDevice device({"classic"});
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  device.run({"key", "LWIN"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  device.run({"key", "LWIN"});
  ASSERT_TRUE(device.waitGone("MSSTARTMENU"));
  // Held as a modifier: nothing. Had it toggled, the plain press after would close the menu.
  device.run({"key", "LWIN", "down"});
  device.run({"key", "A"});
  device.run({"key", "LWIN", "up"});
  device.run({"key", "LWIN"});
  EXPECT_TRUE(device.waitWindow("MSSTARTMENU"));
  // A release without its press (the press went to someone else) is no Windows key either.
  device.run({"key", "LWIN", "up"});
  device.run({"key", "ESC"}); // handed to the menu, which has the focus: it closes
  EXPECT_TRUE(device.waitGone("MSSTARTMENU"));
}

namespace {

// A window of the test process that notes the key messages it gets.
class KeyWindow {
public:
  explicit KeyWindow(const char16_t *title) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &KeyWindow::procedure;
    wc.lpszClassName = u"ShellKeyProbe";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, u"ShellKeyProbe", title, WS_VISIBLE, 20, 100, 200, 200, nullptr,
                           nullptr, nullptr, nullptr);
    EXPECT_NE(hwnd, nullptr) << GetLastError();
  }
  ~KeyWindow() {
    if (hwnd && IsWindow(hwnd))
      DestroyWindow(hwnd);
    UnregisterClassW(u"ShellKeyProbe", nullptr);
    seen().clear();
  }

  struct Key {
    UINT message;
    WPARAM wParam;
    bool operator==(const Key &) const = default;
  };
  static std::vector<Key> &seen() {
    static std::vector<Key> keys;
    return keys;
  }

  // Pumps this thread's messages until `done` holds (false after five seconds).
  static bool pumpUntil(const std::function<bool()> &done) {
    return eventually([&] {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
      return done();
    });
  }
  static bool saw(UINT message, WPARAM wParam) {
    for (const Key &k : seen())
      if (k.message == message && k.wParam == wParam)
        return true;
    return false;
  }

  HWND hwnd = nullptr;

private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_KEYFIRST && message <= WM_KEYLAST)
      seen().push_back(Key{message, wParam});
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
};

} // namespace

TEST(ShellTaskbar, HardwareKeysReachTheFocusWindowOnceThroughTheBar) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  KeyWindow window(u"Keys");
  ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == window.hwnd; }));
  device.run({"key", "A"});
  ASSERT_TRUE(KeyWindow::pumpUntil([] { return KeyWindow::saw(WM_KEYUP, 'A'); }));
  device.run({"type", "xY"});
  ASSERT_TRUE(KeyWindow::pumpUntil([] { return KeyWindow::saw(WM_CHAR, u'Y'); }));
  std::u16string typed;
  std::size_t downs = 0, ups = 0;
  for (const auto &k : KeyWindow::seen()) {
    typed += k.message == WM_CHAR ? std::u16string(1, char16_t(k.wParam)) : u"";
    downs += k.message == WM_KEYDOWN && k.wParam == 'A';
    ups += k.message == WM_KEYUP && k.wParam == 'A';
  }
  EXPECT_EQ(downs, 1u);
  EXPECT_EQ(ups, 1u);
  EXPECT_EQ(typed, u"axY") << "each character once, in order";

  // The Windows key is the bar's own: the menu opens and the window hears nothing of it.
  device.run({"key", "LWIN"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  device.run({"key", "ESC"});
  ASSERT_TRUE(device.waitGone("MSSTARTMENU"));
  // The foreground comes back to the window, and keys with it.
  ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == window.hwnd; }));
  device.run({"key", "B"});
  ASSERT_TRUE(KeyWindow::pumpUntil([] { return KeyWindow::saw(WM_KEYUP, 'B'); }));
  EXPECT_FALSE(KeyWindow::saw(WM_KEYDOWN, VK_LWIN));
  EXPECT_FALSE(KeyWindow::saw(WM_KEYUP, VK_LWIN));
  EXPECT_FALSE(KeyWindow::saw(WM_KEYDOWN, VK_ESCAPE)) << "ESC went to the menu";
}

TEST(ShellTaskbar, FullScreenWindowsHideTheBarWhileInFront) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  KeyWindow window(u"Full screen");
  ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == window.hwnd; }));
  const auto barVisible = [&] {
    const auto bar = device.window("HHTaskBar");
    return bar && bar->visible;
  };
  ASSERT_TRUE(SHFullScreen(window.hwnd, SHFS_HIDETASKBAR));
  ASSERT_TRUE(eventually([&] { return !barVisible(); }));
  // The hidden bar still takes the keys: it hands the others on to the focus window and keeps
  // the Windows key, which opens the menu (in front, so the bar shows again).
  device.run({"key", "C"});
  ASSERT_TRUE(KeyWindow::pumpUntil([] { return KeyWindow::saw(WM_KEYUP, 'C'); }));
  device.run({"key", "LWIN"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  EXPECT_TRUE(eventually(barVisible));
  device.run({"key", "ESC"});
  ASSERT_TRUE(device.waitGone("MSSTARTMENU"));
  EXPECT_TRUE(eventually([&] { return !barVisible(); })) << "the window in front again";
  EXPECT_FALSE(KeyWindow::saw(WM_KEYUP, VK_LWIN));

  ASSERT_TRUE(SHFullScreen(window.hwnd, SHFS_SHOWTASKBAR));
  ASSERT_TRUE(eventually(barVisible));
  ASSERT_TRUE(SHFullScreen(window.hwnd, SHFS_HIDETASKBAR));
  ASSERT_TRUE(eventually([&] { return !barVisible(); }));
  // Another window in front brings the bar back; the full-screen window's return hides it again.
  device.run({"run", "\\Windows\\notes.exe"});
  ASSERT_TRUE(device.waitWindow("DemoSampleProgram"));
  EXPECT_TRUE(eventually(barVisible));
  ASSERT_TRUE(SetForegroundWindow(window.hwnd));
  EXPECT_TRUE(eventually([&] { return !barVisible(); }));
  // The window's end brings it back for good.
  ASSERT_TRUE(DestroyWindow(window.hwnd));
  EXPECT_TRUE(eventually(barVisible));
}

TEST(ShellTaskbar, TitleFollowsTheForegroundWindowWhateverIsPostedToTheBar) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  EXPECT_EQ(device.window("HHTaskBar")->title, "") << "nothing in front yet";
  // WM_CLOSE and WM_DESTROY posted to the bar by another process leave it as it was.
  const HWND bar = FindWindowW(u"HHTaskBar", nullptr);
  ASSERT_NE(bar, nullptr);
  ASSERT_TRUE(PostMessageW(bar, WM_CLOSE, 0, 0));
  ASSERT_TRUE(PostMessageW(bar, WM_DESTROY, 0, 0));
  device.run({"run", "\\Windows\\Start Menu\\Programs\\Office\\Notes.lnk"});
  ASSERT_TRUE(device.waitWindow("DemoSampleProgram"));
  EXPECT_TRUE(eventually([&] { return device.window("HHTaskBar")->title == "Notes"; }));
  device.run({"tap", "10", "10"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  EXPECT_TRUE(eventually([&] { return device.window("HHTaskBar")->title == "Start"; }));
  device.run({"tap", "10", "10"});
  EXPECT_TRUE(eventually([&] { return device.window("HHTaskBar")->title == "Notes"; }));
}

TEST(ShellTaskbar, RotationKeepsTheBarFullWidthAndTheDesktopWholeScreen) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  device.run({"rotate"});
  const int landscapeBar = ce::shell::TaskbarGeometry(ce::TaskbarKind::Wm65, 640).height();
  EXPECT_TRUE(eventually([&] {
    const auto bar = device.window("HHTaskBar");
    const auto desktop = device.window("DeviceDesktop");
    return bar && desktop && shelltest::sameRect(bar->rect, RECT{0, 0, 640, landscapeBar}) &&
           shelltest::sameRect(desktop->rect, RECT{0, 0, 640, 480});
  })) << shelltest::describe(device.window("HHTaskBar")->rect);
  EXPECT_TRUE(device.logHas("desktop: wallpaper \\Windows\\stwater_640_480.jpg"));
  // The menu opens under the new bar, within the turned screen.
  device.run({"tap", "10", "10"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  const auto menu = device.window("MSSTARTMENU");
  EXPECT_EQ(menu->rect.top, landscapeBar);
  EXPECT_LE(menu->rect.bottom, 480);
  // Turning back closes the menu, which no longer fits, and restores the portrait bar.
  device.run({"rotate"});
  EXPECT_TRUE(device.waitGone("MSSTARTMENU"));
  EXPECT_TRUE(eventually([&] {
    return shelltest::sameRect(device.window("HHTaskBar")->rect, RECT{0, 0, 480, 36});
  }));
}

TEST(ShellTaskbar, ScreenShowsTheBarOverTheWallpaperAndTheMenuOverBoth) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  int width = 0;
  const auto home = device.screenshot(&width);
  ASSERT_EQ(home.size(), 480u * 640u);
  const auto at = [&](const std::vector<std::uint32_t> &shot, int x, int y) {
    return shot[std::size_t(y) * std::size_t(width) + std::size_t(x)];
  };
  const auto red = [](std::uint32_t c) { return int((c >> 16) & 0xFF); };
  const auto blue = [](std::uint32_t c) { return int(c & 0xFF); };
  // The demo's wallpaper is water: blue well above red everywhere below the bar.
  for (int y : {100, 320, 600})
    EXPECT_GT(blue(at(home, 400, y)), red(at(home, 400, y)) + 40) << "at 400," << y;
  // The bar: dark, not the wallpaper.
  EXPECT_LT(blue(at(home, 300, 30)), 0x50);

  device.run({"tap", "10", "10"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  const ce::shell::StartMenuLayout layout(480, 640, 36, 8);
  std::vector<std::uint32_t> open;
  // The menu paints right after it shows: wait for its rows.
  const RECT calendar = layout.row(3, 0);
  const int rowY = 36 + (calendar.top + calendar.bottom) / 2;
  ASSERT_TRUE(eventually([&] {
    open = device.screenshot();
    return open.size() == home.size() && at(open, layout.width() - 30, rowY) == 0xFFFFFF;
  })) << "a row's empty right end is white";
  // Beside the menu the wallpaper is untouched.
  EXPECT_EQ(at(open, 400, 320), at(home, 400, 320));
  EXPECT_EQ(at(open, layout.width() + 5, 200), at(home, layout.width() + 5, 200));
}
