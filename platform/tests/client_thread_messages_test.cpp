// Thread messages between processes of one device, through the host: posted both ways, in order,
// to threads that end and to threads that have no queue yet.
#include "host_test_device.h"

#include <ce/kernel.h>
#include <ce/messages.h>
#include <ce/testing/message_pump.h>

using namespace hosttest;

namespace {

constexpr UINT kHello = WM_USER + 1;
constexpr UINT kAdd = WM_USER + 2;
constexpr UINT kSum = WM_USER + 3;
constexpr UINT kWakeLate = WM_USER + 8;
constexpr UINT kLateReady = WM_USER + 9;
constexpr UINT kLateGot = WM_USER + 10;

class ClientThreadMessages : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(ce::HostConnection::instance().connect()); // only device processes receive
    peer = device.startOutside(kPeerProgram, {"echo", std::to_string(GetCurrentThreadId())});
    ASSERT_TRUE(waitFor(kHello, hello));
    peerThread = static_cast<DWORD>(hello.wParam);
  }
  // Waits (up to 10 s) for a thread message with the given number.
  bool waitFor(UINT message, MSG &out) {
    const auto got = pump.waitFor(message);
    if (got)
      out = *got;
    return got.has_value();
  }

  ce::testing::MessagePump pump; // this thread's queue, made before the peer posts to it

  HostDevice device;
  pid_t peer = 0;
  MSG hello{};
  DWORD peerThread = 0;
};

} // namespace

TEST_F(ClientThreadMessages, PostedBothWaysAndQuit) {
  EXPECT_NE(peerThread, 0u);
  ASSERT_TRUE(PostThreadMessageW(peerThread, kAdd, 40, 2));
  MSG sum;
  ASSERT_TRUE(waitFor(kSum, sum));
  EXPECT_EQ(sum.wParam, 42u);
  // Order is kept across processes.
  for (int i = 0; i < 50; ++i)
    ASSERT_TRUE(PostThreadMessageW(peerThread, kAdd, static_cast<WPARAM>(i), 0));
  for (int i = 0; i < 50; ++i) {
    ASSERT_TRUE(waitFor(kSum, sum));
    EXPECT_EQ(sum.wParam, static_cast<WPARAM>(i));
  }
  ASSERT_TRUE(PostThreadMessageW(peerThread, WM_QUIT, 0, 0)) << "error " << GetLastError();
  EXPECT_EQ(waitExit(peer), 7);
  // The thread is gone now: posting to it fails.
  ASSERT_TRUE(eventually([&] { return !PostThreadMessageW(peerThread, kAdd, 0, 0); }));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  // Threads that are not the device's cannot be reached.
  EXPECT_FALSE(PostThreadMessageW(1, kAdd, 0, 0));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

// The host takes a post for a live thread of another process without asking that process, so
// a thread that has no queue yet cannot refuse it: its process drops it, and the thread's first
// message is the first one posted after it made its queue.
TEST(ClientThreadMessagesToLateThreads, APostBeforeTheQueueIsMadeIsDropped) {
  ce::testing::MessagePump pump;
  HostDevice device;
  ASSERT_TRUE(ce::HostConnection::instance().connect());
  const pid_t peer =
      device.startOutside(kPeerProgram, {"late", std::to_string(GetCurrentThreadId())});
  const auto hello = pump.waitFor(kHello);
  ASSERT_TRUE(hello);
  const auto mainThread = static_cast<DWORD>(hello->wParam);
  const auto lateThread = static_cast<DWORD>(hello->lParam);
  EXPECT_TRUE(PostThreadMessageW(lateThread, kAdd, 1, 0));
  ASSERT_TRUE(PostThreadMessageW(mainThread, kWakeLate, 0, 0));
  const auto ready = pump.waitFor(kLateReady);
  ASSERT_TRUE(ready);
  EXPECT_EQ(ready->wParam, lateThread);
  ASSERT_TRUE(PostThreadMessageW(lateThread, kAdd, 2, 0));
  const auto got = pump.waitFor(kLateGot);
  ASSERT_TRUE(got);
  EXPECT_EQ(got->wParam, 2u);
  ASSERT_TRUE(PostThreadMessageW(mainThread, WM_QUIT, 0, 0));
  EXPECT_EQ(waitExit(peer), 7);
}
