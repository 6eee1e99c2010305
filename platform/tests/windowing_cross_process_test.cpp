// Windows and messages across real processes: a booted device, the test process with a window
// of its own, and a child program with another.
#include "host_test_device.h"

#include "../src/kernel/thread_message_queue.h"

#include <ce/kernel.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using hosttest::HostDevice;

constexpr UINT kReady = WM_USER + 100;
constexpr UINT kPing = WM_USER + 101;
constexpr UINT kPong = WM_USER + 102;
constexpr UINT kDouble = WM_USER + 103;
constexpr UINT kAskBack = WM_USER + 104;
constexpr UINT kBack = WM_USER + 105;
constexpr UINT kAnswer = WM_USER + 106;
constexpr UINT kDie = WM_USER + 107;
constexpr UINT kActivated = WM_USER + 108;

const std::filesystem::path kWindowProgram = CE_BINARY_DIR "/bin/ce_test_window";

struct Activation {
  bool child; // reported by the child program
  WPARAM state;
  LPARAM other;
};
std::vector<Activation> activations;

LRESULT CALLBACK testProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case kBack:
    return static_cast<LRESULT>(wParam + 100);
  case WM_ACTIVATE:
    activations.push_back({false, wParam, lParam});
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// Pumps the test thread's messages until a thread message `wanted` arrives (dispatching window
// messages meanwhile); false after five seconds.
bool waitFor(UINT wanted, MSG &out) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == kActivated) {
        activations.push_back({true, msg.wParam, msg.lParam});
        continue;
      }
      if (msg.message == wanted) {
        out = msg;
        return true;
      }
      DispatchMessageW(&msg);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

class CrossProcessWindows : public ::testing::Test {
protected:
  void SetUp() override {
    activations.clear();
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &testProcedure;
    wc.lpszClassName = u"TestWindow";
    ASSERT_NE(RegisterClassW(&wc), 0) << GetLastError();
    own = CreateWindowExW(0, u"TestWindow", u"test", 0, 0, 0, 100, 100, nullptr, nullptr,
                          nullptr, nullptr);
    ASSERT_NE(own, nullptr) << GetLastError();
    ShowWindow(own, SW_SHOW);
    child = device.startOutside(kWindowProgram, {std::to_string(GetCurrentThreadId())});
    ASSERT_TRUE(waitFor(kReady, msg));
    peer = reinterpret_cast<HWND>(msg.wParam);
  }
  void TearDown() override {
    if (child > 0 && IsWindow(peer)) {
      PostMessageW(peer, WM_CLOSE, 0, 0);
      EXPECT_EQ(hosttest::waitExit(child), 5);
    }
    DestroyWindow(own);
    UnregisterClassW(u"TestWindow", nullptr); // the next test has a host of its own
  }

  HostDevice device;
  HWND own = nullptr;
  HWND peer = nullptr;
  pid_t child = 0;
};

TEST_F(CrossProcessWindows, PostedAndSentMessagesTravelBothWays) {
  DWORD childProcess = 0;
  EXPECT_NE(GetWindowThreadProcessId(peer, &childProcess), 0u);
  EXPECT_EQ(childProcess, static_cast<DWORD>(child));
  char16_t title[16] = {};
  EXPECT_EQ(GetWindowTextW(peer, title, 16), 4);
  EXPECT_EQ(std::u16string(title), u"peer");
  EXPECT_EQ(FindWindowW(u"peerwindow", nullptr), peer);

  ASSERT_TRUE(PostMessageW(peer, kPing, 41, 0));
  MSG msg;
  ASSERT_TRUE(waitFor(kPong, msg));
  EXPECT_EQ(msg.wParam, 42u);

  EXPECT_EQ(SendMessageW(peer, kDouble, 21, 0), 42);

  // The child sends to the test's window while the test pumps its queue.
  ASSERT_TRUE(PostMessageW(peer, kAskBack, 7, reinterpret_cast<LPARAM>(own)));
  ASSERT_TRUE(waitFor(kAnswer, msg));
  EXPECT_EQ(msg.wParam, 107u);

  // A pointer cannot cross into another process.
  EXPECT_FALSE(PostMessageW(peer, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(CrossProcessWindows, ForegroundChangesActivateInOrder) {
  // Showing the child's window took the foreground from the test's window.
  EXPECT_EQ(GetForegroundWindow(), peer);
  activations.clear();
  ASSERT_TRUE(SetForegroundWindow(own));
  EXPECT_EQ(GetForegroundWindow(), own);
  MSG msg;
  ASSERT_TRUE(PostMessageW(peer, kPing, 0, 0)); // the child's report comes before its pong
  ASSERT_TRUE(waitFor(kPong, msg));
  ASSERT_EQ(activations.size(), 2u);
  // The test's own WM_ACTIVATE ran before SetForegroundWindow returned; the child's report
  // arrived later, but the host sent WM_ACTIVATE(WA_INACTIVE) to it first.
  EXPECT_FALSE(activations[0].child);
  EXPECT_EQ(activations[0].state, static_cast<WPARAM>(WA_ACTIVE));
  EXPECT_EQ(activations[0].other, reinterpret_cast<LPARAM>(peer));
  EXPECT_TRUE(activations[1].child);
  EXPECT_EQ(activations[1].state, static_cast<WPARAM>(WA_INACTIVE));
  EXPECT_EQ(activations[1].other, reinterpret_cast<LPARAM>(own));
}

TEST_F(CrossProcessWindows, DyingOwnerFailsPendingSendAndTakesItsWindows) {
  SetLastError(0);
  EXPECT_EQ(SendMessageW(peer, kDie, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
  EXPECT_EQ(hosttest::waitExit(child), -1);
  EXPECT_TRUE(hosttest::eventually([&] { return !IsWindow(peer); }));
  child = 0;
  // The foreground passed to what is left.
  EXPECT_EQ(GetForegroundWindow(), own);
}

} // namespace
