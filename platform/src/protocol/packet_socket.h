// Sending and receiving whole messages over a SOCK_SEQPACKET Unix socket, descriptors included,
// and opening such sockets at a path of any length.
#pragma once

#include "message.h"

#include <filesystem>
#include <span>

namespace ce::protocol {

class PacketSocket {
public:
  enum class Result {
    Ok,
    WouldBlock, // non-blocking socket with nothing to read, or no room to send
    Closed,     // the peer has gone
    Malformed,  // a packet that is not a message: short, truncated, lengths that disagree, too
                // many descriptors; the packet is consumed and its descriptors closed
    Failed,     // any other socket error (errno tells)
  };

  // Checks a received packet and splits it into header and payload.
  static Result decode(std::span<const std::uint8_t> packet, Message &out);

  // Sends one message; with MSG_DONTWAIT in flags a full socket gives WouldBlock.
  static Result send(int fd, const Message &message, int flags = 0);
  // Receives one message; `buffer` is scratch space reused between calls.
  static Result receive(int fd, Message &out, std::vector<std::uint8_t> &buffer, int flags = 0);

  // A listening socket bound at `path` (mode 0600), or -1 with errno set. An existing file at the
  // path is replaced: the caller holds the lock that makes it the only owner.
  static UniqueFd listenAt(const std::filesystem::path &path);
  // A blocking connection to the socket at `path`, or -1 with errno set. With `limitMs` of 0 or
  // more, a listener that takes no connection within that time gives -1 with ETIMEDOUT.
  static UniqueFd connectTo(const std::filesystem::path &path, int limitMs = -1);
};

} // namespace ce::protocol
