// The one codec of the host socket: writes declared messages (field_list.h) into packets and
// reads them back, for every request, reply, notice and event.
//
// A message is one or more declared parts, one after the other: a request alone, or a window
// request after its caller's thread, or a reply and the messages handed back to the caller.
// Reading takes the whole payload and every descriptor: a message that is short, breaks a
// declared limit, or has bytes or descriptors left over is refused.
//
// Each declared request names its type (`static constexpr ... kType`) and its answer's fields
// (`struct Reply`, none when it has no such member). Notices and events name their type only.
#pragma once

#include "field_list.h"
#include "message.h"

namespace ce::protocol {

// The answer of a request that carries nothing back but its status.
struct Empty {
  static constexpr auto fields() { return std::tuple{}; }
};

namespace detail {
template <class Request> constexpr auto replyOf() {
  if constexpr (requires { typename Request::Reply; })
    return std::type_identity<typename Request::Reply>{};
  else
    return std::type_identity<Empty>{};
}
} // namespace detail

template <class Request> using ReplyOf = typename decltype(detail::replyOf<Request>())::type;

// The message type a declared request, notice or event names.
template <class T> constexpr std::uint32_t typeOf() { return +T::kType; }

// Whether messages of this declared type carry descriptors (the host refuses descriptors on
// every other type).
template <wire::Declared T> constexpr bool kCarriesDescriptors = wire::Record<T>::kDescriptors;

// Writes `parts` one after the other into `out`; false when one breaks a declared limit, a
// descriptor cannot be copied or the whole does not fit in a packet.
template <wire::Declared... Parts>
bool encode(Message &out, std::uint32_t type, std::uint32_t requestId, std::uint32_t status,
            const Parts &...parts) {
  MessageWriter writer;
  (wire::writeFields(writer, parts), ...);
  return writer.finish(type, requestId, status, out);
}

// Reads `parts` one after the other from the whole of `payload` and `descriptors` (taken from
// that span); false when anything does not fit or is left over.
template <wire::Declared... Parts>
bool decode(std::span<const std::uint8_t> payload, std::span<UniqueFd> descriptors,
            Parts &...parts) {
  FieldReader reader(payload, descriptors);
  return (wire::readFields(reader, parts) && ...) && reader.complete();
}

template <wire::Declared... Parts> bool decode(Message &message, Parts &...parts) {
  return decode(message.payload, message.descriptors, parts...);
}

template <wire::Declared... Parts>
bool decode(std::span<const std::uint8_t> payload, Parts &...parts) {
  return decode(payload, std::span<UniqueFd>(), parts...);
}

// The payload bytes `value` takes.
template <wire::Declared T> std::size_t encodedSize(const T &value) {
  return wire::sizeOfFields(value);
}

} // namespace ce::protocol
