// The data part of a window message on the host socket, after its numbers (hwnd, message,
// wParam, lParam): u32 packed, then a blob. Packed 0: the message is numbers only and the blob
// is empty. Packed 1: lParam is 0 or 1 (null or not) and the blob is what MessageMarshaller::pack
// made of the data lParam pointed to in the sender's process.
#pragma once

#include "../protocol/message_reader.h"
#include "../protocol/message_writer.h"
#include "message_marshaller.h"

namespace ce::windowing {

// `packedData` null: numbers only.
inline void writeMessageData(protocol::MessageWriter &writer,
                             const std::vector<std::uint8_t> *packedData) {
  writer.u32(packedData ? 1 : 0);
  writer.blob(packedData ? std::span<const std::uint8_t>(*packedData)
                         : std::span<const std::uint8_t>());
}

// False for a malformed field: a flag other than 0 or 1, or data that comes with numbers.
inline bool readMessageData(protocol::MessageReader &reader, bool &packed,
                            std::vector<std::uint8_t> &data) {
  std::uint32_t flag = 0;
  if (!reader.u32(flag) || flag > 1 || !reader.blob(data))
    return false;
  packed = flag == 1;
  return packed || data.empty();
}

} // namespace ce::windowing
