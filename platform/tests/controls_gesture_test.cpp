// The press-and-hold recogniser: its judgement of the stylus messages, and SHRecognizeGesture
// in a child program on a booted device under real stylus input from the device tool.
#include "controls_fixture.h"

#include "../src/controls/gesture_recognizer.h"
#include "../src/kernel/thread_message_queue.h"

namespace {

using ce::GestureRecognizer;
using Outcome = GestureRecognizer::Outcome;
using controlstest::ControlsDevice;
using controlstest::kGesture;
using controlstest::kPadCentre;
using controlstest::kPadUp;

HWND const kWindow = reinterpret_cast<HWND>(0x40);
HWND const kOther = reinterpret_cast<HWND>(0x42);

MSG stylus(HWND hwnd, UINT message, int x, int y, DWORD time) {
  return MSG{hwnd,
             message,
             0,
             static_cast<LPARAM>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) |
                                 static_cast<std::uint32_t>(x & 0xFFFF)),
             time,
             POINT{0, 0}};
}

TEST(GestureRecognizer, HeldOnlyWhenTheStylusStaysDownAndStillForTheHoldTime) {
  const DWORD start = 1000;
  const GestureRecognizer r(kWindow, POINT{50, 60}, start, 500, 5);
  EXPECT_EQ(r.judge({}, start), Outcome::Waiting);
  EXPECT_EQ(r.judge({}, start + 499), Outcome::Waiting);
  EXPECT_EQ(r.judge({}, start + 500), Outcome::Held);

  // Moves within the tolerance on both axes keep it going; one beyond on either axis ends it,
  // also towards negative coordinates beyond the window.
  const std::vector<MSG> steady{stylus(kWindow, WM_MOUSEMOVE, 55, 55, start + 10),
                                stylus(kWindow, WM_MOUSEMOVE, 45, 65, start + 20)};
  EXPECT_EQ(r.judge(steady, start + 600), Outcome::Held);
  EXPECT_EQ(r.judge({stylus(kWindow, WM_MOUSEMOVE, 56, 60, start + 10)}, start + 600),
            Outcome::Ended);
  EXPECT_EQ(r.judge({stylus(kWindow, WM_MOUSEMOVE, 50, 54, start + 10)}, start + 20),
            Outcome::Ended);
  const GestureRecognizer corner(kWindow, POINT{2, 2}, start, 500, 5);
  EXPECT_EQ(corner.judge({stylus(kWindow, WM_MOUSEMOVE, -10, 2, start + 10)}, start + 20),
            Outcome::Ended);
  // Another window's moves are not this stylus's.
  EXPECT_EQ(r.judge({stylus(kOther, WM_MOUSEMOVE, 400, 400, start + 10)}, start + 600),
            Outcome::Held);

  // A lift or a new press ends it, however late it is judged, as long as it came first.
  EXPECT_EQ(r.judge({stylus(kWindow, WM_LBUTTONUP, 50, 60, start + 499)}, start + 900),
            Outcome::Ended);
  EXPECT_EQ(r.judge({stylus(kOther, WM_LBUTTONDOWN, 1, 1, start + 100)}, start + 900),
            Outcome::Ended);
  // A lift that came after the hold time does not undo the hold.
  EXPECT_EQ(r.judge({stylus(kWindow, WM_LBUTTONUP, 50, 60, start + 500)}, start + 900),
            Outcome::Held);
  EXPECT_EQ(r.judge({stylus(kWindow, WM_MOUSEMOVE, 90, 90, start + 700),
                     stylus(kWindow, WM_LBUTTONUP, 90, 90, start + 800)},
                    start + 900),
            Outcome::Held);
}

TEST(GestureRecognizer, TheTickCountWrappingChangesNothing) {
  const DWORD start = 0xFFFFFF00u;
  const GestureRecognizer r(kWindow, POINT{0, 0}, start, 500, 5);
  EXPECT_EQ(r.judge({}, start + 300), Outcome::Waiting); // wrapped past 0
  EXPECT_EQ(r.judge({}, start + 500), Outcome::Held);
  EXPECT_EQ(r.judge({stylus(kWindow, WM_LBUTTONUP, 0, 0, start + 400)}, start + 600),
            Outcome::Ended);
}

std::vector<NMRGINFO> notices; // WM_NOTIFY records the windows below received
std::vector<HWND> noticeTargets;

