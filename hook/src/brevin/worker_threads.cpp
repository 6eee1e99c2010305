#include "worker_threads.h"

#include <algorithm>

WorkerThreads::~WorkerThreads() {
  std::lock_guard lock(mutex_);
  for (HANDLE thread : threads_)
    CloseHandle(thread);
  if (stopEvent_)
    CloseHandle(stopEvent_);
}

HANDLE WorkerThreads::stopEvent() {
  std::lock_guard lock(mutex_);
  if (!stopEvent_)
    stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return stopEvent_;
}

void WorkerThreads::forgetEnded() {
  std::erase_if(threads_, [](HANDLE thread) {
    if (WaitForSingleObject(thread, 0) != WAIT_OBJECT_0)
      return false;
    CloseHandle(thread);
    return true;
  });
}

bool WorkerThreads::start(LPTHREAD_START_ROUTINE routine, LPVOID parameter) {
  stopEvent();
  std::lock_guard lock(mutex_);
  forgetEnded();
  DWORD id = 0;
  const HANDLE thread = CreateThread(nullptr, 0, routine, parameter, 0, &id);
  if (!thread)
    return false;
  threads_.push_back(thread);
  return true;
}

bool WorkerThreads::pause(DWORD ms) {
  const HANDLE stop = stopEvent();
  if (!stop) {
    Sleep(ms);
    return true;
  }
  return WaitForSingleObject(stop, ms) == WAIT_TIMEOUT;
}

bool WorkerThreads::stopping() { return !pause(0); }

bool WorkerThreads::stopAll(DWORD ms) {
  if (const HANDLE stop = stopEvent())
    SetEvent(stop);
  std::vector<HANDLE> running;
  {
    std::lock_guard lock(mutex_);
    forgetEnded();
    running = threads_;
  }
  const DWORD deadline = GetTickCount() + ms;
  for (HANDLE thread : running) {
    const DWORD now = GetTickCount();
    const DWORD left = static_cast<int>(deadline - now) > 0 ? deadline - now : 0;
    WaitForSingleObject(thread, left);
  }
  std::lock_guard lock(mutex_);
  forgetEnded();
  return threads_.empty();
}

void WorkerThreads::allowRunning() {
  if (const HANDLE stop = stopEvent())
    ResetEvent(stop);
}
