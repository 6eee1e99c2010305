// The host's deadline timer: callbacks in the order of their deadlines, cancelled and moved
// deadlines, and a timer that goes while deadlines are still far off.
#include "../host/deadline_timer.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <vector>

namespace {

using ce::host::DeadlineTimer;
using namespace std::chrono_literals;

struct Expiries {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::uint64_t> ids;

  void add(std::uint64_t id) {
    {
      std::lock_guard lock(mutex);
      ids.push_back(id);
    }
    changed.notify_all();
  }
  std::vector<std::uint64_t> waitFor(std::size_t count) {
    std::unique_lock lock(mutex);
    changed.wait_for(lock, 10s, [&] { return ids.size() >= count; });
    return ids;
  }
};

TEST(HostDeadlineTimer, CallsBackInDeadlineOrderAndNeverForACancelledOne) {
  Expiries expired;
  DeadlineTimer timer([&](std::uint64_t id) { expired.add(id); });
  const auto now = DeadlineTimer::Clock::now();
  timer.arm(1, now + 90ms);
  timer.arm(2, now + 30ms);
  timer.arm(3, now + 60ms);
  timer.arm(5, now + 10s);
  timer.cancel(3);
  timer.arm(5, now + 70ms); // moved forward
  timer.arm(4, now - 1s);   // already past: at once
  // Had 3 not been cancelled, it would have come before 1.
  EXPECT_EQ(expired.waitFor(4), (std::vector<std::uint64_t>{4, 2, 5, 1}));
}

TEST(HostDeadlineTimer, ADeadlineCancelledWhileTheTimerWaitsForItIsForgotten) {
  Expiries expired;
  DeadlineTimer timer([&](std::uint64_t id) { expired.add(id); });
  for (std::uint64_t round = 0; round < 50; ++round) {
    // The timer waits for the far deadline; it goes, and a new one wakes the timer.
    timer.arm(2 * round, DeadlineTimer::Clock::now() + 1h);
    timer.cancel(2 * round);
    timer.arm(2 * round + 1, DeadlineTimer::Clock::now());
    const auto seen = expired.waitFor(round + 1);
    ASSERT_EQ(seen.size(), round + 1);
    EXPECT_EQ(seen.back(), 2 * round + 1);
  }
}

TEST(HostDeadlineTimer, GoesWithoutCallingBackForDeadlinesStillAhead) {
  Expiries expired;
  {
    // A timer that waited for its deadline before it went would hold the test for an hour.
    DeadlineTimer timer([&](std::uint64_t id) { expired.add(id); });
    timer.arm(7, DeadlineTimer::Clock::now() + 1h);
  }
  EXPECT_TRUE(expired.ids.empty());
}

} // namespace
