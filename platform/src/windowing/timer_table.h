// Timers of every process: SetTimer/KillTimer keyed by (window, id), or by id alone for timers
// without a window (the table picks the id). A timer comes due every `interval` ms (at least
// 10 ms, as on the device); each time it is reported due, its next due time is set one interval
// after the time given, so a slow receiver never builds up a backlog.
#pragma once

#include <ce/types.h>

#include <chrono>
#include <optional>
#include <vector>

namespace ce::host {

class TimerTable {
public:
  using Clock = std::chrono::steady_clock;

  struct Timer {
    DWORD process = 0;
    DWORD thread = 0;
    HWND hwnd = nullptr;
    UINT_PTR id = 0;
    LPARAM callback = 0;
    std::chrono::milliseconds interval{0};
    Clock::time_point due;
  };

  // Starts or restarts a timer; returns its id (never 0), or 0 when a windowless timer of a
  // thread is asked for without a free id.
  UINT_PTR set(DWORD process, DWORD thread, HWND hwnd, UINT_PTR id, DWORD intervalMs,
               LPARAM callback, Clock::time_point now);
  // Windowless timers are found by (process, id).
  bool kill(DWORD process, HWND hwnd, UINT_PTR id);
  void removeWindow(HWND hwnd);
  void removeProcess(DWORD process);
  void removeThread(DWORD process, DWORD thread);

  // Every timer due at `now`, each rescheduled one interval after `now`.
  std::vector<Timer> takeDue(Clock::time_point now);
  std::optional<Clock::time_point> nextDue() const;
  std::size_t size() const { return timers_.size(); }

private:
  std::vector<Timer> timers_;
  UINT_PTR nextWindowlessId_ = 1;
};

} // namespace ce::host
