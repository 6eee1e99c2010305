// What the DirectDraw objects of a process need of the screen: the framebuffer's pixels and
// somewhere to put overlays. A process reaches the screen through one Display: in the host
// (and in tests) a LocalDisplay over the Screen itself; in a device process the connection to
// the host provides one over the framebuffer it maps.
#pragma once

#include "overlay.h"

#include <ce/core/framebuffer_dc.h>
#include <ce/host/process_display.h>

#include <memory>

namespace ce {

class Display {
public:
  virtual ~Display() = default;

  // The framebuffer's pixels at its current size, mapped in this process (pixels, width, height
  // and stride: what window DCs draw into).
  virtual PixelMemory framebuffer() = 0;
  // Registers overlay pixels (hidden at first); returns the overlay's id, 0 on failure.
  virtual std::uint32_t addOverlay(const OverlayPixels& pixels) = 0;
  virtual bool placeOverlay(std::uint32_t id, const OverlayPlacement& placement) = 0;
  virtual bool moveOverlay(std::uint32_t id, LONG x, LONG y) = 0;
  virtual void removeOverlay(std::uint32_t id) = 0;

  // The display DirectDrawCreate and window DCs use in this process: the one set, or else the
  // host's screen over the host connection; null when there is neither. (Outside the library:
  // useDisplay and currentDisplay, <ce/host/process_display.h>.)
  static std::shared_ptr<Display> current();
  static void setCurrent(std::shared_ptr<Display> display);
};

} // namespace ce
