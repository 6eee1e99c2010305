// The queue class itself is private to the platform; the tests drive its window-side lanes.
#include "../src/kernel/thread_message_queue.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/messages.h>

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <poll.h>
#include <thread>
#include <vector>

namespace {

HWND window(std::uintptr_t value) { return reinterpret_cast<HWND>(value); }

// Runs `body` on a fresh thread (with a queue of its own) and waits for it.
template <class Body> void onFreshThread(Body body) { std::thread(body).join(); }

TEST(KernelMessages, PostedMessagesComeInOrderWithTimeAndParameters) {
  onFreshThread([] {
    MSG msg{};
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)); // creates the queue
    const DWORD self = GetCurrentThreadId();
    const DWORD before = GetTickCount();
    for (UINT i = 0; i < 5; ++i)
      ASSERT_TRUE(PostThreadMessageW(self, WM_USER + i, i, -LPARAM(i)));
    for (UINT i = 0; i < 5; ++i) {
      ASSERT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
      EXPECT_EQ(msg.message, WM_USER + i);
      EXPECT_EQ(msg.wParam, i);
      EXPECT_EQ(msg.lParam, -LPARAM(i));
      EXPECT_EQ(msg.hwnd, nullptr);
      EXPECT_GE(msg.time - before, 0u);
      EXPECT_LT(msg.time - before, 60000u);
    }
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  });
}

TEST(KernelMessages, FiltersByRangeAndWindowAndNoRemoveKeepsTheMessage) {
  onFreshThread([] {
    auto queue = ce::ThreadMessageQueue::current();
    queue->post(nullptr, WM_USER + 1, 1, 0);
    queue->post(window(0x40), WM_COMMAND, 2, 0);
    queue->post(nullptr, WM_APP, 3, 0);
    queue->post(window(0x80), WM_USER + 1, 4, 0);

    MSG msg{};
    // Range filter: the first message in range, the others keep their places.
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 3u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_APP, WM_APP, PM_REMOVE));
    // Window filter: only that window's messages.
    ASSERT_TRUE(PeekMessageW(&msg, window(0x80), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_FALSE(PeekMessageW(&msg, window(0x80), 0, 0, PM_REMOVE));
    // -1 takes thread messages only.
    ASSERT_TRUE(PeekMessageW(&msg, window(UINTPTR_MAX), 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_FALSE(PeekMessageW(&msg, window(UINTPTR_MAX), 0, 0, PM_REMOVE));
    // An inverted range takes what lies outside it.
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_COMMAND + 1, WM_COMMAND - 1, PM_REMOVE));
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_USER, WM_TIMER, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_COMMAND);
    EXPECT_EQ(msg.hwnd, window(0x40));
  });
}

TEST(KernelMessages, QuitComesAfterEverythingElseAndOnlyOnce) {
  onFreshThread([] {
    MSG msg{};
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const DWORD self = GetCurrentThreadId();
    PostThreadMessageW(self, WM_USER, 1, 0);
    PostQuitMessage(5);
    PostThreadMessageW(self, WM_USER, 2, 0); // posted after the quit, still taken before it
    // A filter that passes nothing else still sees the quit.
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_QUIT);

    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 1u);
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 2u);
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.message, WM_QUIT);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)); // taken once

    // A WM_QUIT posted by another thread is an ordinary message: GetMessageW still returns 0.
    PostThreadMessageW(self, WM_QUIT, 9, 0);
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), FALSE);
    EXPECT_EQ(msg.wParam, 9u);
  });
}

