// One message on the host socket: header, payload bytes and the descriptors that came with it.
#pragma once

#include "message_header.h"
#include "message_type.h"
#include "unique_fd.h"

#include <cstdint>
#include <vector>

namespace ce::protocol {

struct Message {
  MessageHeader header;
  std::vector<std::uint8_t> payload;
  std::vector<UniqueFd> descriptors;

  MessageType type() const { return static_cast<MessageType>(header.type); }
  bool isReply() const { return (header.type & kReplyBit) != 0; }
};

} // namespace ce::protocol
