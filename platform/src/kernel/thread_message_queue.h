// The message queue of one thread, and the table of queues by thread id.
//
// Ordering contract. GetMessageW and PeekMessageW take, among the messages that pass the
// caller's filter:
//   1. sent work first: every piece of work handed in with deliverSent (messages sent from other
//      threads or processes) runs on the owner thread inside the call, before anything is
//      returned, and also while GetMessageW waits;
//   2. posted messages (thread messages and window messages), in the order they were posted;
//   3. input messages (stylus and keys), in the order they arrived;
//   4. WM_QUIT from PostQuitMessage, once nothing of 2 and 3 passes the filter; it passes every
//      filter, and is taken only once;
//   5. WM_PAINT for a window that was invalidated and not validated since (it comes again on
//      every call until the window is validated);
//   6. WM_TIMER for the timer due longest, at most one pending per timer.
// So WM_PAINT and WM_TIMER come only when nothing else waits. A WM_QUIT posted with
// PostThreadMessageW is an ordinary posted message.
//
// Filters: a null window takes every message of the thread; the window value -1 takes thread
// messages only (those without a window); any other window takes that window's messages. The
// range [min, max] takes messages in it; 0, 0 takes all; min > max takes those outside (max, min).
//
// A queue exists from the thread's first use of it (PeekMessageW creates it) until the thread
// ends. Its wake descriptor (an eventfd) becomes readable whenever something is added, so a
// thread may poll it together with a socket.
#pragma once

#include <ce/messages.h>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace ce {

class ThreadMessageQueue {
public:
  struct Filter {
    HWND hwnd = nullptr;
    UINT min = 0;
    UINT max = 0;
    bool passes(HWND window, UINT message) const;
  };

  ~ThreadMessageQueue();
  ThreadMessageQueue(const ThreadMessageQueue &) = delete;
  ThreadMessageQueue &operator=(const ThreadMessageQueue &) = delete;

  // The calling thread's queue, created on first use; null only when the host is out of
  // descriptors.
  static std::shared_ptr<ThreadMessageQueue> current();
  // The queue of a live thread of this process that has created one; null otherwise.
  static std::shared_ptr<ThreadMessageQueue> find(DWORD threadId);
  // Takes the calling thread's queue out of the table, at the thread's end. Sent work that never
  // ran is destroyed, which releases senders waiting on a promise held by it.
  static void retireCurrentThread();

  DWORD threadId() const { return threadId_; }
  int wakeDescriptor() const { return wakeFd_; }

  // Adding, from any thread. Each returns false once the owner thread has ended.
  bool post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  bool postInput(const MSG &message);
  bool deliverSent(std::function<void()> work);
  void postQuit(int exitCode);
  void invalidate(HWND hwnd);
  void validate(HWND hwnd);
  // A timer sends WM_TIMER (wParam = id, lParam = callback) to the window every `interval` ms;
  // setting an existing (window, id) pair again restarts it with the new interval.
  void setTimer(HWND hwnd, UINT_PTR id, DWORD interval, LPARAM callback);
  bool killTimer(HWND hwnd, UINT_PTR id);

  // Taking, on the owner thread only. peek never waits; get waits until a message passes.
  bool peek(MSG &out, const Filter &filter, bool remove);
  void get(MSG &out, const Filter &filter);
  // The input messages that pass the filter, oldest first, left in the queue (for a caller that
  // must look past the first one, like the press-and-hold recogniser). Runs sent work first.
  std::vector<MSG> pendingInput(const Filter &filter);
  // MSG.time of the message the thread took last (what GetMessageTime answers on the device).
  DWORD lastMessageTime() const;

private:
  using Clock = std::chrono::steady_clock;
  struct Timer {
    HWND hwnd;
    UINT_PTR id;
    LPARAM callback;
    std::chrono::milliseconds interval;
    Clock::time_point due;
  };

  ThreadMessageQueue(DWORD threadId, int wakeFd);
  void wake() const;
  void drainWake() const;
  void runSentWork();
  bool take(MSG &out, const Filter &filter, bool remove);
  // Milliseconds until the next timer that passes the filter is due, or -1 when none runs.
  int msUntilNextTimer(const Filter &filter) const;

  const DWORD threadId_;
  const int wakeFd_;
  mutable std::mutex mutex_;
  bool retired_ = false;
  std::deque<std::function<void()>> sent_;
  std::deque<MSG> posted_;
  std::deque<MSG> input_;
  DWORD lastTime_ = 0;
  bool quitPending_ = false;
  int quitCode_ = 0;
  std::vector<HWND> needPaint_;
  std::vector<Timer> timers_;
};

} // namespace ce
