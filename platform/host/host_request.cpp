#include "host_request.h"

#include "host_server.h"

namespace ce::host {

void HostRequest::reply(DWORD status) {
  protocol::MessageWriter empty;
  reply(status, empty);
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
