// Polls a condition up to a deadline: for a test that waits on state it can only look at (a
// file, another process's window, the registry). A test that waits for input to be handled uses
// the device barrier (device_sync.h); one that waits for a message uses MessagePump.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace ce::testing {

// True as soon as `condition` holds; false when it still does not after `ms` milliseconds. It
// is asked every `everyMs` milliseconds, and once more at the deadline.
inline bool eventually(const std::function<bool()> &condition, int ms = 10000, int everyMs = 5) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition())
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(everyMs));
  }
  return condition();
}

} // namespace ce::testing
