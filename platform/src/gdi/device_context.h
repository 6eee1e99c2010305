// A device context: the target it draws on (a selected bitmap or external framebuffer memory),
// its clipping, its selected objects and its text state.
#pragma once

#include "gdi/bitmap.h"
#include "gdi/brush.h"
#include "gdi/font.h"
#include "gdi/gdi_object.h"
#include "gdi/region.h"

#include <ce/core/framebuffer_dc.h>
#include <ce/gdi.h>

#include <memory>
#include <optional>
#include <vector>

namespace ce {

class DeviceContext : public GdiObject {
public:
  enum class Target { Memory, Framebuffer };

  explicit DeviceContext(Target target) : target(target) {}
  GdiKind kind() const override { return GdiKind::DeviceContext; }

  // What drawing writes to; an invalid view when there is nothing to draw on.
  PixelView pixels() const;
  // The rectangles (target coordinates) drawing may touch: the target's bounds, the visible
  // region and the clip region intersected.
  std::vector<RECT> deviceClip() const;
  // Logical to target coordinates.
  int deviceX(int x) const { return x + origin.x; }
  int deviceY(int y) const { return y + origin.y; }
  // True when the monochrome rules apply (a 1-bit device-dependent bitmap is selected).
  bool monochrome() const;

  Target target;

  // Memory DCs: the selected bitmap (the stock 1x1 bitmap at first).
  std::shared_ptr<Bitmap> bitmap;
  // Framebuffer DCs: the memory, the visible rectangles in memory coordinates.
  PixelMemory framebuffer;
  std::vector<RECT> visible;
  POINT origin{0, 0};

  // Clip region in logical coordinates; none means unclipped.
  std::optional<Region> clip;

  std::shared_ptr<Brush> brush;
  std::shared_ptr<Font> font;
  COLORREF textColor = 0x000000;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  UINT textAlign = TA_LEFT | TA_TOP;
};

PixelFormat pixelFormatOf(FramebufferFormat format);

} // namespace ce
