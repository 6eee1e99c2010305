// Each process's view of the device's windows: the notices that carry it, what it answers after
// the process's own changes and after another process's, that it answers without the host, and
// the watchers it tells.
#include "host_test_device.h"

#include "../src/windowing/window_state.h"
#include "../src/windowing/window_state_view.h"

#include <ce/kernel.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <future>
#include <string>

namespace {

using ce::WindowState;
using ce::WindowStateNotice;
using ce::WindowStateView;
using hosttest::HostDevice;

constexpr UINT kReady = WM_USER + 100;
constexpr UINT kStopSelf = WM_USER + 116;
constexpr UINT kChangeSelf = WM_USER + 117;
constexpr UINT kChanged = WM_USER + 118;
constexpr UINT kWatched = WM_APP + 7;

const std::filesystem::path kWindowProgram = CE_BINARY_DIR "/bin/ce_test_window";

HWND handle(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }

bool sameRect(const RECT &a, const RECT &b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

WindowState window(std::uintptr_t hwnd, std::uintptr_t parent, RECT rect, bool visible = true) {
  WindowState w;
  w.handle = handle(hwnd);
  w.parent = handle(parent);
  w.process = 42;
  w.thread = 43;
  w.style = visible ? WS_VISIBLE : 0;
  w.visible = visible;
  w.rect = rect;
  w.className = u"Frame";
  w.title = u"t\u00e9l\u00e9phone";
  return w;
}

std::vector<std::uint8_t> bytesOf(const WindowStateNotice &notice) {
  ce::protocol::Message message;
  EXPECT_TRUE(ce::protocol::encode(message, 1, 0, 0, notice));
  return message.payload;
}

std::optional<WindowStateNotice> read(std::span<const std::uint8_t> bytes) {
  WindowStateNotice notice;
  if (!ce::protocol::decode(bytes, notice))
    return std::nullopt;
  return notice;
}

// Where a notice's first window starts: after its flags, foreground, desktop, screen size and
// window count.
constexpr std::size_t kFirstWindow = 4 + 8 + 8 + 8 + 4;

TEST(WindowStateNotices, ReadBackWhatWasWrittenAndRefuseAnythingElse) {
  WindowStateNotice notice;
  notice.flags = WindowStateNotice::kStartsOver;
  notice.foreground = handle(0x10008);
  notice.desktop = handle(0x10000);
  notice.screen = SIZE{480, 640};
  notice.windows = {window(0x10000, 0, RECT{0, 0, 480, 640}),
                    window(0x10008, 0x10000, RECT{10, 20, 110, 220}, false)};
  notice.windows[1].owner = handle(0x1000C);
  notice.windows[1].id = -5;
  notice.windows[1].exStyle = WS_EX_TOPMOST;
  notice.windows[1].enabled = false;
  notice.removed = {handle(0x10004)};
  const auto bytes = bytesOf(notice);
  const auto back = read(bytes);
  ASSERT_TRUE(back);
  EXPECT_EQ(back->flags, notice.flags);
  EXPECT_EQ(back->foreground, notice.foreground);
  EXPECT_EQ(back->desktop, notice.desktop);
  EXPECT_EQ(back->screen.cy, 640);
  EXPECT_EQ(back->windows, notice.windows);
  EXPECT_EQ(back->removed, notice.removed);

  // Every shorter payload, and one with a byte more, is refused.
  for (std::size_t size = 0; size < bytes.size(); ++size)
    ASSERT_FALSE(read(std::span(bytes.data(), size))) << size;
  auto longer = bytes;
  longer.push_back(0);
  EXPECT_FALSE(read(longer));
  // Flags it does not know, a flag field that is neither 0 nor 1, a null window, a count
  // that the payload cannot hold.
  auto flags = bytes;
  flags[0] = 4;
  EXPECT_FALSE(read(flags));
  auto visible = bytes;
  const std::size_t firstVisible = kFirstWindow + 8 + 4 + 4 + 8 + 8 + 12;
  ASSERT_EQ(visible[firstVisible], 1);
  visible[firstVisible] = 2;
  EXPECT_FALSE(read(visible));
  auto null = bytes;
  std::fill_n(null.begin() + kFirstWindow, 8, 0);
  EXPECT_FALSE(read(null));
  auto count = bytes;
  count[kFirstWindow - 1] = 0x7F; // the high byte of the window count
  EXPECT_FALSE(read(count));
  // A title at the limit, and one unit over it, which is neither written nor read.
  WindowStateNotice longTitle;
  longTitle.windows = {window(0x10008, 0x10000, RECT{})};
  longTitle.windows[0].title.assign(WindowState::kMaxTitleUnits, u'x');
  auto longest = bytesOf(longTitle);
  EXPECT_TRUE(read(longest));
  const std::size_t titleCount = longest.size() - 4 - 2 * WindowState::kMaxTitleUnits - 4;
  const std::uint32_t over = WindowState::kMaxTitleUnits + 1;
  std::memcpy(longest.data() + titleCount, &over, 4);
  longest.insert(longest.end() - 4, {'x', 0});
  EXPECT_FALSE(read(longest));
  longTitle.windows[0].title.push_back(u'x');
  ce::protocol::Message message;
  EXPECT_FALSE(ce::protocol::encode(message, 1, 0, 0, longTitle));
}

// The view answers from what the notices brought: visibility with every ancestor, the place on
// the screen within every ancestor but the desktop, windows that went, and notices of a
// connection it does not follow ignored.
TEST(WindowStateViews, AnswerFromTheNoticesTheyTook) {
  auto &view = WindowStateView::instance();
  WindowStateNotice whole;
  whole.flags = WindowStateNotice::kStartsOver | WindowStateNotice::kWhole;
  whole.desktop = handle(0x10000);
  whole.foreground = handle(0x10004);
  whole.screen = SIZE{480, 640};
  whole.windows = {
      window(0x10000, 0, RECT{0, 0, 480, 640}), window(0x10004, 0x10000, RECT{10, 20, 210, 220}),
      window(0x10008, 0x10004, RECT{5, 6, 25, 36}), window(0x1000C, 0x10008, RECT{1, 1, 2, 2})};
  view.take(bytesOf(whole), 0); // connection 0: the view never answers for a real one with it
  const auto inner = view.window(handle(0x1000C), true);
  ASSERT_TRUE(inner);
  EXPECT_TRUE(sameRect(inner->rect, RECT{16, 27, 17, 28}));
  EXPECT_TRUE(inner->visible);
  EXPECT_EQ(inner->className, u"Frame");
  EXPECT_EQ(view.foreground(), handle(0x10004));
  EXPECT_EQ(view.screen().cx, 480);

  WindowStateNotice change;
  change.desktop = whole.desktop;
  change.screen = whole.screen;
  change.windows = {window(0x10004, 0x10000, RECT{100, 100, 300, 300}, false)};
  change.removed = {handle(0x10008)};
  view.take(bytesOf(change), 0);
  EXPECT_FALSE(view.window(handle(0x10008), false));
  EXPECT_FALSE(view.foreground());
  const auto top = view.window(handle(0x10004), false);
  ASSERT_TRUE(top);
  EXPECT_FALSE(top->visible);
  EXPECT_TRUE(top->className.empty()) << "no text unless asked";
  // The orphan's chain ends where the view knows nothing more.
  const auto orphan = view.window(handle(0x1000C), false);
  ASSERT_TRUE(orphan);
  EXPECT_TRUE(sameRect(orphan->rect, RECT{1, 1, 2, 2}));

  change.windows = {window(0x10010, 0x10000, RECT{})};
  change.removed.clear();
  view.take(bytesOf(change), 99); // another connection's: not taken
  EXPECT_FALSE(view.window(handle(0x10010), false));
}

// Takes the next message `wanted` from the test thread's queue, leaving the others there;
// false when none comes within ten seconds.
bool waitFor(UINT wanted, MSG &out) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (PeekMessageW(&out, nullptr, wanted, wanted, PM_REMOVE))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

class WindowViews : public ::testing::Test {
protected:
  void SetUp() override {
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = u"ViewTestWindow";
    ASSERT_NE(RegisterClassW(&wc), 0) << GetLastError();
    own = CreateWindowExW(0, u"ViewTestWindow", u"own", 0, 0, 40, 200, 100, nullptr, nullptr,
                          nullptr, nullptr);
    ASSERT_NE(own, nullptr) << GetLastError();
    child = device.startOutside(kWindowProgram, {std::to_string(GetCurrentThreadId())});
    ASSERT_TRUE(waitFor(kReady, msg));
    peer = reinterpret_cast<HWND>(msg.wParam);
  }
  void TearDown() override {
    if (child > 0 && IsWindow(peer)) {
      PostMessageW(peer, WM_CLOSE, 0, 0);
      EXPECT_EQ(hosttest::waitExit(child), 5);
    } else if (child > 0) {
      ::kill(child, SIGKILL);
      hosttest::waitExit(child);
    }
    DestroyWindow(own);
    UnregisterClassW(u"ViewTestWindow", nullptr);
  }

  // Has the child change its window (kChangeSelf) and waits for its report, which the host
  // hands this process after the change.
  void changePeer(WPARAM what) {
    ASSERT_TRUE(PostMessageW(peer, kChangeSelf, what, 0));
    MSG msg;
    ASSERT_TRUE(waitFor(kChanged, msg));
    ASSERT_EQ(msg.wParam, what);
  }

  pid_t hostPid() const {
    std::ifstream lock(device.root / "run" / "host.lock");
    long pid = 0;
    lock >> pid;
    return static_cast<pid_t>(pid);
  }

  HostDevice device;
  HWND own = nullptr;
  HWND peer = nullptr;
  pid_t child = 0;
};

// A change this process makes is in its view, for every thread, once the call returns.
TEST_F(WindowViews, OwnChangesAreSeenByEveryThreadOnceTheCallReturns) {
  const HWND inner = CreateWindowExW(0, u"ViewTestWindow", u"inner", WS_CHILD | WS_VISIBLE, 5, 6,
                                     20, 30, own, nullptr, nullptr, nullptr);
  ASSERT_NE(inner, nullptr);
  const auto elsewhere = [](auto question) {
    return std::async(std::launch::async, question).get();
  };
  EXPECT_TRUE(elsewhere([&] { return IsWindow(inner) != FALSE; }));
  EXPECT_FALSE(elsewhere([&] { return IsWindowVisible(inner) != FALSE; })) << "its parent hides";

  ASSERT_TRUE(ShowWindow(own, SW_SHOW) == FALSE);
  EXPECT_TRUE(elsewhere([&] { return IsWindowVisible(inner) != FALSE; }));
  ASSERT_TRUE(SetWindowPos(own, nullptr, 50, 60, 300, 200, SWP_NOZORDER | SWP_NOACTIVATE));
  RECT client{}, innerRect{};
  EXPECT_TRUE(elsewhere([&] { return GetClientRect(own, &client) != FALSE; }));
  EXPECT_TRUE(sameRect(client, RECT{0, 0, 300, 200}));
  EXPECT_TRUE(elsewhere([&] { return GetWindowRect(inner, &innerRect) != FALSE; }));
  EXPECT_TRUE(sameRect(innerRect, RECT{55, 66, 75, 96}));

  // (Its text is asked of the window itself, on this thread: DefWindowProcW answers from the
  // view.)
  ASSERT_TRUE(SetWindowTextW(own, u"renamed"));
  char16_t title[16] = {};
  EXPECT_EQ(GetWindowTextW(own, title, 16), 7);
  EXPECT_EQ(std::u16string(title), u"renamed");
  ASSERT_TRUE(EnableWindow(inner, FALSE) == FALSE);
  EXPECT_FALSE(elsewhere([&] { return IsWindowEnabled(inner) != FALSE; }));
  EXPECT_EQ(elsewhere([&] { return GetWindowLongW(inner, GWL_STYLE); }) & LONG(WS_DISABLED),
            LONG(WS_DISABLED));

  ShowWindow(own, SW_HIDE);
  EXPECT_FALSE(elsewhere([&] { return IsWindowVisible(own) != FALSE; }));
  ASSERT_TRUE(DestroyWindow(own));
  EXPECT_FALSE(elsewhere([&] { return IsWindow(own) != FALSE; }));
  EXPECT_FALSE(elsewhere([&] { return IsWindow(inner) != FALSE; })) << "it went with its parent";
  SetLastError(0);
  RECT none{};
  EXPECT_FALSE(GetWindowRect(own, &none));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  own = nullptr;
}

// Another process's change reaches the view before any message that the host hands this
// process afterwards: the child's report of a change finds the change here.
TEST_F(WindowViews, AnotherProcesssChangeIsSeenBeforeItsNextMessage) {
  DWORD process = 0;
  EXPECT_NE(GetWindowThreadProcessId(peer, &process), 0u);
  EXPECT_EQ(process, static_cast<DWORD>(child));
  EXPECT_EQ(GetForegroundWindow(), peer);

  changePeer(1);
  RECT placed{};
  ASSERT_TRUE(GetWindowRect(peer, &placed));
  EXPECT_TRUE(sameRect(placed, RECT{30, 40, 180, 130}));
  changePeer(4);
  char16_t title[16] = {};
  EXPECT_EQ(GetWindowTextW(peer, title, 16), 7);
  EXPECT_EQ(std::u16string(title), u"changed");
  changePeer(2);
  EXPECT_FALSE(IsWindowVisible(peer));
  EXPECT_NE(GetForegroundWindow(), peer) << "hiding it passed the foreground on";
  changePeer(5);
  EXPECT_FALSE(IsWindow(peer));
  SetLastError(0);
  EXPECT_FALSE(GetClientRect(peer, &placed));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

// The view answers without the host: a stopped host holds none of these queries.
TEST_F(WindowViews, QueriesAnswerWhileTheHostIsStopped) {
  ShowWindow(own, SW_SHOW);
  ASSERT_TRUE(IsWindow(peer)); // the view follows this connection
  const pid_t host = hostPid();
  ASSERT_GT(host, 0);
  ASSERT_EQ(::kill(host, SIGSTOP), 0);
  auto answers = std::async(std::launch::async, [&] {
    RECT client{}, placed{};
    char16_t name[32] = {};
    DWORD process = 0;
    return IsWindow(own) && GetClientRect(own, &client) && sameRect(client, RECT{0, 0, 200, 100}) &&
           GetWindowRect(peer, &placed) && sameRect(placed, RECT{10, 20, 210, 120}) &&
           IsWindowVisible(peer) && GetWindowThreadProcessId(peer, &process) != 0 &&
           process == static_cast<DWORD>(child) && GetClassNameW(peer, name, 32) == 10 &&
           std::u16string(name) == u"PeerWindow" && GetForegroundWindow() == own &&
           GetSystemMetrics(SM_CXSCREEN) > 0 && !IsWindow(handle(0x7FFFFFF0));
  });
  const bool answered = answers.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  ::kill(host, SIGCONT);
  ASSERT_TRUE(answered) << "a query waited for the host";
  EXPECT_TRUE(answers.get());
}

// A watcher's window is posted a message for the changes it asked for, with the window that
// changed; the shell's taskbar follows the foreground window's title that way.
TEST_F(WindowViews, WatchersHearOfTheChangesTheyAskedFor) {
  auto &view = WindowStateView::instance();
  const int watch =
      view.watch(own, kWatched, peer, WindowStateView::kRetitled | WindowStateView::kDestroyed);
  // When the view took the table afresh (for this test's connection), a watcher heard that
  // anything may have changed.
  MSG msg;
  while (PeekMessageW(&msg, own, kWatched, kWatched, PM_REMOVE))
    EXPECT_EQ(msg.wParam, 0u);
  changePeer(1); // moved: not asked for
  changePeer(4);
  ASSERT_TRUE(waitFor(kWatched, msg));
  EXPECT_EQ(msg.hwnd, own);
  EXPECT_EQ(msg.wParam, reinterpret_cast<WPARAM>(peer));
  EXPECT_EQ(msg.lParam, LPARAM{WindowStateView::kRetitled}) << "the move came before and was not";

  const HWND taskbar = FindWindowW(u"HHTaskBar", nullptr);
  ASSERT_NE(taskbar, nullptr);
  ASSERT_EQ(GetForegroundWindow(), peer);
  EXPECT_TRUE(hosttest::eventually([&] {
    char16_t shown[16] = {};
    GetWindowTextW(taskbar, shown, 16);
    return std::u16string(shown) == u"changed";
  }));

  changePeer(5);
  ASSERT_TRUE(waitFor(kWatched, msg));
  EXPECT_EQ(msg.lParam, LPARAM{WindowStateView::kDestroyed});
  view.unwatch(watch);
}

} // namespace
