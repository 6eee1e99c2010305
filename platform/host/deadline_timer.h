// Calls back when deadlines pass, on a thread of its own, so that the host's loop can wait for
// a time without a timer descriptor per wait. Each deadline has an id; a deadline cancelled
// before it passes is never called back. Stops (dropping what is left) when destroyed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace ce::host {

class DeadlineTimer {
public:
  using Clock = std::chrono::steady_clock;
  using Expired = std::function<void(std::uint64_t id)>;

  explicit DeadlineTimer(Expired expired);
  ~DeadlineTimer();
  DeadlineTimer(const DeadlineTimer &) = delete;
  DeadlineTimer &operator=(const DeadlineTimer &) = delete;

  // Calls back with `id` at `when` (at once for a time already past); arming an id again moves
  // its deadline.
  void arm(std::uint64_t id, Clock::time_point when);
  void cancel(std::uint64_t id);

private:
  void run();

  Expired expired_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::uint64_t, Clock::time_point> deadlines_;
  bool stopping_ = false;
  std::thread thread_;
};

} // namespace ce::host
