// Paints the demo wallpaper: calm water seen from above the surface, light near the top and
// deep blue below, crossed by soft wave crests that grow towards the viewer, with a glimmer
// of light on the water. The picture depends only on its size, so both orientations of a
// screen get the same scene reframed.
#pragma once

#include "canvas.h"

#include <cstdint>
#include <vector>

namespace ce::demo {

class WallpaperPainter {
public:
  // Paints the whole canvas, opaque.
  static void paint(Canvas &canvas);
  // The canvas's pixels as rows of R, G, B bytes (for the JPEG encoder).
  static std::vector<std::uint8_t> rgbRows(const Canvas &canvas);
};

} // namespace ce::demo
