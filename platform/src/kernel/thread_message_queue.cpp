#include "kernel/thread_message_queue.h"

#include "kernel/thread.h"
#include "kernel/thread_slot.h"

#include <ce/kernel.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <optional>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <unordered_map>

namespace ce {
namespace {

struct QueueTable {
  std::mutex mutex;
  std::unordered_map<DWORD, std::shared_ptr<ThreadMessageQueue>> queues;
};

QueueTable &table() {
  static auto *queues = new QueueTable; // lives until exit; detached threads may still post
  return *queues;
}

// The calling thread's queue; the guard below retires it at the thread's end.
thread_local ThreadSlot<ThreadMessageQueue> ownQueue;

struct RetireAtThreadEnd {
  bool armed = false;
  ~RetireAtThreadEnd() {
    if (armed)
      ThreadMessageQueue::retireCurrentThread();
  }
};
thread_local RetireAtThreadEnd retireGuard;

std::atomic<ThreadMessageQueue::ThreadEndHook> threadEndHook{nullptr};

std::atomic<std::uint64_t> queueActivity{0};
void noteActivity() { queueActivity.fetch_add(1, std::memory_order_relaxed); }

} // namespace

bool ThreadMessageQueue::Filter::passes(HWND window, UINT message) const {
  if (hwnd == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1))) {
    if (window)
      return false;
  } else if (hwnd && window != hwnd) {
    return false;
  }
  if (min == 0 && max == 0)
    return true;
  if (min <= max)
    return message >= min && message <= max;
  return message >= min || message <= max;
}

ThreadMessageQueue::ThreadMessageQueue(DWORD threadId, int wakeFd)
    : threadId_(threadId), wakeFd_(wakeFd) {}

ThreadMessageQueue::~ThreadMessageQueue() { ::close(wakeFd_); }

std::shared_ptr<ThreadMessageQueue> ThreadMessageQueue::current() {
  if (!ownQueue.empty())
    return ownQueue.get();
  const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (fd < 0)
    return nullptr;
  std::shared_ptr<ThreadMessageQueue> queue(new ThreadMessageQueue(Thread::currentId(), fd));
  {
    auto &t = table();
    std::lock_guard lock(t.mutex);
    t.queues[queue->threadId_] = queue;
  }
  ownQueue.put(queue);
  retireGuard.armed = true;
  return queue;
}

std::shared_ptr<ThreadMessageQueue> ThreadMessageQueue::find(DWORD threadId) {
  auto &t = table();
  std::lock_guard lock(t.mutex);
  auto it = t.queues.find(threadId);
  return it == t.queues.end() ? nullptr : it->second;
}

void ThreadMessageQueue::retireCurrentThread() {
  std::shared_ptr<ThreadMessageQueue> queue = ownQueue.take();
  if (!queue)
    return;
  {
    auto &t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.queues.find(queue->threadId_);
    if (it != t.queues.end() && it->second == queue)
      t.queues.erase(it);
  }
  std::deque<std::function<void()>> unrun;
  std::vector<std::function<void()>> marks;
  {
    std::lock_guard lock(queue->mutex_);
    queue->retired_ = true;
    marks.swap(queue->marks_);
    unrun.swap(queue->sent_);
    queue->posted_.clear();
    queue->input_.clear();
    queue->needPaint_.clear();
    queue->timers_.clear();
  }
  // Destroyed outside the lock: destroying the work may wake its sender.
  unrun.clear();
  answerMarks(marks);
  if (const ThreadEndHook hook = threadEndHook.load())
    hook(queue->threadId_);
}

void ThreadMessageQueue::setThreadEndHook(ThreadEndHook hook) { threadEndHook.store(hook); }

std::vector<std::shared_ptr<ThreadMessageQueue>> ThreadMessageQueue::all() {
  auto &t = table();
  std::lock_guard lock(t.mutex);
  std::vector<std::shared_ptr<ThreadMessageQueue>> queues;
  queues.reserve(t.queues.size());
  for (const auto &[thread, queue] : t.queues)
    queues.push_back(queue);
  return queues;
}

std::uint64_t ThreadMessageQueue::activity() {
  return queueActivity.load(std::memory_order_relaxed);
}

