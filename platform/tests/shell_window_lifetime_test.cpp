// The shell destroys its Start menu while a repaint of it is pending (a tapped folder repaints
// the list, then a tapped entry closes the menu). A destroyed window must not keep coming back as
// WM_PAINT to its thread, where it would starve the thread's timers (the taskbar's clock and
// title) and keep the thread busy for ever.
#include "host_test_device.h"

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

  bool timer = false, paintedDoomed = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (!timer && std::chrono::steady_clock::now() < deadline) {
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      paintedDoomed |= msg.message == WM_PAINT && msg.hwnd == doomed;
      timer |= msg.message == WM_TIMER && msg.hwnd == keeper;
      if (paintedDoomed)
        break;
      DispatchMessageW(&msg);
    }
    if (paintedDoomed)
      break;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  EXPECT_FALSE(paintedDoomed);
  EXPECT_TRUE(timer) << "the thread's timer fires";
  KillTimer(keeper, 7);
  DestroyWindow(keeper);
  UnregisterClassW(u"LifetimeProbe", nullptr);
}
