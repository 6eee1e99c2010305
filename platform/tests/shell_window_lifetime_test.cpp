// The shell destroys its Start menu while a repaint of it is pending (a tapped folder repaints
// the list, then a tapped entry closes the menu). A destroyed window must not keep coming back as
// WM_PAINT to its thread, where it would starve the thread's timers (the taskbar's clock and
// title) and keep the thread busy for ever.
#include "host_test_device.h"

#include <ce/testing/message_pump.h>
#include <ce/windows.h>

using namespace hosttest;

TEST(ShellWindowLifetime, ADestroyedWindowWithAPendingPaintIsNotPaintedAgain) {
  HostDevice device;
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DefWindowProcW;
  wc.lpszClassName = u"LifetimeProbe";
  ASSERT_NE(RegisterClassW(&wc), 0);
  const HWND doomed = CreateWindowExW(0, u"LifetimeProbe", u"doomed", WS_VISIBLE, 10, 60, 100, 100,
                                      nullptr, nullptr, nullptr, nullptr);
  const HWND keeper = CreateWindowExW(0, u"LifetimeProbe", u"keeper", WS_VISIBLE, 200, 60, 100,
                                      100, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(doomed, nullptr);
  ASSERT_NE(keeper, nullptr);
  ASSERT_TRUE(InvalidateRect(doomed, nullptr, FALSE));
  // The invalidation is known to this thread before the window goes.
  ASSERT_TRUE(eventually([&] { return PeekMessageW(&msg, doomed, WM_PAINT, WM_PAINT, PM_NOREMOVE) != 0; }));
  ASSERT_TRUE(DestroyWindow(doomed));
  ASSERT_NE(SetTimer(keeper, 7, 20, nullptr), 0u);

  // WM_PAINT comes before WM_TIMER: had the gone window's paint stayed, it would come first.
  ce::testing::MessagePump pump;
  const auto first = pump.waitFor(
      [&](const MSG &m) {
        return (m.message == WM_PAINT && m.hwnd == doomed) ||
               (m.message == WM_TIMER && m.hwnd == keeper);
      },
      3000);
  ASSERT_TRUE(first) << "the thread's timer fires";
  EXPECT_EQ(first->hwnd, keeper) << "the gone window is painted";
  KillTimer(keeper, 7);
  DestroyWindow(keeper);
  UnregisterClassW(u"LifetimeProbe", nullptr);
}