void ThreadMessageQueue::answerMarks(std::vector<std::function<void()>> &marks) {
  for (auto &reached : marks)
    reached();
  marks.clear();
}

void ThreadMessageQueue::becomeWatcher() {
  std::lock_guard lock(mutex_);
  watcher_ = true;
}

void ThreadMessageQueue::setPumping(bool pumping) {
  std::vector<std::function<void()>> reached;
  {
    std::lock_guard lock(mutex_);
    pumping_ = pumping;
    if (!pumping && watcher_)
      reached.swap(marks_);
  }
  answerMarks(reached);
}

ThreadMessageQueue::SyncMark ThreadMessageQueue::markForSync(std::function<void()> reached) {
  SyncMark mark;
  {
    std::lock_guard lock(mutex_);
    if (retired_ || (watcher_ && !pumping_))
      return mark;
    mark.posted = static_cast<std::uint32_t>(posted_.size());
    mark.input = static_cast<std::uint32_t>(input_.size());
    mark.paint = static_cast<std::uint32_t>(needPaint_.size());
    const bool busy = !sent_.empty() || !posted_.empty() || !input_.empty() || quitPending_ ||
                      !needPaint_.empty() || runningSent_ > 0 || inMessage_;
    if (!busy)
      return mark;
    mark.standing = SyncStanding::Marked;
    marks_.push_back(std::move(reached));
  }
  wake(); // a thread waiting in its loop looks again and answers
  return mark;
}

void ThreadMessageQueue::wake() const {
  const std::uint64_t one = 1;
  // A full counter (never in practice) still leaves the descriptor readable.
  [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

void ThreadMessageQueue::drainWake() const {
  std::uint64_t count;
  [[maybe_unused]] const auto read = ::read(wakeFd_, &count, sizeof count);
}

bool ThreadMessageQueue::post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  {
    std::lock_guard lock(mutex_);
    if (retired_)
      return false;
    posted_.push_back(MSG{hwnd, message, wParam, lParam, GetTickCount(), POINT{0, 0}});
  }
  noteActivity();
  wake();
  return true;
}

bool ThreadMessageQueue::postInput(const MSG &message) {
  {
    std::lock_guard lock(mutex_);
    if (retired_)
      return false;
    input_.push_back(message);
  }
  noteActivity();
  wake();
  return true;
}

bool ThreadMessageQueue::deliverSent(std::function<void()> work) {
  {
    std::lock_guard lock(mutex_);
    if (retired_)
      return false;
    sent_.push_back(std::move(work));
  }
  noteActivity();
  wake();
  return true;
}

void ThreadMessageQueue::postQuit(int exitCode) {
  {
    std::lock_guard lock(mutex_);
    quitPending_ = true;
    quitCode_ = exitCode;
  }
  noteActivity();
  wake();
}

void ThreadMessageQueue::invalidate(HWND hwnd) {
  {
    std::lock_guard lock(mutex_);
    if (std::find(needPaint_.begin(), needPaint_.end(), hwnd) != needPaint_.end())
      return;
    needPaint_.push_back(hwnd);
  }
  noteActivity();
  wake();
}

void ThreadMessageQueue::validate(HWND hwnd) {
  std::lock_guard lock(mutex_);
  needPaint_.erase(std::remove(needPaint_.begin(), needPaint_.end(), hwnd), needPaint_.end());
}

void ThreadMessageQueue::setTimer(HWND hwnd, UINT_PTR id, DWORD interval, LPARAM callback) {
  {
    std::lock_guard lock(mutex_);
    // Like the device, intervals below 10 ms run at 10 ms.
    const std::chrono::milliseconds every(std::max<DWORD>(interval, 10));
    auto it = std::find_if(timers_.begin(), timers_.end(),
                           [&](const Timer &t) { return t.hwnd == hwnd && t.id == id; });
    if (it == timers_.end())
      it = timers_.insert(timers_.end(), Timer{hwnd, id, 0, {}, {}});
    it->callback = callback;
    it->interval = every;
    it->due = Clock::now() + every;
  }
  wake(); // a waiting owner must recompute how long it may sleep
}

bool ThreadMessageQueue::killTimer(HWND hwnd, UINT_PTR id) {
  std::lock_guard lock(mutex_);
  const auto before = timers_.size();
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(),
                               [&](const Timer &t) { return t.hwnd == hwnd && t.id == id; }),
                timers_.end());
  return timers_.size() != before;
}

