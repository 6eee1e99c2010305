#include <ce/host/host_ui_thread.h>

#include <ce/kernel.h>
#include <ce/messages.h>
#include <ce/windows_api.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace ce {

// What the thread shares with the object that started it, which it may outlive.
struct HostUiThread::State {
  Options options;
  Factory factory;
  std::atomic<bool> stopping{false};
  std::atomic<DWORD> threadId{0};
  std::atomic<bool> answered{false};
  mutable std::mutex mutex;
  mutable std::condition_variable changed;
  bool queueReady = false; // the queue exists, so stop()'s WM_QUIT reaches the thread
  Opening opening = Opening::Pending;
  std::string why;
  bool ended = false;

  void log(const std::string &line) const {
    if (options.log)
      options.log(options.name + ": " + line);
  }
  // Tells the starter, once, whether the windows are up: the log and Options::opened first, so
  // that they have heard when waitUntilOpen returns.
  void answerOpen(bool up, const std::string &reason) {
    if (answered.exchange(true))
      return;
    if (!up && !stopping.load())
      log("could not start: " + reason);
    if (options.opened)
      options.opened(up);
    {
      std::lock_guard lock(mutex);
      opening = up ? Opening::Up : Opening::Failed;
      why = reason;
    }
    changed.notify_all();
  }
};

HostUiThread::HostUiThread(Options options, Factory factory) : state_(std::make_shared<State>()) {
  state_->options = std::move(options);
  state_->factory = std::move(factory);
}

HostUiThread::~HostUiThread() { stop(); }

void HostUiThread::start() {
  if (thread_.joinable())
    return;
  thread_ = std::thread([state = state_] { run(state); });
}

void HostUiThread::run(const std::shared_ptr<State> &state) {
  if (state->options.identity)
    ProcessIdentity::adopt(*state->options.identity);
  MSG msg{};
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the queue, before stop() posts to it
  state->threadId.store(GetCurrentThreadId());
  {
    std::lock_guard lock(state->mutex);
    state->queueReady = true;
  }
  state->changed.notify_all();

  try {
    std::unique_ptr<Content> content;
    std::string failure = "stopped before its windows were made";
    if (!state->stopping.load()) {
      content = state->factory ? state->factory() : nullptr;
      failure = content ? content->open() : "nothing to run";
    }
    state->answerOpen(failure.empty(), failure);
    if (content && failure.empty()) {
      if (!state->stopping.load())
        content->started();
      while (!state->stopping.load()) {
        if (GetMessageW(&msg, nullptr, 0, 0) == -1 || state->stopping.load())
          break; // once stopping, nothing more is dispatched
        if (msg.message == WM_QUIT) {
          if (msg.hwnd)
            content->quitPostedTo(msg.hwnd);
          continue;
        }
        DispatchMessageW(&msg);
      }
    }
  } catch (const std::exception &error) {
    state->answerOpen(false, error.what());
    state->log(std::string("ended by an error: ") + error.what());
  }
  {
    std::lock_guard lock(state->mutex);
    state->ended = true;
  }
  state->changed.notify_all();
}

HostUiThread::Opening HostUiThread::waitUntilOpen(int limitMs, std::string *why) const {
  std::unique_lock lock(state_->mutex);
  state_->changed.wait_for(lock, std::chrono::milliseconds(limitMs),
                           [&] { return state_->opening != Opening::Pending || state_->ended; });
  if (state_->opening == Opening::Pending && state_->ended) {
    if (why)
      *why = "the thread ended";
    return Opening::Failed;
  }
  if (why)
    *why = state_->why;
  return state_->opening;
}

DWORD HostUiThread::threadId() const { return state_->threadId.load(); }

bool HostUiThread::stop(int limitMs) {
  if (!thread_.joinable())
    return true;
  state_->stopping.store(true);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  std::unique_lock lock(state_->mutex);
  state_->changed.wait_until(lock, deadline, [&] { return state_->queueReady || state_->ended; });
  lock.unlock();
  if (const DWORD thread = state_->threadId.load())
    PostThreadMessageW(thread, WM_QUIT, 0, 0);
  lock.lock();
  const bool ended = state_->changed.wait_until(lock, deadline, [&] { return state_->ended; });
  lock.unlock();
  if (ended) {
    thread_.join();
    return true;
  }
  state_->log("the thread did not end within " + std::to_string(limitMs) + " ms; left behind");
  thread_.detach();
  return false;
}

} // namespace ce
