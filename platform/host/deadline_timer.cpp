#include "deadline_timer.h"

#include <algorithm>

namespace ce::host {

DeadlineTimer::DeadlineTimer(Expired expired) : expired_(std::move(expired)) {
  thread_ = std::thread([this] { run(); });
}

DeadlineTimer::~DeadlineTimer() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void DeadlineTimer::arm(std::uint64_t id, Clock::time_point when) {
  {
    std::lock_guard lock(mutex_);
    deadlines_[id] = when;
  }
  changed_.notify_all();
}

void DeadlineTimer::cancel(std::uint64_t id) {
  std::lock_guard lock(mutex_);
  deadlines_.erase(id);
}

void DeadlineTimer::run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (deadlines_.empty()) {
      changed_.wait(lock);
      continue;
    }
    const auto earliest =
        std::min_element(deadlines_.begin(), deadlines_.end(),
                         [](const auto &a, const auto &b) { return a.second < b.second; });
    // A copy: the entry may be cancelled (erased) while the wait has the lock let go.
    const Clock::time_point due = earliest->second;
    if (due > Clock::now()) {
      // Woken early by a change (a new, earlier deadline, a cancellation, the end): look again.
      changed_.wait_until(lock, due);
      continue;
    }
    const std::uint64_t id = earliest->first;
    deadlines_.erase(earliest);
    lock.unlock();
    expired_(id);
    lock.lock();
  }
}

} // namespace ce::host