void ThreadMessageQueue::runSentWork() {
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard lock(mutex_);
      if (sent_.empty())
        return;
      work = std::move(sent_.front());
      sent_.pop_front();
      ++runningSent_;
    }
    work();
    std::lock_guard lock(mutex_);
    --runningSent_;
  }
}

bool ThreadMessageQueue::take(MSG &out, const Filter &filter, bool remove) {
  for (auto *lane : {&posted_, &input_}) {
    const auto it = std::find_if(lane->begin(), lane->end(),
                                 [&](const MSG &m) { return filter.passes(m.hwnd, m.message); });
    if (it != lane->end()) {
      out = *it;
      if (remove) {
        lane->erase(it);
        lastTime_ = out.time;
      }
      return true;
    }
  }
  if (quitPending_) {
    out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(quitCode_), 0, GetTickCount(), POINT{0, 0}};
    if (remove)
      quitPending_ = false;
    return true;
  }
  for (HWND hwnd : needPaint_) {
    if (filter.passes(hwnd, WM_PAINT)) {
      out = MSG{hwnd, WM_PAINT, 0, 0, GetTickCount(), POINT{0, 0}};
      return true;
    }
  }
  const auto now = Clock::now();
  Timer *due = nullptr;
  for (auto &timer : timers_)
    if (timer.due <= now && filter.passes(timer.hwnd, WM_TIMER) && (!due || timer.due < due->due))
      due = &timer;
  if (due) {
    out = MSG{due->hwnd, WM_TIMER, due->id, due->callback, GetTickCount(), POINT{0, 0}};
    if (remove)
      due->due = now + due->interval;
    return true;
  }
  return false;
}

int ThreadMessageQueue::msUntilNextTimer(const Filter &filter) const {
  std::lock_guard lock(mutex_);
  std::optional<Clock::time_point> next;
  for (const auto &timer : timers_)
    if (filter.passes(timer.hwnd, WM_TIMER) && (!next || timer.due < *next))
      next = timer.due;
  if (!next)
    return -1;
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(*next - Clock::now()).count();
  return static_cast<int>(std::clamp<std::int64_t>(left, 0, INT32_MAX));
}

bool ThreadMessageQueue::peek(MSG &out, const Filter &filter, bool remove) {
  if (remove) {
    std::lock_guard lock(mutex_);
    inMessage_ = false;
  }
  runSentWork();
  std::vector<std::function<void()>> reached;
  bool took;
  {
    std::lock_guard lock(mutex_);
    took = take(out, filter, remove);
    // Only a pump that takes messages is back in its loop; a look without PM_REMOVE may come
    // from inside a handler.
    if (remove && took)
      inMessage_ = true;
    else if (remove)
      reached.swap(marks_);
  }
  answerMarks(reached);
  return took;
}

std::vector<MSG> ThreadMessageQueue::pendingInput(const Filter &filter) {
  runSentWork();
  std::lock_guard lock(mutex_);
  std::vector<MSG> waiting;
  for (const MSG &m : input_)
    if (filter.passes(m.hwnd, m.message))
      waiting.push_back(m);
  return waiting;
}

DWORD ThreadMessageQueue::lastMessageTime() const {
  std::lock_guard lock(mutex_);
  return lastTime_;
}

void ThreadMessageQueue::get(MSG &out, const Filter &filter) {
  {
    std::lock_guard lock(mutex_);
    inMessage_ = false;
  }
  for (;;) {
    // Drain before looking, so that anything added after the look leaves the descriptor
    // readable and the poll below returns at once.
    drainWake();
    runSentWork();
    std::vector<std::function<void()>> reached;
    {
      std::lock_guard lock(mutex_);
      if (take(out, filter, true)) {
        inMessage_ = true;
        return;
      }
      // Nothing the thread would take: it has handled what it was given.
      reached.swap(marks_);
    }
    answerMarks(reached);
    pollfd wait{wakeFd_, POLLIN, 0};
    ::poll(&wait, 1, msUntilNextTimer(filter));
  }
}

} // namespace ce
