// The service's short-lived threads (menu starter, menu raiser, menu-bar rescan). They are not
// joined while the service runs, but the service never lets its library go while one of them
// may still run its code: stopping wakes them from their waits and waits for their end.
#pragma once

#include <ce/kernel.h>

#include <mutex>
#include <vector>

class WorkerThreads {
public:
  WorkerThreads() = default;
  ~WorkerThreads();
  WorkerThreads(const WorkerThreads &) = delete;
  WorkerThreads &operator=(const WorkerThreads &) = delete;

  // Starts `routine(parameter)` on a thread of its own. False when the thread cannot be made.
  bool start(LPTHREAD_START_ROUTINE routine, LPVOID parameter = nullptr);
  // Waits `ms` milliseconds, or less when a stop is asked for: false then.
  bool pause(DWORD ms);
  bool stopping();
  // Asks every worker to stop and waits up to `ms` for all of them. True when none runs.
  bool stopAll(DWORD ms);
  // Lets workers run (and pause) again after a stop.
  void allowRunning();

private:
  HANDLE stopEvent();
  // Closes the handles of workers that ended.
  void forgetEnded();

  std::mutex mutex_;
  std::vector<HANDLE> threads_;
  HANDLE stopEvent_ = nullptr;
};
