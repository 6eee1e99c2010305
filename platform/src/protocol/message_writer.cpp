#include "message_writer.h"

#include <cstring>
#include <fcntl.h>

namespace ce::protocol {

MessageWriter &MessageWriter::raw(const void *data, std::size_t size) {
  if (overflowed_ || payload_.size() + size > kMaxPayloadSize) {
    overflowed_ = true;
    return *this;
  }
  const auto *bytes = static_cast<const std::uint8_t *>(data);
  payload_.insert(payload_.end(), bytes, bytes + size);
  return *this;
}

MessageWriter &MessageWriter::string(std::u16string_view text) {
  if (text.size() > kMaxStringUnits) {
    overflowed_ = true;
    return *this;
  }
  u32(static_cast<std::uint32_t>(text.size()));
  return raw(text.data(), text.size() * sizeof(char16_t));
}

MessageWriter &MessageWriter::blob(std::span<const std::uint8_t> bytes) {
  if (bytes.size() > kMaxPayloadSize) {
    overflowed_ = true;
    return *this;
  }
  u32(static_cast<std::uint32_t>(bytes.size()));
  return raw(bytes.data(), bytes.size());
}

MessageWriter &MessageWriter::descriptor(int fd) {
  if (descriptors_.size() >= kMaxDescriptors) {
    overflowed_ = true;
    return *this;
  }
  const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (copy < 0)
    overflowed_ = true;
  else
    descriptors_.emplace_back(copy);
  return *this;
}

bool MessageWriter::finish(std::uint32_t type, std::uint32_t requestId, std::uint32_t status,
                           Message &out) {
  if (overflowed_)
    return false;
  out.header = MessageHeader{type, requestId, static_cast<std::uint32_t>(payload_.size()), status};
  out.payload = std::move(payload_);
  out.descriptors = std::move(descriptors_);
  payload_.clear();
  descriptors_.clear();
  return true;
}

} // namespace ce::protocol
