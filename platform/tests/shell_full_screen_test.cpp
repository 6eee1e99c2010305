// What the shell leaves to programs on a booted demo device: the work area below the taskbar (for
// CW_USEDEFAULT windows, SPI_GETWORKAREA and the input panel's visible desktop, in both
// orientations), SHFullScreen's six flags, and the trace that keybd_event of an unknown key
// leaves in the host's log.
#include "shell_test_device.h"

#include "../src/controls/menu_bar.h"
#include "../src/shell/taskbar_geometry.h"

#include <ce/kernel.h>
#include <ce/menubar.h>
#include <ce/menus.h>
#include <ce/sip.h>
#include <ce/windows.h>

#include <chrono>

using shelltest::eventually;
using shelltest::sameRect;
using shelltest::ShellDevice;

namespace {

RECT workArea() {
  RECT area{};
  EXPECT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0)) << GetLastError();
  return area;
}

RECT visibleDesktop() {
  SIPINFO info{};
  info.cbSize = sizeof info;
  EXPECT_TRUE(SipGetInfo(&info));
  return info.rcVisibleDesktop;
}

bool panelShown() {
  SIPINFO info{};
  info.cbSize = sizeof info;
  return SipGetInfo(&info) && (info.fdwFlags & SIPF_ON);
}

bool reddish(std::uint32_t pixel) {
  return ((pixel >> 16) & 0xFF) > 0xE0 && ((pixel >> 8) & 0xFF) < 0x20 && (pixel & 0xFF) < 0x20;
}

// The flag's warm colour (the screen keeps 5-6-5 colours).
bool warm(std::uint32_t pixel) {
  const int r = int((pixel >> 16) & 0xFF), g = int((pixel >> 8) & 0xFF), b = int(pixel & 0xFF);
  return r > 0xE0 && g > 0x98 && g < 0xC8 && b < 0x20;
}

// A window of the test process, filled with red when it paints, that notes the commands and
// key releases it gets.
class ColourWindow {
public:
  ColourWindow(int x, int y, int width, int height) {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &ColourWindow::procedure;
    wc.lpszClassName = u"ShellColourWindow";
    RegisterClassW(&wc);
    hwnd = CreateWindowExW(0, u"ShellColourWindow", u"Colour", WS_VISIBLE, x, y, width, height,
                           nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(hwnd, nullptr) << GetLastError();
    seen().clear();
  }
  ~ColourWindow() {
    if (IsWindow(hwnd))
      DestroyWindow(hwnd);
    UnregisterClassW(u"ShellColourWindow", nullptr);
  }
  // Runs this thread's messages (paints, commands, keys).
  static void pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&msg);
  }
  // Pumps until the window has got `message` with `wParam` (five seconds at most).
  static bool got(UINT message, WPARAM wParam) {
    return eventually([&] {
      pump();
      const auto &all = seen();
      return std::find(all.begin(), all.end(), std::make_pair(message, wParam)) != all.end();
    });
  }
  static std::vector<std::pair<UINT, WPARAM>> &seen() {
    static std::vector<std::pair<UINT, WPARAM>> messages;
    return messages;
  }
  RECT rect() const {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
  }

  HWND hwnd = nullptr;

private:
  static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT ps{};
      const HDC dc = BeginPaint(hwnd, &ps);
      RECT all{};
      GetClientRect(hwnd, &all);
      const HBRUSH brush = CreateSolidBrush(RGB(0xFF, 0, 0));
      if (dc)
        FillRect(dc, &all, brush);
      DeleteObject(brush);
      EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_COMMAND:
    case WM_KEYUP:
      seen().emplace_back(message, wParam);
      return 0;
    default:
      return DefWindowProcW(hwnd, message, wParam, lParam);
    }
  }
};

struct BarDesign {
  const char *taskbar;
  ce::TaskbarKind kind;
};

std::ostream &operator<<(std::ostream &out, const BarDesign &o) { return out << o.taskbar; }

class ShellWorkArea : public ::testing::TestWithParam<BarDesign> {};

} // namespace

