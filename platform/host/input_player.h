// Plays input to the device at the right times on a thread of its own, so that a gesture of
// several seconds never holds up the host's loop. Batches play one after another in the order
// they were queued; within a batch each event is handed over at its time from the batch's start.
// Once the last event of a batch has been handed over, one byte is written to the batch's
// completion descriptor (the write end of the requester's pipe) and it is closed. A batch that is
// dropped or cut short is closed without the byte: the requester sees end-of-file alone.
// afterQueued() puts a call in the same line: it runs once every batch queued before it has
// been handed over.
#pragma once

#include "../src/protocol/unique_fd.h"
#include "../src/screen/stylus_gesture.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace ce::host {

class InputPlayer {
public:
  using Deliver = std::function<void(const InputEvent &)>;

  explicit InputPlayer(Deliver deliver);
  // Stops playing; batches not yet played are dropped (their descriptors closed).
  ~InputPlayer();
  InputPlayer(const InputPlayer &) = delete;
  InputPlayer &operator=(const InputPlayer &) = delete;

  void play(std::vector<TimedInput> events, protocol::UniqueFd done);
  // Runs `then` on the player's thread once the batches queued so far have been handed over;
  // never when the player stops first.
  void afterQueued(std::function<void()> then);

private:
  struct Batch {
    std::vector<TimedInput> events;
    protocol::UniqueFd done;
    std::function<void()> then;
  };
  void run();

  Deliver deliver_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Batch> queue_;
  bool stopping_ = false;
  std::thread thread_;
};

} // namespace ce::host
