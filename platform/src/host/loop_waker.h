// Wakes the host's loop from another thread of the host process, which may not touch the loop's
// state: a connection of its own to the host's socket, joined as a tool (so the host process does
// not join its own device), on which each wake() sends one notice; the loop runs that notice's
// handler, which then does the loop-side work. Any thread may call wake().
#pragma once

#include "../protocol/message_type.h"
#include "../protocol/unique_fd.h"

#include <filesystem>
#include <mutex>

namespace ce::host {

class LoopWaker {
public:
  LoopWaker(std::filesystem::path socket, protocol::MessageType notice);

  // False when the host's socket cannot be reached (the loop has ended); the next call tries
  // to connect again.
  bool wake();

private:
  bool connect();

  const std::filesystem::path socket_;
  const protocol::MessageType notice_;
  std::mutex mutex_;
  protocol::UniqueFd fd_;
};

} // namespace ce::host
