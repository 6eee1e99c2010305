#include "host_request.h"

#include "host_server.h"

namespace ce::host {

std::uint64_t HostRequest::peerId() const { return peer_.id(); }

} // namespace ce::host
