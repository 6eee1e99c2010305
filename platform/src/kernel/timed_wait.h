// Waiting on a condition variable for a platform time limit in milliseconds (INFINITE or not).
#pragma once

#include <ce/types.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ce {

// Waits until `ready()` holds or the time limit passes; returns the final value of `ready()`.
template <class Predicate>
bool waitWithLimit(std::condition_variable &cv, std::unique_lock<std::mutex> &lock,
                   DWORD milliseconds, Predicate ready) {
  if (milliseconds == INFINITE) {
    cv.wait(lock, ready);
    return true;
  }
  return cv.wait_for(lock, std::chrono::milliseconds(milliseconds), ready);
}

} // namespace ce
