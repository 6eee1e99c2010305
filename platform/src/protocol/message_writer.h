// Builds a message: fixed-size integers, UTF-16 strings (a u32 count of code units, then the
// units) and byte blobs (a u32 byte count, then the bytes). The writer never produces a packet
// larger than kMaxMessageSize: once a value would not fit it marks itself overflowed, and
// finish() then fails, so callers check one flag instead of every append.
#pragma once

#include "message.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace ce::protocol {

class MessageWriter {
public:
  MessageWriter &u32(std::uint32_t value) { return raw(&value, sizeof value); }
  MessageWriter &i32(std::int32_t value) { return raw(&value, sizeof value); }
  MessageWriter &u64(std::uint64_t value) { return raw(&value, sizeof value); }
  MessageWriter &i64(std::int64_t value) { return raw(&value, sizeof value); }
  MessageWriter &string(std::u16string_view text);
  MessageWriter &blob(std::span<const std::uint8_t> bytes);
  // Descriptors are duplicated into the message, so the caller keeps its own.
  MessageWriter &descriptor(int fd);

  // Marks the message unwritable: a value broke a limit its field declares.
  void refuse() { overflowed_ = true; }
  bool overflowed() const { return overflowed_; }
  std::size_t size() const { return payload_.size(); }

  // The finished message; false when a value did not fit or a descriptor could not be copied.
  bool finish(std::uint32_t type, std::uint32_t requestId, std::uint32_t status, Message &out);

private:
  MessageWriter &raw(const void *data, std::size_t size);

  std::vector<std::uint8_t> payload_;
  std::vector<UniqueFd> descriptors_;
  bool overflowed_ = false;
};

} // namespace ce::protocol
