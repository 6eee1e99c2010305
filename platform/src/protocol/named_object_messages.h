// The named objects of the device (0x012x-0x015x): file mappings and events, whose memory the
// host hands out as a memfd and whose handles it counts per process, and registered window
// messages.
#pragma once

#include "message_codec.h"
#include "message_type.h"

namespace ce::protocol {

// What opening a named mapping or event answers: the host's id for it, whether it existed, its
// size and its memory.
struct NamedObjectReply {
  std::uint32_t id = 0;
  bool existed = false;
  std::uint64_t size = 0;
  Descriptor memory;
  static constexpr auto fields() {
    using S = NamedObjectReply;
    return std::tuple{wire::field(&S::id), wire::field(&S::existed), wire::field(&S::size),
                      wire::field(&S::memory)};
  }
};

struct CreateMappingRequest {
  static constexpr MessageType kType = MessageType::CreateMapping;
  static constexpr std::uint64_t kMaxSize = 256ull * 1024 * 1024;
  std::u16string name;
  std::uint64_t size = 0;
  static constexpr auto fields() {
    using S = CreateMappingRequest;
    return std::tuple{wire::name(&S::name, MAX_PATH), wire::bounded(&S::size, 1, kMaxSize)};
  }
  using Reply = NamedObjectReply;
};

// A handle of the process was closed (notice; as a request, ERROR_INVALID_HANDLE answers an id
// the process holds no handle of).
struct CloseMappingNotice {
  static constexpr MessageType kType = MessageType::CloseMapping;
  std::uint32_t id = 0;
  static constexpr auto fields() { return std::tuple{wire::field(&CloseMappingNotice::id)}; }
};

struct CreateEventRequest {
  static constexpr MessageType kType = MessageType::CreateEvent;
  std::u16string name;
  bool manualReset = false;
  bool initialState = false;
  static constexpr auto fields() {
    using S = CreateEventRequest;
    return std::tuple{wire::name(&S::name, MAX_PATH), wire::field(&S::manualReset),
                      wire::field(&S::initialState)};
  }
  using Reply = NamedObjectReply;
};

struct CloseEventNotice {
  static constexpr MessageType kType = MessageType::CloseEvent;
  std::uint32_t id = 0;
  static constexpr auto fields() { return std::tuple{wire::field(&CloseEventNotice::id)}; }
};

// A number from 0xC000 to 0xFFFF, the same for the same name in any case.
struct RegisterMessageRequest {
  static constexpr MessageType kType = MessageType::RegisterMessage;
  std::u16string name;
  static constexpr auto fields() {
    return std::tuple{wire::name(&RegisterMessageRequest::name, MAX_PATH)};
  }
  struct Reply {
    UINT message = 0;
    static constexpr auto fields() { return std::tuple{wire::field(&Reply::message)}; }
  };
};

} // namespace ce::protocol
