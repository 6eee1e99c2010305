// A Display over a Screen in the same process: the host's own device code (the shell, the
// services) and tests draw through it.
#pragma once

#include "display.h"
#include "screen.h"

namespace ce {

class LocalDisplay : public Display {
public:
  // `owner` is the process id recorded on the overlays made through this display.
  LocalDisplay(std::shared_ptr<Screen> screen, std::uint32_t owner)
      : screen_(std::move(screen)), owner_(owner) {}

  PixelMemory framebuffer() override { return screen_->framebuffer().pixels(); }
  std::uint32_t addOverlay(const OverlayPixels& pixels) override {
    return screen_->overlays().add(pixels, owner_);
  }
  bool placeOverlay(std::uint32_t id, const OverlayPlacement& placement) override {
    return screen_->overlays().place(id, placement);
  }
  bool moveOverlay(std::uint32_t id, LONG x, LONG y) override {
    return screen_->overlays().move(id, x, y);
  }
  void removeOverlay(std::uint32_t id) override { screen_->overlays().remove(id); }

private:
  std::shared_ptr<Screen> screen_;
  std::uint32_t owner_;
};

} // namespace ce
