// Windows and messages across real processes: a booted device, the test process with a window
// of its own, and a child program with another.
#include "host_test_device.h"

#include "../src/kernel/thread_message_queue.h"

#include "../src/windowing/window_messages.h"
#include "../src/windowing/window_protocol.h"

#include <ce/kernel.h>
#include <ce/testing/message_pump.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <future>
#include <string>
#include <thread>
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
constexpr UINT kEchoText = WM_USER + 110;
constexpr UINT kMoved = WM_USER + 111;
constexpr UINT kSequence = WM_USER + 114;
constexpr UINT kTakeSequence = WM_USER + 115;
constexpr UINT kStopSelf = WM_USER + 116;

const std::filesystem::path kWindowProgram = CE_BINARY_DIR "/bin/ce_test_window";

struct Activation {
  bool child; // reported by the child program
  WPARAM state;
  LPARAM other;
};
std::vector<Activation> activations;
std::u16string textSet;         // what WM_SETTEXT last brought the test's window
std::vector<BYTE> bytesCopied;  // what WM_COPYDATA (dwData 2) last brought it
const void *dataSeen = nullptr; // the lpData it saw
std::vector<RECT> positions;    // WM_WINDOWPOSCHANGED records it got: x, y, cx, cy

LRESULT CALLBACK testProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case kBack:
    return static_cast<LRESULT>(wParam + 100);
  case WM_SETTEXT:
    textSet = reinterpret_cast<const char16_t *>(lParam);
    return TRUE;
  case WM_GETTEXT: {
    const std::u16string text = u"hello world";
    const std::size_t n = std::min<std::size_t>(text.size(), wParam ? wParam - 1 : 0);
    if (wParam)
      std::char_traits<char16_t>::copy(reinterpret_cast<char16_t *>(lParam), text.c_str(), n)[n] =
          u'\0';
    return static_cast<LRESULT>(n);
  }
  case WM_WINDOWPOSCHANGED:
    if (const auto *pos = reinterpret_cast<const WINDOWPOS *>(lParam))
      positions.push_back(RECT{pos->x, pos->y, pos->cx, pos->cy});
    return 0;
  case WM_COPYDATA: {
    const auto &cds = *reinterpret_cast<const COPYDATASTRUCT *>(lParam);
    const auto *bytes = static_cast<const BYTE *>(cds.lpData);
    bytesCopied.assign(bytes, bytes + cds.cbData);
    dataSeen = cds.lpData;
    return static_cast<LRESULT>(cds.dwData);
  }
  case WM_ACTIVATE:
    activations.push_back({false, wParam, lParam});
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

// Pumps the test thread's messages until a thread message `wanted` arrives (dispatching window
// messages meanwhile, noting activation reports); false after five seconds without one.
bool waitFor(UINT wanted, MSG &out) {
  static ce::testing::MessagePump pump;
  for (;;) {
    const auto got = pump.waitFor(
        [wanted](const MSG &m) { return m.message == kActivated || m.message == wanted; }, 5000);
    if (!got)
      return false;
    if (got->message != kActivated) {
      out = *got;
      return true;
    }
    activations.push_back({true, got->wParam, got->lParam});
  }
}

LRESULT fnv1a(const std::vector<BYTE> &bytes) {
  std::uint32_t hash = 2166136261u;
  for (BYTE b : bytes)
    hash = (hash ^ b) * 16777619u;
  return static_cast<LRESULT>(hash);
}

