// One request as a handler sees it: the message, the connection it came on, and the ways to
// answer it.
#pragma once

#include "../src/protocol/answer.h"
#include "../src/protocol/message.h"
#include "../src/protocol/message_codec.h"

#include <ce/errors.h>
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
  bool wantsReply() const { return message_.header.requestId != 0; }

  // Answers with a status and the declared parts that follow it (nothing goes back for
  // notices, which want no reply). Defined in host_server.h.
  template <protocol::wire::Declared... Parts> void reply(DWORD status, const Parts &...parts);
  // Answers with what a handler of a declared request gave (nothing for a deferred answer).
  template <class Reply> void answer(const protocol::Answer<Reply> &answer) {
    if (answer.deferred())
      return;
    if (const Reply *reply = answer.reply())
      this->reply(answer.status(), *reply);
    else
      this->reply(answer.status());
  }
  bool answered() const { return answered_; }
  // The handler keeps the request open and answers later through HostServer::answerLater.
  template <class Request> protocol::DeferredReply<protocol::ReplyOf<Request>> defer() {
    answered_ = true;
    return {peerId(), message_.header.type, message_.header.requestId};
  }

private:
  std::uint64_t peerId() const;

  HostServer &server_;
  PeerConnection &peer_;
  protocol::Message &message_;
  bool answered_ = false;
};

} // namespace ce::host
