// One request as a handler sees it: the message, the connection it came on, and the ways to
// answer it.
#pragma once

#include "../src/protocol/message.h"
#include "../src/protocol/message_reader.h"
#include "../src/protocol/message_writer.h"

#include <ce/types.h>

namespace ce::host {

class HostServer;
class PeerConnection;

class HostRequest {
public:
  HostRequest(HostServer &server, PeerConnection &peer, protocol::Message &message)
      : server_(server), peer_(peer), message_(message) {}

  HostServer &server() const { return server_; }
  PeerConnection &peer() const { return peer_; }
  protocol::Message &message() const { return message_; }
  protocol::MessageReader reader() const { return protocol::MessageReader(message_.payload); }
  bool wantsReply() const { return message_.header.requestId != 0; }

  // Answers with a status and an optional payload (ignored for notices, which want no reply).
  void reply(DWORD status);
  void reply(DWORD status, protocol::MessageWriter &payload);
  bool answered() const { return answered_; }
  // The handler keeps the request open and answers later through HostServer::replyLater.
  void defer() { answered_ = true; }

private:
  HostServer &server_;
  PeerConnection &peer_;
  protocol::Message &message_;
  bool answered_ = false;
};

} // namespace ce::host