class CrossProcessWindows : public ::testing::Test {
protected:
  void SetUp() override {
    activations.clear();
    textSet.clear();
    bytesCopied.clear();
    positions.clear();
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &testProcedure;
    wc.lpszClassName = u"TestWindow";
    ASSERT_NE(RegisterClassW(&wc), 0) << GetLastError();
    own = CreateWindowExW(0, u"TestWindow", u"test", 0, 0, 0, 100, 100, nullptr, nullptr, nullptr,
                          nullptr);
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
  // And while the test waits in a send to the child: the nested send is answered, not stuck.
  EXPECT_EQ(SendMessageW(peer, kAskBack, 8, reinterpret_cast<LPARAM>(own)), 0);
  ASSERT_TRUE(waitFor(kAnswer, msg));
  EXPECT_EQ(msg.wParam, 108u);
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

// Text crosses with SendMessageW in both directions; WM_GETTEXT fills the sender's buffer and
// never more than it holds.
TEST_F(CrossProcessWindows, TextTravelsBothWaysWithinTheSendersBuffer) {
  EXPECT_EQ(SendMessageW(peer, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"renamed peer")), TRUE);
  char16_t title[32] = {};
  EXPECT_EQ(GetWindowTextW(peer, title, 32), 12);
  EXPECT_EQ(std::u16string(title), u"renamed peer");

  char16_t buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(SendMessageW(peer, WM_GETTEXT, 16, reinterpret_cast<LPARAM>(buffer)), 12);
  EXPECT_EQ(std::u16string(buffer), u"renamed peer");
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  EXPECT_EQ(SendMessageW(peer, WM_GETTEXT, 5, reinterpret_cast<LPARAM>(buffer)), 4);
  EXPECT_EQ(std::u16string(buffer), u"rena");
  EXPECT_EQ(buffer[5], u'#');
  EXPECT_EQ(SendMessageW(peer, WM_GETTEXTLENGTH, 0, 0), 12);

  // The child asks the test's window through a buffer of 6 characters, then tells it.
  ASSERT_TRUE(PostMessageW(peer, kEchoText, 6, reinterpret_cast<LPARAM>(own)));
  MSG msg;
  ASSERT_TRUE(waitFor(kAnswer, msg));
  EXPECT_EQ(msg.wParam, 5u);
  EXPECT_EQ(textSet, u"got:hello");

  // A null string clears the title.
  EXPECT_EQ(SendMessageW(peer, WM_SETTEXT, 0, 0), TRUE);
  EXPECT_EQ(GetWindowTextLengthW(peer), 0);
}

// WM_COPYDATA carries any bytes, zeros included, and the receiver may send data back while the
// sender waits. Within one process the pointer itself passes.
TEST_F(CrossProcessWindows, CopyDataCarriesBinaryBytesBothWays) {
  std::vector<BYTE> bytes(4096);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<BYTE>(i % 3 == 0 ? 0 : i * 7);
  COPYDATASTRUCT cds{1, static_cast<DWORD>(bytes.size()), bytes.data()};
  EXPECT_EQ(SendMessageW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), fnv1a(bytes));
  EXPECT_EQ(bytesCopied, std::vector<BYTE>(bytes.rbegin(), bytes.rend()));
  EXPECT_NE(dataSeen, nullptr);

