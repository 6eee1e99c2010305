// Threads that run slow work (loading and stopping service libraries) away from the host's loop
// thread, which must never wait on a device library.
//
// A job runs on an idle worker, or on a new worker when every one is busy, so a job that waits
// (a service's _Init calling back into the services host, or one that never returns) does not
// hold up the rest; past `maxWorkers` jobs wait their turn in the order given. Workers are
// detached and share the pool's state, so a worker stuck in a job may outlive the pool without
// touching freed memory.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

namespace ce::host {

class WorkPool {
public:
  // `onWorkerStart` (may be empty) runs first on every new worker thread.
  explicit WorkPool(std::size_t maxWorkers, std::function<void()> onWorkerStart = {});
  // stop(0): jobs not yet started are dropped.
  ~WorkPool();
  WorkPool(const WorkPool &) = delete;
  WorkPool &operator=(const WorkPool &) = delete;

  // False once the pool has stopped (the job is not run).
  bool submit(std::function<void()> job);
  // Takes no more jobs, runs none of those still waiting, and waits up to `timeoutMs` for the
  // running ones; true when all of them finished in time.
  bool stop(int timeoutMs);

private:
  struct State;
  std::shared_ptr<State> state_;
};

} // namespace ce::host
