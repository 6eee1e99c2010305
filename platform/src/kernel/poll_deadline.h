// The time limit of a wait that polls descriptors: how long poll() may still wait.
//
// Waits that poll in a loop (for an answer, a process's end, the host's lock) recompute what is
// left of their limit on every round. The time left is rounded up to whole milliseconds, so a
// round never wakes before the deadline only to poll again with a timeout of 0.
#pragma once

#include <algorithm>
#include <chrono>
#include <climits>
#include <optional>

namespace ce {

class PollDeadline {
public:
  using Clock = std::chrono::steady_clock;

  // A deadline `ms` milliseconds after `now` (already passed for ms <= 0).
  static PollDeadline in(int ms, Clock::time_point now = Clock::now()) {
    return PollDeadline(now + std::chrono::milliseconds(std::max(ms, 0)));
  }
  // No deadline: the wait ends only with what it waits for.
  static PollDeadline never() { return PollDeadline(std::nullopt); }
  // A limit in the platform's convention for answer limits: 0 or less waits for ever.
  static PollDeadline forLimit(int ms) { return ms > 0 ? in(ms) : never(); }

  bool limited() const { return end_.has_value(); }

  // The timeout to give poll(): -1 without a deadline, else the milliseconds left (at most
  // INT_MAX); nothing once the deadline has passed.
  std::optional<int> pollTimeout(Clock::time_point now = Clock::now()) const {
    if (!end_)
      return -1;
    if (now >= *end_)
      return std::nullopt;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*end_ - now).count();
    return static_cast<int>(std::min<long long>(left, INT_MAX));
  }

private:
  explicit PollDeadline(std::optional<Clock::time_point> end) : end_(end) {}
  std::optional<Clock::time_point> end_;
};

} // namespace ce
