#include "input_player.h"

#include <chrono>
#include <unistd.h>

namespace ce::host {

InputPlayer::InputPlayer(Deliver deliver) : deliver_(std::move(deliver)) {
  thread_ = std::thread([this] { run(); });
}

InputPlayer::~InputPlayer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void InputPlayer::play(std::vector<TimedInput> events, protocol::UniqueFd done) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Batch{std::move(events), std::move(done), {}});
  }
  changed_.notify_all();
}

void InputPlayer::afterQueued(std::function<void()> then) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(Batch{{}, {}, std::move(then)});
  }
  changed_.notify_all();
}

void InputPlayer::run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (stopping_)
      return;
    Batch batch = std::move(queue_.front());
    queue_.pop_front();
    const auto start = std::chrono::steady_clock::now();
    for (const TimedInput &timed : batch.events) {
      // Waiting on the condition (not sleeping) lets shutdown cut a long gesture short.
      const auto due = start + std::chrono::milliseconds(timed.atMilliseconds);
      if (changed_.wait_until(lock, due, [this] { return stopping_; }))
        return;
      lock.unlock();
      deliver_(timed.event);
      lock.lock();
    }
    // One byte, then the end: the requester learns the whole gesture has been handed over.
    // A batch cut short (stop, or the host's end) closes without the byte.
    if (batch.done) {
      const char played = 'P';
      [[maybe_unused]] const auto written = ::write(batch.done.get(), &played, 1);
    }
    if (batch.then) {
      lock.unlock();
      batch.then();
      lock.lock();
    }
  }
}

} // namespace ce::host
