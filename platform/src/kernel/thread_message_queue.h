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
//
// Device barrier marks (host/device_sync.h): a mark asks the owner thread to say when it has
// handled what it holds now, windows to paint included. The thread is in a message from the
// moment GetMessageW or PeekMessageW with PM_REMOVE hands it one (WM_QUIT included: a nested
// loop that ends on it returns to the handler that ran it) until it calls one of them again, and
// while it runs sent work. A marked thread answers once it is back in GetMessageW, or in
// PeekMessageW with PM_REMOVE, with nothing left that it would take.
#pragma once

#include <ce/messages.h>

#include <chrono>
#include <cstdint>
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
  // ran is destroyed, which releases senders waiting on a promise held by it. Marks are answered:
  // a thread that has ended has nothing left to handle.
  static void retireCurrentThread();
  // Called on a thread that had a queue as it ends, once its queue has been retired (the window
  // side forgets the thread's windows there). One hook per process.
  using ThreadEndHook = void (*)(DWORD threadId);
  static void setThreadEndHook(ThreadEndHook hook);
  // Every queue of this process.
  static std::vector<std::shared_ptr<ThreadMessageQueue>> all();
  // How many times anything was added to a queue of this process (posted, input, sent work,
  // WM_QUIT, a window to paint): a barrier compares it before and after to learn whether the
  // process kept busy.
  static std::uint64_t activity();

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

  // How the thread stood when a barrier marked its queue.
  enum class SyncStanding : std::uint32_t {
    Settled = 0, // nothing queued and in no message, or a watcher that is not pumping
    Marked = 1,  // it holds work (windows to paint included) or is in a message: it answers
                 // once it has handled them
  };
  struct SyncMark {
    SyncStanding standing = SyncStanding::Settled;
    std::uint32_t posted = 0; // what the queue held when it was marked
    std::uint32_t input = 0;
    std::uint32_t paint = 0;
  };
  // Marks the queue for a barrier, from any thread. `reached` runs once, on the owner thread
  // (or at its end), only when the answer is Marked.
  SyncMark markForSync(std::function<void()> reached);
  // A test's thread watches the device rather than being part of it: from now on a barrier
  // leaves it out, except while it pumps (setPumping). When a pump ends, the marks it left are
  // answered. Owner thread only.
  void becomeWatcher();
  void setPumping(bool pumping);

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
  // Runs the marks waiting for the thread's return to its loop; called with the lock not held.
  static void answerMarks(std::vector<std::function<void()>> &marks);
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
  bool inMessage_ = false; // the owner handles a message it took
  int runningSent_ = 0;    // sent work running on the owner thread (nested sends count each)
  bool watcher_ = false;   // a test's thread: marked only while it pumps
  bool pumping_ = false;
  std::vector<std::function<void()>> marks_;
};

} // namespace ce
