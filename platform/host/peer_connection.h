// The host's side of one connection: its socket, the process behind it (from SO_PEERCRED) and
// the messages waiting to be sent to it.
#pragma once

#include "../src/protocol/message.h"

#include <ce/types.h>

#include <cstdint>
#include <deque>

namespace ce::host {

class PeerConnection {
public:
  // A connection whose outgoing queue grows past this many messages is not reading; the host
  // drops it rather than let it hold host memory hostage.
  static constexpr std::size_t kMaxQueued = 4096;

  PeerConnection(std::uint64_t id, protocol::UniqueFd socket, DWORD pid, std::uint32_t uid)
      : id_(id), socket_(std::move(socket)), pid_(pid), uid_(uid) {}

  std::uint64_t id() const { return id_; }
  int socket() const { return socket_.get(); }
  DWORD pid() const { return pid_; }
  std::uint32_t uid() const { return uid_; }

  // Said hello: a device process (joined) or a tool that only inspects and drives the device.
  bool greeted() const { return greeted_; }
  bool isTool() const { return tool_; }
  // A device process's post connection (protocol::kHelloPostConnection): it makes requests, but
  // nothing is delivered on it and it does not keep its process on the device.
  bool isPostConnection() const { return postConnection_; }
  void greet(bool tool, bool postConnection = false) {
    greeted_ = true;
    tool_ = tool;
    postConnection_ = postConnection && !tool;
  }

  // Queues a message; false when the queue is full (the caller drops the connection).
  bool queue(protocol::Message message);
  // Sends what it can without blocking; false when the peer has gone.
  bool flush();
  bool hasQueued() const { return !outgoing_.empty(); }
  // Messages waiting for the peer to read them.
  std::size_t queued() const { return outgoing_.size(); }
  // Whether the host's loop watches the socket for room to write (it does while messages wait).
  bool watchedForWriting() const { return watchedForWriting_; }
  void setWatchedForWriting(bool watched) { watchedForWriting_ = watched; }

private:
  const std::uint64_t id_;
  protocol::UniqueFd socket_;
  const DWORD pid_;
  const std::uint32_t uid_;
  bool greeted_ = false;
  bool tool_ = false;
  bool postConnection_ = false;
  bool watchedForWriting_ = false;
  std::deque<protocol::Message> outgoing_;
};

} // namespace ce::host