TEST(KernelMessages, GetMessageWaitsForAMessageFromAnotherThread) {
  std::promise<DWORD> ready;
  auto readyId = ready.get_future();
  std::atomic<int> received{0};
  std::thread receiver([&] {
    MSG msg{};
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    ready.set_value(GetCurrentThreadId());
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
      if (msg.message == WM_USER)
        received += static_cast<int>(msg.wParam);
  });
  const DWORD id = readyId.get();
  // Deliberate: the receiver gets a while to block in GetMessageW, the case this covers; the
  // counts hold whether it has or not.
  Sleep(20);
  std::vector<std::thread> senders;
  for (int s = 0; s < 4; ++s)
    senders.emplace_back([id] {
      for (int i = 0; i < 250; ++i)
        EXPECT_TRUE(PostThreadMessageW(id, WM_USER, 1, 0));
    });
  for (auto &s : senders)
    s.join();
  EXPECT_TRUE(PostThreadMessageW(id, WM_QUIT, 0, 0));
  receiver.join();
  EXPECT_EQ(received.load(), 1000);
  // The thread has ended: its queue is gone.
  SetLastError(0);
  EXPECT_FALSE(PostThreadMessageW(id, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(KernelMessages, PostingNeedsALiveThreadWithAQueue) {
  SetLastError(0);
  EXPECT_FALSE(PostThreadMessageW(0, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(PostThreadMessageW(GetCurrentProcessId() + 1000000, WM_USER, 0, 0));

  // A live thread that has not touched its queue yet cannot receive; once it has, it can.
  std::promise<DWORD> id;
  auto idFuture = id.get_future();
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<UINT> got{0};
  std::thread worker([&] {
    id.set_value(GetCurrentThreadId());
    WaitForSingleObject(go, INFINITE);
    MSG msg{};
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(created);
    GetMessageW(&msg, nullptr, 0, 0);
    got = msg.message;
  });
  const DWORD workerId = idFuture.get();
  EXPECT_FALSE(PostThreadMessageW(workerId, WM_USER, 0, 0));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  SetEvent(go);
  WaitForSingleObject(created, 10000);
  EXPECT_TRUE(PostThreadMessageW(workerId, WM_USER + 7, 0, 0));
  worker.join();
  EXPECT_EQ(got.load(), WM_USER + 7);
  CloseHandle(go);
  CloseHandle(created);

  MSG msg{};
  EXPECT_EQ(GetMessageW(nullptr, nullptr, 0, 0), -1);
  EXPECT_FALSE(PeekMessageW(nullptr, nullptr, 0, 0, PM_REMOVE));
  (void)msg;
}

TEST(KernelMessages, SentWorkRunsOnTheOwnerFirstAndPaintAndTimersLast) {
  std::promise<std::shared_ptr<ce::ThreadMessageQueue>> queued;
  auto queueFuture = queued.get_future();
  std::vector<UINT> order;
  std::atomic<DWORD> sentRanOn{0};
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::thread owner([&] {
    queued.set_value(ce::ThreadMessageQueue::current());
    WaitForSingleObject(go, INFINITE);
    MSG msg{};
    for (;;) {
      ASSERT_NE(GetMessageW(&msg, nullptr, 0, 0), -1);
      if (msg.message == WM_QUIT)
        break;
      order.push_back(msg.message);
      if (msg.message == WM_PAINT)
        ce::ThreadMessageQueue::current()->validate(msg.hwnd);
      if (msg.message == WM_TIMER) {
        ce::ThreadMessageQueue::current()->killTimer(msg.hwnd, msg.wParam);
        PostQuitMessage(0);
      }
    }
  });
  auto queue = queueFuture.get();
  const DWORD ownerId = queue->threadId();
  // Everything is queued before the owner looks; it must come out in contract order.
  queue->setTimer(window(0x10), 1, 0, 0);
  queue->invalidate(window(0x10));
  MSG tap{window(0x10), WM_LBUTTONDOWN, 0, 0, GetTickCount(), {1, 2}};
  queue->postInput(tap);
  queue->post(window(0x10), WM_COMMAND, 0, 0);
  queue->deliverSent([&] {
    sentRanOn = GetCurrentThreadId();
    order.push_back(0);
  });
  SetEvent(go);
  owner.join();
  CloseHandle(go);
  EXPECT_EQ(sentRanOn.load(), ownerId);
  const std::vector<UINT> expected = {0, WM_COMMAND, WM_LBUTTONDOWN, WM_PAINT, WM_TIMER};
  EXPECT_EQ(order, expected);
}

TEST(KernelMessages, WakeDescriptorSignalsNewMessagesAndTheQueueEndsWithItsThread) {
  std::shared_ptr<ce::ThreadMessageQueue> kept;
  std::atomic<bool> senderReleased{false};
  std::thread sender;
  onFreshThread([&] {
    kept = ce::ThreadMessageQueue::current();
    pollfd p{kept->wakeDescriptor(), POLLIN, 0};
    kept->post(nullptr, WM_USER, 0, 0);
    EXPECT_EQ(::poll(&p, 1, 5000), 1);
    // Work sent to a thread that ends before running it is destroyed, releasing its sender.
    auto promise = std::make_shared<std::promise<void>>();
    auto future = promise->get_future();
    kept->deliverSent([promise] { promise->set_value(); });
    sender = std::thread([f = std::move(future), &senderReleased]() mutable {
      try {
        f.get();
      } catch (const std::future_error &) {
        senderReleased = true;
      }
    });
  });
  sender.join();
  EXPECT_TRUE(senderReleased);
  EXPECT_EQ(ce::ThreadMessageQueue::find(kept->threadId()), nullptr);
  EXPECT_FALSE(kept->post(nullptr, WM_USER, 0, 0));
}

} // namespace
