#include "peer_connection.h"

#include "../src/protocol/packet_socket.h"

#include <sys/socket.h>

namespace ce::host {

bool PeerConnection::queue(protocol::Message message) {
  if (outgoing_.size() >= kMaxQueued)
    return false;
  outgoing_.push_back(std::move(message));
  return true;
}

bool PeerConnection::flush() {
  while (!outgoing_.empty()) {
    if (!socket_)
      return false;
    switch (protocol::PacketSocket::send(socket_.get(), outgoing_.front(), MSG_DONTWAIT)) {
    case protocol::PacketSocket::Result::Ok:
      outgoing_.pop_front();
      break;
    case protocol::PacketSocket::Result::WouldBlock:
      return true;
    default:
      return false;
    }
  }
  return true;
}

} // namespace ce::host
