// Messages for threads of other processes (0x014x, events 0x0180-0x0181): posts and sends
// through the host, and their delivery to the receiving process.
#pragma once

#include "message_codec.h"
#include "message_type.h"

namespace ce::protocol {

// A message's numbers, for one thread.
struct ThreadMessage {
  DWORD thread = 0;
  HWND hwnd = nullptr;
  UINT message = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  static constexpr auto fields() {
    using S = ThreadMessage;
    return std::tuple{wire::field(&S::thread), wire::field(&S::hwnd), wire::field(&S::message),
                      wire::field(&S::wParam), wire::field(&S::lParam)};
  }
};

// The data part of a sent message. Not packed: the message is numbers only and `bytes` is
// empty. Packed: lParam is 0 or 1 (null or not) and `bytes` is what MessageMarshaller::pack
// made of the data lParam pointed to in the sender's process.
struct MessageData {
  bool packed = false;
  std::vector<std::uint8_t> bytes;
  static constexpr auto fields() {
    return std::tuple{wire::field(&MessageData::packed), wire::blob(&MessageData::bytes)};
  }
  bool wellFormed() const { return packed || bytes.empty(); }
};

// What a sent message's receiver answered: its result and, for messages that carry data back
// (WM_GETTEXT), the data.
struct SentMessageReply {
  std::int64_t result = 0;
  std::vector<std::uint8_t> data;
  static constexpr auto fields() {
    return std::tuple{wire::field(&SentMessageReply::result), wire::blob(&SentMessageReply::data)};
  }
};

// Answered once the host has queued the message for the thread's process.
struct PostToThreadRequest {
  static constexpr MessageType kType = MessageType::PostToThread;
  ThreadMessage message;
  static constexpr auto fields() { return std::tuple{wire::field(&PostToThreadRequest::message)}; }
};

// How a DeliverSend ended, from its receiver (notice).
struct SendResultNotice {
  static constexpr MessageType kType = MessageType::SendResult;
  std::uint32_t sendId = 0;
  DWORD status = 0;
  std::int64_t result = 0;
  std::vector<std::uint8_t> data;
  static constexpr auto fields() {
    using S = SendResultNotice;
    return std::tuple{wire::field(&S::sendId), wire::field(&S::status), wire::field(&S::result),
                      wire::blob(&S::data)};
  }
};

// Event: a message posted to a thread of the process, which puts it into the thread's queue
// (or drops it when the thread has none).
struct DeliverPostEvent {
  static constexpr MessageType kType = MessageType::DeliverPost;
  ThreadMessage message;
  static constexpr auto fields() { return std::tuple{wire::field(&DeliverPostEvent::message)}; }
};

// Event: a message sent to a thread of the process, which answers with SendResult once the
// thread has handled it.
struct DeliverSendEvent {
  static constexpr MessageType kType = MessageType::DeliverSend;
  std::uint32_t sendId = 0;
  ThreadMessage message;
  MessageData data;
  static constexpr auto fields() {
    using S = DeliverSendEvent;
    return std::tuple{wire::field(&S::sendId), wire::field(&S::message), wire::field(&S::data)};
  }
};

} // namespace ce::protocol
