// Names of the requests on the host socket, for the host's log.
#pragma once

#include "../src/protocol/message_type.h"

#include <string>

namespace ce::host {

// "FindWindow (0x0206)": the request's name and number; a number the protocol does not know
// shows alone.
std::string requestName(protocol::MessageType type);

} // namespace ce::host
