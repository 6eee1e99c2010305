// The Display of a device process: the host's framebuffer mapped into this process (its memfd
// comes over the host connection) and overlays kept by the host on this process's behalf. The
// overlay pixels stay in this process's shared memory; the host maps the same block.
#pragma once

#include "display.h"
#include "framebuffer.h"

#include <memory>

namespace ce {

class HostDisplay : public Display {
public:
  // Asks the host for the framebuffer; null (with the last error set) when there is no host or
  // it hands back no sound framebuffer.
  static std::shared_ptr<HostDisplay> connect();

  PixelMemory framebuffer() override { return framebuffer_->pixels(); }
  std::uint32_t addOverlay(const OverlayPixels& pixels) override;
  bool placeOverlay(std::uint32_t id, const OverlayPlacement& placement) override;
  bool moveOverlay(std::uint32_t id, LONG x, LONG y) override;
  void removeOverlay(std::uint32_t id) override;

  // The mapped framebuffer itself (its size follows the host's rotations).
  Framebuffer& mappedFramebuffer() { return *framebuffer_; }

private:
  explicit HostDisplay(std::unique_ptr<Framebuffer> framebuffer)
      : framebuffer_(std::move(framebuffer)) {}

  std::unique_ptr<Framebuffer> framebuffer_;
};

} // namespace ce
