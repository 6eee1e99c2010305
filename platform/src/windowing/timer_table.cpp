#include "windowing/timer_table.h"

#include <algorithm>

namespace ce::host {

UINT_PTR TimerTable::set(DWORD process, DWORD thread, HWND hwnd, UINT_PTR id, DWORD intervalMs,
                         LPARAM callback, Clock::time_point now) {
  const std::chrono::milliseconds every(std::max<DWORD>(intervalMs, 10));
  auto same = [&](const Timer &t) {
    return t.hwnd == hwnd && t.id == id && (hwnd || t.process == process);
  };
  if (!hwnd) {
    // A windowless timer with an id that is not one of the process's own gets a fresh id.
    if (id == 0 || std::none_of(timers_.begin(), timers_.end(), same)) {
      for (int tries = 0;; ++tries) {
        if (tries > 0xFFFF)
          return 0;
        id = nextWindowlessId_++;
        if (nextWindowlessId_ > 0x7FFFFFFF)
          nextWindowlessId_ = 1;
        if (std::none_of(timers_.begin(), timers_.end(), same))
          break;
      }
    }
  }
  auto it = std::find_if(timers_.begin(), timers_.end(), same);
  if (it == timers_.end())
    it = timers_.insert(timers_.end(), Timer{process, thread, hwnd, id, 0, every, now});
  it->callback = callback;
  it->interval = every;
  it->due = now + every;
  return id;
}

bool TimerTable::kill(DWORD process, HWND hwnd, UINT_PTR id) {
  const auto before = timers_.size();
  std::erase_if(timers_, [&](const Timer &t) {
    return t.hwnd == hwnd && t.id == id && t.process == process;
  });
  return timers_.size() != before;
}

void TimerTable::removeWindow(HWND hwnd) {
  std::erase_if(timers_, [&](const Timer &t) { return hwnd && t.hwnd == hwnd; });
}

void TimerTable::removeProcess(DWORD process) {
  std::erase_if(timers_, [&](const Timer &t) { return t.process == process; });
}

void TimerTable::removeThread(DWORD process, DWORD thread) {
  std::erase_if(timers_, [&](const Timer &t) {
    return t.process == process && t.thread == thread && !t.hwnd;
  });
}

std::vector<TimerTable::Timer> TimerTable::takeDue(Clock::time_point now) {
  std::vector<Timer> due;
  for (Timer &t : timers_)
    if (t.due <= now) {
      due.push_back(t);
      t.due = now + t.interval;
    }
  std::sort(due.begin(), due.end(), [](const Timer &a, const Timer &b) { return a.due < b.due; });
  return due;
}

std::optional<TimerTable::Clock::time_point> TimerTable::nextDue() const {
  std::optional<Clock::time_point> next;
  for (const Timer &t : timers_)
    if (!next || t.due < *next)
      next = t.due;
  return next;
}

} // namespace ce::host
