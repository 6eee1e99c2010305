// One process steering another's windows on a booted device, as a service raises a program's
// window or a program switches to another one: showing, placing, repainting, renaming and
// bringing forward a child program's top-level windows. Also what a process may hold of the
// host: window classes that come and go, and a bounded number of windows.
#include "host_test_device.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using hosttest::HostDevice;

constexpr UINT kReady = WM_USER + 100;
constexpr UINT kMoved = WM_USER + 111;
constexpr UINT kMakeOwned = WM_USER + 112;
constexpr UINT kPainted = WM_USER + 113;

const std::filesystem::path kWindowProgram = CE_BINARY_DIR "/bin/ce_test_window";

LRESULT CALLBACK plainProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Takes the thread messages that have arrived, dispatching window messages; the first of
// `wanted` found within five seconds, or none.
std::optional<MSG> take(UINT wanted, int ms = 5000) {
  std::optional<MSG> found;
  hosttest::eventually(
      [&] {
        MSG msg;
        while (!found && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
          if (msg.message == wanted)
            found = msg;
          else
            DispatchMessageW(&msg);
        }
        return found.has_value();
      },
      ms);
  return found;
}

// Whatever is waiting now, without waiting for more.
void drain() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
    DispatchMessageW(&msg);
}

std::vector<HWND> topLevelOrder() {
  std::vector<HWND> order;
  EnumWindows(
      [](HWND hwnd, LPARAM list) {
        reinterpret_cast<std::vector<HWND> *>(list)->push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&order));
  return order;
}

// Where `a` lies before `b` in the top-level order (the front first).
bool inFrontOf(HWND a, HWND b) {
  const auto order = topLevelOrder();
  const auto at = std::find(order.begin(), order.end(), a);
  return at != order.end() && std::find(at, order.end(), b) != order.end();
}

class CrossProcessControl : public ::testing::Test {
protected:
  void SetUp() override {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &plainProcedure;
    wc.lpszClassName = u"ControlTest";
    ASSERT_NE(RegisterClassW(&wc), 0) << GetLastError();
    own = CreateWindowExW(0, u"ControlTest", u"test", WS_VISIBLE, 0, 0, 100, 100, nullptr, nullptr,
                          nullptr, nullptr);
    ASSERT_NE(own, nullptr) << GetLastError();
    child = device.startOutside(kWindowProgram, {std::to_string(GetCurrentThreadId())});
    const auto ready = take(kReady);
    ASSERT_TRUE(ready);
    peer = reinterpret_cast<HWND>(ready->wParam);
  }
  void TearDown() override {
    if (child > 0 && IsWindow(peer)) {
      PostMessageW(peer, WM_CLOSE, 0, 0);
      EXPECT_EQ(hosttest::waitExit(child), 5);
    }
    DestroyWindow(own);
    UnregisterClassW(u"ControlTest", nullptr); // the next test has a host of its own
  }

  HostDevice device;
  HWND own = nullptr;
  HWND peer = nullptr;
  pid_t child = 0;
};

TEST_F(CrossProcessControl, ShowMoveAndRenameAnotherProcesssWindow) {
  ASSERT_EQ(GetForegroundWindow(), peer);
  EXPECT_TRUE(ShowWindow(peer, SW_HIDE)) << "it was visible";
  EXPECT_FALSE(IsWindowVisible(peer));
  EXPECT_EQ(GetForegroundWindow(), own) << "the foreground passed on";
  EXPECT_FALSE(ShowWindow(peer, SW_SHOW)) << "it was hidden";
  EXPECT_TRUE(IsWindowVisible(peer));
  EXPECT_EQ(GetForegroundWindow(), peer) << "shown, it came to the front";

  drain();
  ASSERT_TRUE(SetWindowPos(peer, HWND_TOP, 30, 40, 150, 120, SWP_NOACTIVATE));
  RECT rect{};
  ASSERT_TRUE(GetWindowRect(peer, &rect));
  EXPECT_EQ(rect.left, 30);
  EXPECT_EQ(rect.top, 40);
  EXPECT_EQ(rect.right, 180);
  EXPECT_EQ(rect.bottom, 160);
  const auto moved = take(kMoved);
  ASSERT_TRUE(moved) << "the owner heard of its new place";
  EXPECT_EQ(moved->wParam, 150u);
  EXPECT_EQ(moved->lParam, 120);
  ASSERT_TRUE(MoveWindow(peer, 1, 2, 60, 70, TRUE));
  ASSERT_TRUE(GetWindowRect(peer, &rect));
  EXPECT_EQ(rect.left, 1);
  EXPECT_EQ(rect.bottom, 72);

  // The window's own procedure takes the text (WM_SETTEXT), so its process sees it too.
  EXPECT_TRUE(SetWindowTextW(peer, u"renamed from outside"));
  char16_t title[32] = {};
  EXPECT_EQ(GetWindowTextW(peer, title, 32), 20);
  EXPECT_EQ(std::u16string(title), u"renamed from outside");
  EXPECT_EQ(SendMessageW(peer, WM_GETTEXTLENGTH, 0, 0), 20);
}