LRESULT CALLBACK noticeProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY && lParam) {
    notices.push_back(*reinterpret_cast<const NMRGINFO *>(lParam));
    noticeTargets.push_back(hwnd);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

// SHRecognizeGesture called by this thread on its own windows: its checks, its WM_NOTIFY, and a
// lift already waiting in the queue.
class GestureInProcess : public ::testing::Test {
protected:
  void SetUp() override {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &noticeProcedure;
    wc.lpszClassName = u"GestureTest";
    ASSERT_NE(RegisterClassW(&wc), 0) << GetLastError();
    parent_ = CreateWindowExW(0, u"GestureTest", u"", WS_POPUP | WS_VISIBLE, 0, 100, 400, 300,
                              nullptr, nullptr, nullptr, nullptr);
    child_ = CreateWindowExW(0, u"GestureTest", u"", WS_CHILD | WS_VISIBLE, 20, 30, 100, 100,
                             parent_, reinterpret_cast<HMENU>(55), nullptr, nullptr);
    ASSERT_NE(child_, nullptr);
    notices.clear();
    noticeTargets.clear();
  }
  void TearDown() override {
    DestroyWindow(parent_);
    UnregisterClassW(u"GestureTest", nullptr); // the next test has a host of its own
  }
  SHRGINFO request(DWORD flags) const {
    SHRGINFO info{};
    info.cbSize = SHRGINFO_DEVICE_SIZE;
    info.hwndClient = child_;
    info.ptDown = POINT{10, 20};
    info.dwFlags = flags;
    return info;
  }

  hosttest::HostDevice device_;
  HWND parent_ = nullptr;
  HWND child_ = nullptr;
};

TEST_F(GestureInProcess, RefusesBadRequestsAndNotifiesAHoldWithoutReturnCmd) {
  EXPECT_EQ(SHRecognizeGesture(nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SHRGINFO bad = request(SHRG_RETURNCMD);
  bad.cbSize = 12;
  EXPECT_EQ(SHRecognizeGesture(&bad), 0u);
  bad = request(SHRG_RETURNCMD);
  bad.hwndClient = GetDesktopWindow(); // not a window of this thread
  EXPECT_EQ(SHRecognizeGesture(&bad), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // Nothing lifts the stylus: held. The parent hears of it with SHRG_NOTIFYPARENT, the window
  // itself without; the point is on the screen.
  SHRGINFO toParent = request(SHRG_NOTIFYPARENT);
  EXPECT_EQ(SHRecognizeGesture(&toParent), static_cast<DWORD>(GN_CONTEXTMENU));
  SHRGINFO toSelf = request(0);
  EXPECT_EQ(SHRecognizeGesture(&toSelf), static_cast<DWORD>(GN_CONTEXTMENU));
  ASSERT_EQ(notices.size(), 2u);
  EXPECT_EQ(noticeTargets[0], parent_);
  EXPECT_EQ(noticeTargets[1], child_);
  EXPECT_EQ(notices[0].hdr.hwndFrom, child_);
  EXPECT_EQ(notices[0].hdr.idFrom, 55u);
  EXPECT_EQ(notices[0].hdr.code, static_cast<UINT>(GN_CONTEXTMENU));
  EXPECT_EQ(notices[0].ptAction.x, 30);
  EXPECT_EQ(notices[0].ptAction.y, 150);

  // With SHRG_RETURNCMD nobody is told.
  SHRGINFO quiet = request(SHRG_RETURNCMD);
  EXPECT_EQ(SHRecognizeGesture(&quiet), static_cast<DWORD>(GN_CONTEXTMENU));
  EXPECT_EQ(notices.size(), 2u);
}

TEST_F(GestureInProcess, ALiftAlreadyQueuedAnswersZeroAndStaysForTheCaller) {
  auto queue = ce::ThreadMessageQueue::current();
  ASSERT_TRUE(queue);
  // The press being handled, as a caller asks while it handles WM_LBUTTONDOWN: the hold counts
  // from it, not from whatever this thread took last.
  queue->postInput(MSG{child_, WM_LBUTTONDOWN, 1, MAKELONG(10, 20), GetTickCount(), POINT{}});
  MSG down{};
  ASSERT_TRUE(PeekMessageW(&down, child_, WM_LBUTTONDOWN, WM_LBUTTONDOWN, PM_REMOVE));
  queue->postInput(MSG{child_, WM_LBUTTONUP, 0, MAKELONG(10, 20), GetTickCount(), POINT{}});
  SHRGINFO info = request(SHRG_RETURNCMD);
  EXPECT_EQ(SHRecognizeGesture(&info), 0u);
  MSG up{};
  ASSERT_TRUE(PeekMessageW(&up, child_, WM_LBUTTONUP, WM_LBUTTONUP, PM_REMOVE));
  EXPECT_EQ(up.lParam, MAKELONG(10, 20));
  EXPECT_TRUE(notices.empty());
}

class GestureEndToEnd : public ControlsDevice {
protected:
  // Runs a stylus verb on the pad; returns the recogniser's answer and what it left queued.
  MSG gesture(const std::vector<std::string> &verb) {
    tool(verb);
    MSG report{};
    EXPECT_TRUE(waitFor(kGesture, &report)) << "the pad did not report";
    EXPECT_TRUE(waitFor(kPadUp)) << "the stylus-up never reached the pad";
    return report;
  }
};

TEST_F(GestureEndToEnd, AHoldAnswersTheContextMenuAndTheStylusUpStaysQueued) {
  start("single");
  const std::string x = std::to_string(kPadCentre.x), y = std::to_string(kPadCentre.y);

  const MSG hold = gesture({"hold", x, y, "800"});
  EXPECT_EQ(hold.wParam, static_cast<WPARAM>(GN_CONTEXTMENU));

  // A tap: lifted at once, answered 0, and the up is still there for the pad.
  const MSG tap = gesture({"tap", x, y});
  EXPECT_EQ(tap.wParam, 0u);
  EXPECT_EQ(tap.lParam & 1, 1);

  // A drag: moved away first, answered 0; its moves and its up stay queued.
  const MSG drag = gesture({"drag", x, y, std::to_string(kPadCentre.x + 150), y, "300", "6"});
  EXPECT_EQ(drag.wParam, 0u);
  EXPECT_EQ(static_cast<UINT>(drag.lParam >> 16), static_cast<UINT>(WM_MOUSEMOVE));

  // Held, but not long enough.
  const MSG brief = gesture({"hold", x, y, "150"});
  EXPECT_EQ(brief.wParam, 0u);
  EXPECT_EQ(brief.lParam & 1, 1);
}

} // namespace
