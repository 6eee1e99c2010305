#include "host_display.h"

#include "../client/host_connection.h"
#include "../protocol/message_reader.h"

#include <ce/errors.h>

namespace ce {
namespace {

using protocol::MessageType;

// A request whose answer carries nothing; false with the host's code as the last error.
bool simpleCall(MessageType type, protocol::MessageWriter& payload) {
  HostConnection::Reply reply;
  if (!HostConnection::instance().call(type, payload, reply)) return false;
  if (reply.status != ERROR_SUCCESS) {
    SetLastError(reply.status);
    return false;
  }
  return true;
}

void writeRect(protocol::MessageWriter& writer, const RECT& rect) {
  writer.i32(rect.left).i32(rect.top).i32(rect.right).i32(rect.bottom);
}

} // namespace

std::shared_ptr<HostDisplay> HostDisplay::connect() {
  protocol::MessageWriter payload;
  HostConnection::Reply reply;
  if (!HostConnection::instance().call(MessageType::GetFramebuffer, payload, reply)) return nullptr;
  if (reply.status != ERROR_SUCCESS || reply.message.descriptors.size() != 1) {
    SetLastError(reply.status != ERROR_SUCCESS ? reply.status : ERROR_INVALID_DATA);
    return nullptr;
  }
  auto framebuffer = Framebuffer::attach(reply.message.descriptors[0].get());
  if (!framebuffer) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  return std::shared_ptr<HostDisplay>(new HostDisplay(std::move(framebuffer)));
}

std::uint32_t HostDisplay::addOverlay(const OverlayPixels& pixels) {
  if (!pixels.memory || !pixels.sound()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  protocol::MessageWriter payload;
  payload.u32(static_cast<std::uint32_t>(pixels.width))
      .u32(static_cast<std::uint32_t>(pixels.height))
      .u32(static_cast<std::uint32_t>(pixels.stride))
      .u32(pixels.format == OverlayFormat::Rgb565 ? 0 : 1)
      .descriptor(pixels.memory->fd());
  HostConnection::Reply reply;
  if (!HostConnection::instance().call(MessageType::AddOverlay, payload, reply)) return 0;
  protocol::MessageReader reader(reply.message.payload);
  std::uint32_t id = 0;
  if (reply.status != ERROR_SUCCESS || !reader.u32(id) || !reader.complete()) {
    SetLastError(reply.status != ERROR_SUCCESS ? reply.status : ERROR_INVALID_DATA);
    return 0;
  }
  return id;
}

bool HostDisplay::placeOverlay(std::uint32_t id, const OverlayPlacement& placement) {
  protocol::MessageWriter payload;
  payload.u32(id);
  writeRect(payload, placement.source);
  writeRect(payload, placement.destination);
  payload.u32(placement.visible ? 1 : 0)
      .u32(placement.colourKeyed ? 1 : 0)
      .u32(placement.keyLow)
      .u32(placement.keyHigh);
  return simpleCall(MessageType::PlaceOverlay, payload);
}

bool HostDisplay::moveOverlay(std::uint32_t id, LONG x, LONG y) {
  protocol::MessageWriter payload;
  payload.u32(id).i32(x).i32(y);
  return simpleCall(MessageType::MoveOverlay, payload);
}

void HostDisplay::removeOverlay(std::uint32_t id) {
  protocol::MessageWriter payload;
  payload.u32(id);
  simpleCall(MessageType::RemoveOverlay, payload);
}

} // namespace ce