  COPYDATASTRUCT empty{1, 0, nullptr};
  EXPECT_EQ(SendMessageW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&empty)), fnv1a({}));
  EXPECT_TRUE(bytesCopied.empty());

  // What cannot be read or is too large is refused before it leaves.
  std::vector<BYTE> huge(128 * 1024 + 1);
  COPYDATASTRUCT tooLarge{1, static_cast<DWORD>(huge.size()), huge.data()};
  SetLastError(0);
  EXPECT_EQ(SendMessageW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&tooLarge)), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(SendMessageW(peer, WM_COPYDATA, 0, 0), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // Data cannot wait in another process's queue.
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(PostMessageW(peer, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(u"x")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(0);
  EXPECT_FALSE(PostThreadMessageW(GetWindowThreadProcessId(peer, nullptr), WM_SETTEXT, 0,
                                  reinterpret_cast<LPARAM>(u"x")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // A window of another thread of this process gets the sender's own pointer.
  std::atomic<HWND> local{nullptr};
  std::thread worker([&] {
    local = CreateWindowExW(0, u"TestWindow", u"local", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                            nullptr);
    MSG m;
    while (GetMessageW(&m, nullptr, 0, 0) > 0)
      DispatchMessageW(&m);
    DestroyWindow(local.load());
  });
  ASSERT_TRUE(hosttest::eventually([&] { return local != nullptr; }));
  cds.dwData = 9;
  EXPECT_EQ(SendMessageW(local, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 9);
  EXPECT_EQ(dataSeen, bytes.data());
  EXPECT_TRUE(PostThreadMessageW(GetWindowThreadProcessId(local, nullptr), WM_QUIT, 0, 0));
  worker.join();
}

// The soft-key bars' button record crosses with its label, in the device's size or ours.
TEST_F(CrossProcessWindows, ButtonInfoArrivesWithItsLabel) {
  char16_t label[] = u"Done";
  TBBUTTONINFOW info{};
  info.cbSize = TBBUTTONINFO_DEVICE_SIZE;
  info.dwMask = TBIF_COMMAND | TBIF_TEXT;
  info.idCommand = 1001;
  info.pszText = label;
  EXPECT_EQ(SendMessageW(peer, TB_SETBUTTONINFO, 1001, reinterpret_cast<LPARAM>(&info)), 1001);
  char16_t title[16] = {};
  GetWindowTextW(peer, title, 16);
  EXPECT_EQ(std::u16string(title), u"Done");

  char16_t menu[] = u"Menu";
  info.cbSize = sizeof(TBBUTTONINFOW);
  info.idCommand = 1002;
  info.pszText = menu;
  EXPECT_EQ(SendMessageW(peer, TB_SETBUTTONINFO, 1002, reinterpret_cast<LPARAM>(&info)), 1002);
  GetWindowTextW(peer, title, 16);
  EXPECT_EQ(std::u16string(title), u"Menu");

  info.cbSize = 20; // neither size: refused, nothing changes
  SetLastError(0);
  EXPECT_EQ(SendMessageW(peer, TB_SETBUTTONINFO, 1002, reinterpret_cast<LPARAM>(&info)), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  GetWindowTextW(peer, title, 16);
  EXPECT_EQ(std::u16string(title), u"Menu");
}

// Forged data never reaches the receiver, and a receiver that dies mid-call fails the send.
TEST_F(CrossProcessWindows, ForgedDataIsRefusedAndADyingReceiverFailsTheSend) {
  const auto forged = [&](UINT message, std::int64_t lParam, std::uint32_t packed,
                          std::vector<std::uint8_t> data) {
    ce::protocol::MessageWriter payload;
    payload.u32(GetCurrentThreadId())
        .u64(reinterpret_cast<std::uintptr_t>(peer))
        .u32(message)
        .u64(0)
        .i64(lParam)
        .u32(packed)
        .blob(data);
    ce::protocol::Message request, answer;
    EXPECT_TRUE(payload.finish(+ce::windowing::WindowRequest::SendMessage, 0, 0, request));
    EXPECT_TRUE(ce::HostConnection::instance().call(request, answer, true));
    return answer.header.status;
  };
  std::vector<std::uint8_t> shortCopy(8 + 4 + 10, 0);
  shortCopy[8] = 0xE8; // claims 1000 bytes, holds 10
  shortCopy[9] = 0x03;
  EXPECT_EQ(forged(WM_COPYDATA, 1, 1, shortCopy), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(forged(WM_USER, 1, 1, {1, 2, 3}), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(forged(WM_SETTEXT, 0x1234, 0, {}), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(forged(WM_SETTEXT, 1, 2, {0}), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(forged(WM_COPYDATA, 7, 1, std::vector<std::uint8_t>(12, 0)),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER)); // lParam neither null nor not
  EXPECT_EQ(SendMessageW(peer, kDouble, 21, 0), 42);      // the child never saw them

  std::vector<BYTE> bytes(64, 0);
  COPYDATASTRUCT die{99, static_cast<DWORD>(bytes.size()), bytes.data()};
  SetLastError(0);
  EXPECT_EQ(SendMessageW(peer, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&die)), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BROKEN_PIPE));
  EXPECT_EQ(hosttest::waitExit(child), -1);
  child = 0;
}

// WM_WINDOWPOSCHANGED points to its record wherever it is handled: in the thread that moved
// the window, and in every process that rotation tells.
TEST_F(CrossProcessWindows, WindowPositionRecordsReachEveryReceiver) {
  ASSERT_TRUE(SetWindowPos(own, nullptr, 5, 6, 70, 80, SWP_NOZORDER | SWP_NOACTIVATE));
  ASSERT_EQ(positions.size(), 1u);
  EXPECT_EQ(positions[0].left, 5);
  EXPECT_EQ(positions[0].right, 70);
  EXPECT_EQ(positions[0].bottom, 80);

  const auto rotated = device.tool({"rotate"});
  ASSERT_EQ(rotated.exitCode, 0) << rotated.err;
  MSG msg;
  ASSERT_TRUE(waitFor(kMoved, msg));
  EXPECT_EQ(msg.wParam, 200u);
  EXPECT_EQ(msg.lParam, 100);
  EXPECT_TRUE(hosttest::eventually([] {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE))
      DispatchMessageW(&m);
    return positions.size() == 2;
  }));
}

// Runs `posts` on a thread of its own and waits for it for at most `seconds`: a poster that
// waits for its receiver fails the test instead of hanging it. `unblock` runs when it has not
// finished in time, so that it can.
template <class Posts>
bool finishesInTime(Posts posts, const std::function<void()> &unblock, int seconds = 20) {
  auto done = std::async(std::launch::async, std::move(posts));
  if (done.wait_for(std::chrono::seconds(seconds)) == std::future_status::ready)
    return true;
  unblock();
  done.wait();
  return false;
}

// A receiver stopped in the middle of its work (its reader thread too) holds no poster: each
// post is answered once the host has queued it, until the receiver has left the host's quota
// unread; the receiver keeps its connection and, continued, finds every accepted post in order.
TEST_F(CrossProcessWindows, PostsNeverWaitForAStoppedReceiverAndKeepTheirOrder) {
  ASSERT_TRUE(PostMessageW(peer, kStopSelf, 0, 0));
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, WUNTRACED), child);
  ASSERT_TRUE(WIFSTOPPED(status));

  const DWORD peerThread = GetWindowThreadProcessId(peer, nullptr);
  WPARAM accepted = 0;
  DWORD refusal = 0;
  bool threadPostTaken = false;
  ASSERT_TRUE(finishesInTime(
      [&] {
        threadPostTaken = PostThreadMessageW(peerThread, WM_NULL, 0, 0) != FALSE;
        for (WPARAM i = 0; i < 20000; ++i) {
          if (!PostMessageW(peer, kSequence, i, 0)) {
            refusal = GetLastError();
            return;
          }
          accepted = i + 1;
        }
      },
      [&] { ::kill(child, SIGCONT); }))
      << "a post waited for the stopped receiver";
  EXPECT_TRUE(threadPostTaken);
  EXPECT_EQ(refusal, static_cast<DWORD>(ERROR_NOT_ENOUGH_QUOTA)) << accepted << " posts taken";
  EXPECT_GE(accepted, 1000u);
  EXPECT_TRUE(IsWindow(peer)); // the host kept the receiver

  ASSERT_EQ(::kill(child, SIGCONT), 0);
  EXPECT_EQ(SendMessageW(peer, kTakeSequence, 0, 0), static_cast<LRESULT>(accepted));
}

// What a thread posts before a send is in the receiver's queue when the receiver handles the
// send, in the order posted.
TEST_F(CrossProcessWindows, PostsBeforeASendAreQueuedWhenTheSendIsHandled) {
  for (WPARAM i = 0; i < 200; ++i)
    ASSERT_TRUE(PostMessageW(peer, kSequence, i, 0));
  EXPECT_EQ(SendMessageW(peer, kTakeSequence, 0, 0), 200);
  for (WPARAM i = 200; i < 210; ++i)
    ASSERT_TRUE(PostMessageW(peer, kSequence, i, 0));
  EXPECT_EQ(SendMessageW(peer, kTakeSequence, 0, 0), 210);
}

// A receiver killed while a thread posts to it never holds the poster; once the host has seen
// it go, posts to its window and its thread fail with the errors the device gives.
TEST_F(CrossProcessWindows, PostsToADyingReceiverNeverWaitAndFailOnceItIsGone) {
  const DWORD peerThread = GetWindowThreadProcessId(peer, nullptr);
  std::atomic<bool> started{false};
  DWORD refusal = 0;
  auto posting = std::async(std::launch::async, [&] {
    for (WPARAM i = 0;; ++i) {
      if (!PostMessageW(peer, kSequence, i, 0)) {
        refusal = GetLastError();
        return;
      }
      started = true;
    }
  });
  ASSERT_TRUE(hosttest::eventually([&] { return started.load(); }));
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  EXPECT_EQ(hosttest::waitExit(child), -1);
  child = 0;
  ASSERT_EQ(posting.wait_for(std::chrono::seconds(20)), std::future_status::ready)
      << "a post waited for the dead receiver";
  EXPECT_EQ(refusal, static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(PostMessageW(peer, kSequence, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
  SetLastError(0);
  EXPECT_FALSE(PostThreadMessageW(peerThread, kSequence, 0, 0));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

} // namespace
