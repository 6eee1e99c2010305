#include "work_pool.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace ce::host {

struct WorkPool::State {
  std::mutex mutex;
  std::condition_variable wake;    // workers: a job or the stop
  std::condition_variable settled; // stop(): a worker became idle or left
  std::deque<std::function<void()>> jobs;
  std::size_t maxWorkers = 1;
  std::function<void()> onWorkerStart;
  std::size_t workers = 0;
  std::size_t idle = 0;
  std::size_t running = 0;
  bool stopped = false;

  static void work(const std::shared_ptr<State> &state) {
    if (state->onWorkerStart)
      state->onWorkerStart();
    std::unique_lock lock(state->mutex);
    for (;;) {
      ++state->idle;
      state->wake.wait(lock, [&] { return state->stopped || !state->jobs.empty(); });
      --state->idle;
      if (state->stopped)
        break;
      auto job = std::move(state->jobs.front());
      state->jobs.pop_front();
      ++state->running;
      lock.unlock();
      try {
        job();
      } catch (...) {
        // A job's failure is the job's to report; the worker goes on.
      }
      job = nullptr; // whatever the job held goes before the pool hears it finished
      lock.lock();
      --state->running;
      state->settled.notify_all();
    }
    --state->workers;
    state->settled.notify_all();
  }
};

WorkPool::WorkPool(std::size_t maxWorkers, std::function<void()> onWorkerStart)
    : state_(std::make_shared<State>()) {
  state_->maxWorkers = maxWorkers == 0 ? 1 : maxWorkers;
  state_->onWorkerStart = std::move(onWorkerStart);
}

WorkPool::~WorkPool() { stop(0); }

bool WorkPool::submit(std::function<void()> job) {
  std::lock_guard lock(state_->mutex);
  if (state_->stopped)
    return false;
  state_->jobs.push_back(std::move(job));
  if (state_->idle < state_->jobs.size() && state_->workers < state_->maxWorkers) {
    ++state_->workers;
    std::thread([state = state_] { State::work(state); }).detach();
  } else {
    state_->wake.notify_one();
  }
  return true;
}

bool WorkPool::stop(int timeoutMs) {
  std::unique_lock lock(state_->mutex);
  state_->stopped = true;
  state_->jobs.clear();
  state_->wake.notify_all();
  return state_->settled.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                                  [&] { return state_->running == 0; });
}

} // namespace ce::host