// CW_USEDEFAULT, SPI_GETWORKAREA and the input panel's visible desktop all give the screen below
// the taskbar as the taskbar has it, before and after the screen turns.
TEST_P(ShellWorkArea, DefaultWindowsSystemAndInputPanelAgreeWithTheTaskbar) {
  ShellDevice device({GetParam().taskbar, "480x640"});
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  const int portraitBar = ce::shell::TaskbarGeometry(GetParam().kind, 480).height();
  const RECT portrait{0, portraitBar, 480, 640};
  EXPECT_TRUE(sameRect(workArea(), portrait)) << shelltest::describe(workArea());
  EXPECT_TRUE(sameRect(visibleDesktop(), portrait)) << shelltest::describe(visibleDesktop());
  EXPECT_TRUE(sameRect(device.window("HHTaskBar")->rect, RECT{0, 0, 480, portraitBar}));
  ColourWindow window(CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  EXPECT_TRUE(sameRect(window.rect(), portrait)) << shelltest::describe(window.rect());

  device.run({"rotate"});
  const int landscapeBar = ce::shell::TaskbarGeometry(GetParam().kind, 640).height();
  const RECT landscape{0, landscapeBar, 640, 480};
  ASSERT_TRUE(eventually([&] {
    const auto bar = device.window("HHTaskBar");
    return bar && sameRect(bar->rect, RECT{0, 0, 640, landscapeBar});
  }));
  EXPECT_TRUE(sameRect(workArea(), landscape)) << shelltest::describe(workArea());
  EXPECT_TRUE(sameRect(visibleDesktop(), landscape)) << shelltest::describe(visibleDesktop());
  EXPECT_TRUE(sameRect(window.rect(), landscape)) << "a window on the work area stays on it";
  // The panel, shown, takes its part from the bottom of the visible desktop.
  ASSERT_TRUE(SipShowIM(SIPF_ON));
  SIPINFO info{};
  info.cbSize = sizeof info;
  ASSERT_TRUE(SipGetInfo(&info));
  EXPECT_EQ(info.rcVisibleDesktop.top, landscapeBar);
  EXPECT_EQ(info.rcVisibleDesktop.bottom, info.rcSipRect.top);
  ASSERT_TRUE(SipShowIM(SIPF_OFF));
}

INSTANTIATE_TEST_SUITE_P(Taskbars, ShellWorkArea,
                         ::testing::Values(BarDesign{"wm65", ce::TaskbarKind::Wm65},
                                           BarDesign{"classic", ce::TaskbarKind::Classic}),
                         [](const auto &info) { return std::string(info.param.taskbar); });

TEST(ShellFullScreen, AWindowCoversTheWholeScreenAndHidesTheStartIcon) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  ColourWindow window(0, 0, 480, 640);
  ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == window.hwnd; }));
  const auto barVisible = [&] {
    const auto bar = device.window("HHTaskBar");
    return bar && bar->visible;
  };
  const auto pixelsOfTheBar = [&](const std::function<bool(std::uint32_t)> &wanted) {
    ColourWindow::pump();
    int width = 0;
    const auto shot = device.screenshot(&width);
    int count = 0;
    for (int y = 0; y < 36 && !shot.empty(); ++y)
      for (int x = 0; x < 480; ++x)
        count += wanted(shot[std::size_t(width) * std::size_t(y) + std::size_t(x)]);
    return count;
  };
  ASSERT_TRUE(SHFullScreen(window.hwnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON));
  ASSERT_TRUE(eventually([&] { return !barVisible(); }));
  EXPECT_TRUE(eventually([&] { return pixelsOfTheBar(reddish) == 480 * 36; }))
      << "the window shows all over where the bar was";
  EXPECT_TRUE(sameRect(workArea(), RECT{0, 36, 480, 640})) << "the work area stays";

  // The bar back, but without its Start icon: a tap there opens nothing; the key still does.
  ASSERT_TRUE(SHFullScreen(window.hwnd, SHFS_SHOWTASKBAR | SHFS_HIDESTARTICON));
  ASSERT_TRUE(eventually(barVisible));
  EXPECT_TRUE(eventually([&] { return pixelsOfTheBar(reddish) == 0; }));
  EXPECT_EQ(pixelsOfTheBar(warm), 0) << "no flag";
  device.run({"tap", "20", "18"});
  device.run({"key", "A"}); // the bar hands it on after it has handled the tap
  ASSERT_TRUE(ColourWindow::got(WM_KEYUP, 'A')) << "had the menu opened, it would have the key";
  EXPECT_FALSE(device.window("MSSTARTMENU"));
  device.run({"key", "LWIN"});
  ASSERT_TRUE(device.waitWindow("MSSTARTMENU"));
  device.run({"key", "ESC"});
  ASSERT_TRUE(device.waitGone("MSSTARTMENU"));

  ASSERT_TRUE(eventually([&] { return GetForegroundWindow() == window.hwnd; }));
  ASSERT_TRUE(SHFullScreen(window.hwnd, SHFS_SHOWSTARTICON));
  EXPECT_TRUE(eventually([&] { return pixelsOfTheBar(warm) > 0; })) << "the flag is back";
  device.run({"tap", "20", "18"});
  EXPECT_TRUE(device.waitWindow("MSSTARTMENU"));
}

