#include "host_display.h"

#include "../client/host_connection.h"
#include "../protocol/screen_messages.h"

#include <ce/errors.h>

namespace ce {

std::shared_ptr<HostDisplay> HostDisplay::connect() {
  auto answer = HostConnection::instance().request(protocol::GetFramebufferRequest{});
  if (!answer)
    return nullptr;
  auto framebuffer = Framebuffer::attach(answer->memory.get());
  if (!framebuffer) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  return std::shared_ptr<HostDisplay>(new HostDisplay(std::move(framebuffer)));
}

std::uint32_t HostDisplay::addOverlay(const OverlayPixels &pixels) {
  if (!pixels.memory || !pixels.sound()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto added = HostConnection::instance().request(protocol::AddOverlayRequest{
      static_cast<std::uint32_t>(pixels.width), static_cast<std::uint32_t>(pixels.height),
      static_cast<std::uint32_t>(pixels.stride), pixels.format == OverlayFormat::Rgb565 ? 0u : 1u,
      protocol::Descriptor::borrow(pixels.memory->fd())});
  return added ? added->id : 0;
}

bool HostDisplay::placeOverlay(std::uint32_t id, const OverlayPlacement &placement) {
  return static_cast<bool>(
      HostConnection::instance().request(protocol::PlaceOverlayRequest{id, placement}));
}

bool HostDisplay::moveOverlay(std::uint32_t id, LONG x, LONG y) {
  return static_cast<bool>(
      HostConnection::instance().request(protocol::MoveOverlayRequest{id, x, y}));
}

void HostDisplay::removeOverlay(std::uint32_t id) {
  HostConnection::instance().request(protocol::RemoveOverlayRequest{id});
}

} // namespace ce
