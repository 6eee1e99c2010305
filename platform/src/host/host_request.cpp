#include "host_request.h"

#include "host_server.h"

namespace ce::host {

std::uint64_t HostRequest::peerId() const { return peer_.id(); }

void HostRequest::send(protocol::Message &answer) {
  if (PeerConnection *target = server_.peer(peer_.id()))
    server_.send(*target, std::move(answer));
}

void HostRequest::reply(DWORD status, protocol::MessageWriter &payload) {
  if (answered_)
    return;
  answered_ = true;
  if (!wantsReply())
    return;
  server_.replyLater(peer_.id(), message_.header.type, message_.header.requestId, status, &payload);
}

} // namespace ce::host