TEST_F(CrossProcessControl, UpdateWindowHasTheOwnerPaintBeforeItReturns) {
  ASSERT_TRUE(take(kPainted)) << "the first paint";
  drain();
  for (int round = 0; round < 20; ++round) {
    ASSERT_TRUE(InvalidateRect(peer, nullptr, FALSE));
    ASSERT_TRUE(UpdateWindow(peer));
    // Whether the owner got there first on its own or was sent WM_PAINT, it has painted (and
    // so validated) by the time the call returns.
    HRGN region = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(GetUpdateRgn(peer, region, FALSE), NULLREGION) << "round " << round;
    DeleteObject(region);
    const auto painted = take(kPainted);
    ASSERT_TRUE(painted);
    EXPECT_EQ(reinterpret_cast<HWND>(painted->wParam), peer);
  }
  SetLastError(0);
  EXPECT_FALSE(UpdateWindow(reinterpret_cast<HWND>(0x7FFF0000)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(CrossProcessControl, SetForegroundBringsTheOwnedWindowsAlong) {
  const HWND owned = reinterpret_cast<HWND>(SendMessageW(peer, kMakeOwned, 0, 0));
  ASSERT_NE(owned, nullptr);
  ASSERT_EQ(GetWindow(owned, GW_OWNER), peer);
  const HWND inner = GetWindow(peer, GW_CHILD);
  ASSERT_NE(inner, nullptr);

  ASSERT_TRUE(SetForegroundWindow(own));
  EXPECT_TRUE(inFrontOf(own, owned));
  // The plain handle brings the owned window along too: it stays in front of its owner.
  ASSERT_TRUE(SetForegroundWindow(peer));
  EXPECT_EQ(GetForegroundWindow(), peer);
  EXPECT_TRUE(inFrontOf(owned, peer));
  EXPECT_TRUE(inFrontOf(peer, own));

  ASSERT_TRUE(SetForegroundWindow(own));
  const HWND withOwned = reinterpret_cast<HWND>(reinterpret_cast<std::uintptr_t>(peer) | 1);
  ASSERT_TRUE(SetForegroundWindow(withOwned));
  EXPECT_EQ(GetForegroundWindow(), peer);
  EXPECT_TRUE(inFrontOf(owned, peer)) << "owned windows stay above their owner";
  EXPECT_TRUE(inFrontOf(peer, own));

  // A child window is its own process's business.
  SetLastError(0);
  EXPECT_FALSE(ShowWindow(inner, SW_HIDE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_FALSE(SetWindowPos(inner, nullptr, 0, 0, 1, 1, SWP_NOZORDER));
  EXPECT_TRUE(IsWindowVisible(inner));
  EXPECT_FALSE(DestroyWindow(peer)) << "nor may it destroy the window";
}

// A class name freed with UnregisterClassW can be registered again; the host keeps a class while
// the process has windows of it.
TEST_F(CrossProcessControl, UnregisteredClassesCanBeRegisteredAgain) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &plainProcedure;
  wc.lpszClassName = u"Transient";
  ASSERT_NE(RegisterClassW(&wc), 0);
  const HWND window =
      CreateWindowExW(0, u"Transient", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  SetLastError(0);
  EXPECT_FALSE(UnregisterClassW(u"Transient", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
  ASSERT_TRUE(DestroyWindow(window));
  EXPECT_TRUE(UnregisterClassW(u"TRANSIENT", nullptr));
  EXPECT_FALSE(UnregisterClassW(u"Transient", nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_DOES_NOT_EXIST));
  EXPECT_EQ(
      CreateWindowExW(0, u"Transient", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr),
      nullptr);
  EXPECT_NE(RegisterClassW(&wc), 0) << GetLastError();
  const HWND again =
      CreateWindowExW(0, u"Transient", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(again, nullptr);
  DestroyWindow(again);
  UnregisterClassW(u"Transient", nullptr);
}

// A process cannot fill the host with windows: past its quota creation fails with a proper code,
// and every window it freed can be made again.
TEST_F(CrossProcessControl, WindowsBeyondTheQuotaAreRefused) {
  std::vector<HWND> made;
  SetLastError(0);
  for (int i = 0; i < 1200; ++i) {
    const HWND hwnd = CreateWindowExW(0, u"ControlTest", u"", 0, 0, 0, 10, 10, nullptr, nullptr,
                                      nullptr, nullptr);
    if (!hwnd)
      break;
    made.push_back(hwnd);
  }
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA));
  EXPECT_EQ(made.size() + 1, 1000u) << "the test's own window counts";
  // The child program is not held back by this process's windows.
  EXPECT_NE(SendMessageW(peer, kMakeOwned, 0, 0), 0);
  ASSERT_TRUE(DestroyWindow(made.back()));
  made.pop_back();
  const HWND last =
      CreateWindowExW(0, u"ControlTest", u"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
  EXPECT_NE(last, nullptr);
  made.push_back(last);
  for (HWND hwnd : made)
    DestroyWindow(hwnd);
}

} // namespace
