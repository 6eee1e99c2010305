// A thread of this process as a kernel object: its id, priority and exit code, signalled when it
// ends. Threads started by CreateThread run detached (the system never joins them); threads that
// the platform did not start (the main thread, threads of the host's libraries) get an object on
// first use, so that GetCurrentThread and priorities work for every thread. A thread started here
// takes the device-process identity of the thread that started it (process_identity.h).
#pragma once

#include <ce/core/kernel_object.h>
#include <ce/kernel.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace ce {

class Thread : public KernelObject {
public:
  // The calling thread's object.
  static std::shared_ptr<Thread> current();
  // The Linux thread id of the calling thread: unique across the device while it lives.
  static DWORD currentId();

  // Starts a detached thread that will run start(parameter) and waits until its id is known.
  // The new thread does not call `start` before release() (or the last reference the creator
  // holds going away), so the creator can publish the id first, as CreateThread does: the
  // routine may read the variable that received its own id. Null, with the platform error code
  // in *error, when the host cannot start a thread.
  static std::shared_ptr<Thread> start(LPTHREAD_START_ROUTINE start, LPVOID parameter,
                                       DWORD stackSize, DWORD *error);
  // Lets a thread made by start() run its routine.
  void release();
  // Ends the calling thread with the code, unwinding its stack (destructors run).
  [[noreturn]] static void exitCurrent(DWORD exitCode);

  DWORD id() const { return id_.load(); }
  // STILL_ACTIVE until the thread has ended.
  DWORD exitCode() const;
  bool finished() const;
  int priority() const { return priority_.load(); }
  void setPriority(int priority) { priority_.store(priority); }

  DWORD wait(DWORD milliseconds) override;

private:
  Thread() = default;
  static void *run(void *record);
  void markFinished(DWORD exitCode);

  std::atomic<DWORD> id_{0};
  std::atomic<int> priority_{THREAD_PRIORITY_NORMAL};
  // The code ExitThread asked for, taken when the unwinding reaches the thread's end.
  std::atomic<DWORD> requestedExit_{STILL_ACTIVE};
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool finished_ = false;
  bool released_ = false;
  DWORD exitCode_ = STILL_ACTIVE;
};

} // namespace ce
