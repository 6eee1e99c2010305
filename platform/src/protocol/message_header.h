// The fixed header in front of every message on the host socket, and the limits every decoder
// enforces on outside bytes.
//
// A message is one SOCK_SEQPACKET packet: the 16-byte header, then `payloadLength` bytes of
// payload, then nothing. File descriptors ride along as SCM_RIGHTS. Integers are in the host's
// byte order (both ends run on the same machine).
#pragma once

#include <cstddef>
#include <cstdint>

namespace ce::protocol {

struct MessageHeader {
  std::uint32_t type = 0;          // a MessageType value
  std::uint32_t requestId = 0;     // 0: no reply wanted; a reply repeats the request's id
  std::uint32_t payloadLength = 0; // bytes after the header
  std::uint32_t status = 0;        // replies: the Win32 error code (0 for success)
};
static_assert(sizeof(MessageHeader) == 16);

inline constexpr std::size_t kHeaderSize = sizeof(MessageHeader);
// Largest packet in either direction, header included. It stays below the default socket send
// buffer (about 208 KiB without raised limits): a larger packet could not be sent at all.
inline constexpr std::size_t kMaxMessageSize = 192 * 1024;
inline constexpr std::size_t kMaxPayloadSize = kMaxMessageSize - kHeaderSize;
// Longest string a message may carry, in UTF-16 code units (a 32 KiB path is already absurd).
inline constexpr std::size_t kMaxStringUnits = 32 * 1024;
// Most descriptors one message may carry.
inline constexpr std::size_t kMaxDescriptors = 4;

} // namespace ce::protocol
