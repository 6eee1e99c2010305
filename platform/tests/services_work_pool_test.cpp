// The workers that keep service libraries off the host's loop: a job that waits holds up no
// other, and stopping gives up on a job that never ends without waiting for it.
#include "../host/work_pool.h"

#include <ce/testing/eventually.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  void wait() {
    std::unique_lock lock(mutex);
    opened.wait(lock, [&] { return open; });
  }
  void release() {
    {
      std::lock_guard lock(mutex);
      open = true;
    }
    opened.notify_all();
  }
};

} // namespace

TEST(ServicesWorkPool, AWaitingJobHoldsUpNoOtherAndStopWaitsOnlyAsLongAsAllowed) {
  auto gate = std::make_shared<Gate>();
  auto blockedStarted = std::make_shared<std::atomic<bool>>(false);
  ce::host::WorkPool pool(4);
  ASSERT_TRUE(pool.submit([gate, blockedStarted] {
    blockedStarted->store(true);
    gate->wait();
  }));
  std::promise<void> second;
  ASSERT_TRUE(pool.submit([&second] { second.set_value(); }));
  EXPECT_EQ(second.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  ASSERT_TRUE(ce::testing::eventually([&] { return blockedStarted->load(); }));

  // The blocked job is still running: stop gives up after its time and takes no more work.
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(pool.stop(100));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
  EXPECT_FALSE(pool.submit([] {}));
  gate->release(); // the worker ends on its own, after the pool's owner has moved on
}

TEST(ServicesWorkPool, PastTheLimitJobsWaitTheirTurnInOrder) {
  ce::host::WorkPool pool(1);
  std::mutex mutex;
  std::vector<int> order;
  std::promise<void> last;
  for (int i = 0; i < 5; ++i)
    ASSERT_TRUE(pool.submit([&, i] {
      {
        std::lock_guard lock(mutex);
        order.push_back(i);
      }
      if (i == 4)
        last.set_value();
    }));
  EXPECT_EQ(last.get_future().wait_for(std::chrono::seconds(5)), std::future_status::ready);
  EXPECT_TRUE(pool.stop(1000));
  EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 4}));
}
