// Device barrier marks on a thread's queue: who is settled at once, who is waited for, and when
// a marked thread answers (back in its loop with nothing it would take, or at its end).
#include "../src/kernel/thread_message_queue.h"

#include <ce/kernel.h>
#include <ce/messages.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace {

using ce::ThreadMessageQueue;
using Standing = ThreadMessageQueue::SyncStanding;

constexpr UINT kWork = WM_USER + 1;
HWND const kWindow = reinterpret_cast<HWND>(std::uintptr_t{0x1234});

// A thread with a queue that runs what the test hands it, one body at a time.
class Worker {
public:
  Worker() : thread_([this] { loop(); }) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return queue_ != nullptr; });
  }
  ~Worker() {
    if (thread_.joinable())
      end();
  }
  // Runs `body` on the worker; waits for its end unless `wait` is false (then finish()).
  void run(std::function<void()> body, bool wait = true) {
    {
      std::lock_guard lock(mutex_);
      body_ = std::move(body);
    }
    changed_.notify_all();
    if (wait)
      finish();
  }
  void finish() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !body_; });
  }
  // Ends the thread (its queue retires with it).
  void end() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }
  ThreadMessageQueue &queue() { return *queue_; }
  DWORD id() const { return queue_->threadId(); }

private:
  void loop() {
    {
      std::lock_guard lock(mutex_);
      queue_ = ThreadMessageQueue::current();
    }
    changed_.notify_all();
    std::unique_lock lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stopping_ || body_; });
      if (!body_)
        return;
      const auto body = body_;
      lock.unlock();
      body();
      lock.lock();
      body_ = nullptr;
      changed_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  std::shared_ptr<ThreadMessageQueue> queue_;
  std::function<void()> body_;
  bool stopping_ = false;
  std::thread thread_;
};

// A mark whose answer the test can look at.
struct Answer {
  std::atomic<int> count{0};
  std::function<void()> callback() {
    return [this] { ++count; };
  }
};

TEST(KernelSyncMarks, AThreadWithNothingToDoIsSettledAtOnceAndNeverAnswers) {
  Worker worker;
  Answer answer;
  const auto mark = worker.queue().markForSync(answer.callback());
  EXPECT_EQ(mark.standing, Standing::Settled);
  worker.run([] {
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
  });
  EXPECT_EQ(answer.count, 0);
}

TEST(KernelSyncMarks, AMarkedThreadAnswersOnlyAfterHandlingWhatItHeld) {
  Worker worker;
  ASSERT_TRUE(worker.queue().post(nullptr, kWork, 1, 0));
  ASSERT_TRUE(worker.queue().post(nullptr, kWork, 2, 0));
  ASSERT_TRUE(worker.queue().postInput(MSG{kWindow, WM_LBUTTONUP, 0, 0, 0, POINT{}}));
  worker.queue().invalidate(kWindow);
  std::promise<DWORD> answered;
  std::atomic<int> handled{0};
  std::atomic<int> handledWhenAnswered{-1};
  const auto mark = worker.queue().markForSync([&] {
    handledWhenAnswered = handled.load();
    answered.set_value(GetCurrentThreadId());
  });
  EXPECT_EQ(mark.standing, Standing::Marked);
  EXPECT_EQ(mark.posted, 2u);
  EXPECT_EQ(mark.input, 1u);
  EXPECT_EQ(mark.paint, 1u);

  worker.run(
      [&] {
        MSG msg;
        // Posted, input, then WM_PAINT (which stays until the window is validated): the mark
        // is answered in the GetMessageW that finds nothing, before it blocks for the quit.
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
          ++handled;
          if (msg.message == WM_PAINT)
            ThreadMessageQueue::current()->validate(msg.hwnd);
        }
      },
      false);
  auto answer = answered.get_future();
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_EQ(answer.get(), worker.id()) << "answered on the owner thread";
  EXPECT_EQ(handledWhenAnswered, 4) << "two posted, one input, one paint";
  worker.queue().postQuit(0);
  worker.finish();
}

TEST(KernelSyncMarks, AThreadInsideAMessageIsWaitedForEvenWithAnEmptyQueue) {
  Worker worker;
  ASSERT_TRUE(worker.queue().post(nullptr, kWork, 0, 0));
  std::promise<void> inside, release;
  auto insideFuture = inside.get_future();
  auto releaseFuture = release.get_future();
  worker.run(
      [&] {
        MSG msg;
        ASSERT_TRUE(GetMessageW(&msg, nullptr, 0, 0));
        inside.set_value();
        releaseFuture.get(); // handling the message takes until the test lets go
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) << "back in its loop";
      },
      false);
  insideFuture.get();
  Answer answer;
  const auto mark = worker.queue().markForSync(answer.callback());
  EXPECT_EQ(mark.standing, Standing::Marked);
  EXPECT_EQ(mark.posted, 0u);
  EXPECT_EQ(answer.count, 0);
  release.set_value();
  worker.finish();
  EXPECT_EQ(answer.count, 1);
}

TEST(KernelSyncMarks, OnlyATakingPumpAnswersAndAThreadThatEndsAnswersToo) {
  Worker worker;
  ASSERT_TRUE(worker.queue().post(nullptr, kWork, 0, 0));
  Answer answer;
  ASSERT_EQ(worker.queue().markForSync(answer.callback()).standing, Standing::Marked);
  worker.run([&] {
    MSG msg;
    // A look without PM_REMOVE may come from inside a handler: it answers nothing.
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(answer.count, 0);
    EXPECT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(answer.count, 0) << "it is in that message now";
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(answer.count, 1);
  });

  // Marked with work it never takes: its end answers.
  ASSERT_TRUE(worker.queue().post(nullptr, kWork, 0, 0));
  Answer last;
  ASSERT_EQ(worker.queue().markForSync(last.callback()).standing, Standing::Marked);
  worker.end();
  EXPECT_EQ(last.count, 1);
}

TEST(KernelSyncMarks, AWatcherCountsOnlyWhilePumping) {
  Worker worker;
  worker.run([] { ThreadMessageQueue::current()->becomeWatcher(); });
  ASSERT_TRUE(worker.queue().post(nullptr, kWork, 0, 0));
  Answer idle;
  EXPECT_EQ(worker.queue().markForSync(idle.callback()).standing, Standing::Settled);

  Answer pumping;
  worker.run([] { ThreadMessageQueue::current()->setPumping(true); });
  EXPECT_EQ(worker.queue().markForSync(pumping.callback()).standing, Standing::Marked);
  // A pump that ends without getting through its messages leaves the barrier with them.
  worker.run([] { ThreadMessageQueue::current()->setPumping(false); });
  EXPECT_EQ(pumping.count, 1);
  EXPECT_EQ(idle.count, 0);
}

TEST(KernelSyncMarks, AddingToAnyQueueCountsAsActivity) {
  Worker worker;
  const auto before = ThreadMessageQueue::activity();
  ASSERT_TRUE(worker.queue().post(nullptr, kWork, 0, 0));
  ASSERT_TRUE(worker.queue().postInput(MSG{kWindow, WM_KEYDOWN, 0, 0, 0, POINT{}}));
  ASSERT_TRUE(worker.queue().deliverSent([] {}));
  worker.queue().invalidate(kWindow);
  worker.queue().invalidate(kWindow); // already due: nothing new
  worker.queue().postQuit(0);
  EXPECT_EQ(ThreadMessageQueue::activity() - before, 5u);
}

} // namespace
