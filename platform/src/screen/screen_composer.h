// Composes what the screen shows: the framebuffer, the visible overlays in their order, and the
// wait mark on top. Both presenters use it, so the window and the screenshot show the same
// pixels.
#pragma once

#include "framebuffer.h"
#include "overlay.h"
#include "screen_image.h"

#include <vector>

namespace ce {

class ScreenComposer {
public:
  // 5-6-5 pixels widen by repeating their top bits (the same rule GDI uses), so pure white and
  // pure black stay exact.
  static void widen565(std::uint16_t pixel, std::uint8_t* bgr);

  // `overlays` lowest first. `image` is resized to the framebuffer's current size.
  static void compose(const Framebuffer& framebuffer, const std::vector<Overlay>& overlays,
                      bool waitMark, ScreenImage& image);

  // Draws one overlay over the image: clipped to the image, stretched with the nearest source
  // pixel (sampled at pixel centres), 5-6-5 pixels copied unless colour-keyed out, 32-bit
  // premultiplied pixels blended "source over".
  static void drawOverlay(const Overlay& overlay, ScreenImage& image);
};

} // namespace ce