// The input panel's button on a soft-key bar shows and hides the panel; the bar's owner may take
// the button away, for the bars it has and those it makes later, and give it back.
TEST(ShellFullScreen, TheSoftKeyBarsInputPanelButtonFollowsItsOwner) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  ColourWindow window(CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
  ASSERT_TRUE(SHFullScreen(window.hwnd, SHFS_HIDESIPBUTTON));
  const HMENU menu = CreateMenu();
  ASSERT_TRUE(AppendMenuW(menu, MF_STRING, 1001, u"Done"));
  SHMENUBARINFO info{};
  info.cbSize = sizeof info;
  info.hwndParent = window.hwnd;
  info.dwFlags = SHCMBF_HMENU;
  info.nToolBarId = static_cast<UINT>(reinterpret_cast<std::uintptr_t>(menu));
  ASSERT_TRUE(SHCreateMenuBar(&info)) << GetLastError();
  DestroyMenu(menu);
  ASSERT_TRUE(eventually([&] { return IsWindowVisible(info.hwndMB) != FALSE; }));
  const int barHeight = ce::MenuBar::height(SIZE{480, 640});
  const RECT button = ce::MenuBar::sipButtonRect(SIZE{480, barHeight});
  const std::string x = std::to_string((button.left + button.right) / 2);
  const std::string y = std::to_string(640 - barHeight / 2);
  // A tap where the button would be, then one on the key: once the key's command has come, the
  // bar has handled the first tap.
  int commands = 0;
  const auto tapButtonThenKey = [&] {
    device.run({"tap", x, y});
    device.run({"tap", "60", y});
    ++commands;
    return eventually([&] {
      ColourWindow::pump();
      return std::count(ColourWindow::seen().begin(), ColourWindow::seen().end(),
                        std::make_pair(UINT(WM_COMMAND), WPARAM(1001))) == commands;
    });
  };
  ASSERT_TRUE(tapButtonThenKey());
  EXPECT_FALSE(panelShown()) << "a bar made after its owner hid the button has none";

  ASSERT_TRUE(SHFullScreen(window.hwnd, SHFS_SHOWSIPBUTTON));
  ASSERT_TRUE(tapButtonThenKey());
  EXPECT_TRUE(panelShown());
  // Docked above the bar, the panel leaves the button within reach.
  SIPINFO sip{};
  sip.cbSize = sizeof sip;
  ASSERT_TRUE(SipGetInfo(&sip));
  EXPECT_EQ(sip.rcSipRect.bottom, 640 - barHeight);
  EXPECT_EQ(sip.rcVisibleDesktop.bottom, sip.rcSipRect.top);
  ASSERT_TRUE(tapButtonThenKey());
  EXPECT_FALSE(panelShown()) << "a second tap hides it";

  ASSERT_TRUE(SHFullScreen(window.hwnd, SHFS_HIDESIPBUTTON));
  ASSERT_TRUE(tapButtonThenKey());
  EXPECT_FALSE(panelShown());
}

TEST(ShellKeys, KeybdEventOfAKeyNoOneHandlesIsLoggedWithItsTime) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  keybd_event(0x85, 0, KEYEVENTF_SILENT, 0);
  keybd_event(0x85, 0, KEYEVENTF_KEYUP | KEYEVENTF_SILENT, 0);
  keybd_event('Q', 0, 0, 0);
  keybd_event('Q', 0, KEYEVENTF_KEYUP, 0);
  keybd_event(0x86, 0, 0, 0);
  ASSERT_TRUE(device.logHas("keys: keybd_event 0x86 down"));
  const std::string log = device.hostLog();
  const auto down = log.find("keys: keybd_event 0x85 down at ");
  const auto up = log.find("keys: keybd_event 0x85 up at ");
  ASSERT_NE(down, std::string::npos) << log;
  ASSERT_NE(up, std::string::npos) << log;
  EXPECT_LT(down, up);
  EXPECT_NE(log.find("(silent)", down), std::string::npos);
  EXPECT_EQ(log.find("keybd_event 0x51"), std::string::npos) << "an ordinary key leaves no trace";
  const unsigned long at = std::stoul(log.substr(down + 31));
  EXPECT_LE(at, static_cast<unsigned long>(GetTickCount()));
  EXPECT_NE(log.find("from process " + std::to_string(::getpid()), down), std::string::npos);
}

// A program that synthesises keys in a loop cannot fill the host's log.
TEST(ShellKeys, AFloodOfKeybdEventsLeavesABoundedTrace) {
  ShellDevice device;
  ASSERT_TRUE(device.waitWindow("HHTaskBar"));
  const auto began = std::chrono::steady_clock::now();
  for (int i = 0; i < 400; ++i)
    keybd_event(0x88, 0, (i % 2) ? KEYEVENTF_KEYUP : 0, 0);
  const auto seconds = static_cast<std::size_t>(
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - began)
          .count());
  // The next second's first trace says how many were left out.
  ASSERT_TRUE(eventually([&] {
    keybd_event(0x89, 0, 0, 0);
    return device.hostLog().find("keybd_event lines left out") != std::string::npos;
  }));
  const std::string log = device.hostLog();
  std::size_t lines = 0;
  for (auto at = log.find("keybd_event 0x88"); at != std::string::npos;
       at = log.find("keybd_event 0x88", at + 1))
    ++lines;
  EXPECT_GE(lines, 1u);
  // Fifty a second, over the seconds the flood lasted (a second begins with the first trace).
  EXPECT_LE(lines, 50u * (seconds + 2)) << "in " << seconds << " s";
}
