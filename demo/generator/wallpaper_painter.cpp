#include "wallpaper_painter.h"

#include <algorithm>
#include <cmath>

namespace ce::demo {
namespace {

struct Rgb {
  double r, g, b;
};

Rgb mix(Rgb a, Rgb b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Rgb rgb(std::uint32_t c) {
  return {double((c >> 16) & 0xFF), double((c >> 8) & 0xFF), double(c & 0xFF)};
}

// The water's colour at depth v (0 at the top, 1 at the bottom).
Rgb baseColour(double v) {
  static const Rgb top = rgb(0xA8DDF2), middle = rgb(0x2F8DC4), bottom = rgb(0x0A2A52);
  return v < 0.45 ? mix(top, middle, v / 0.45) : mix(middle, bottom, (v - 0.45) / 0.55);
}

std::uint8_t byte(double v) { return std::uint8_t(std::clamp(std::lround(v), 0L, 255L)); }

} // namespace

void WallpaperPainter::paint(Canvas &canvas) {
  const int width = canvas.width(), height = canvas.height();
  std::uint8_t *bits = canvas.bits();
  if (!bits)
    return;
  // Lengths are measured in units of the longer side, so that portrait and landscape show the
  // same water at the same scale.
  const double unit = std::max(width, height);
  for (int y = 0; y < height; ++y) {
    const double v = (y + 0.5) / height;
    const double wy = (y + 0.5) / unit;
    const double depth = 0.6 + 0.6 * v; // crests spread out towards the viewer
    for (int x = 0; x < width; ++x) {
      const double u = (x + 0.5) / width;
      const double wx = (x + 0.5) / unit;
      Rgb c = baseColour(v);
      // Wave crests: bands along the surface, bent by two slow swells.
      // The swells change slower along y than the bands do, so that no crest ever folds over.
      const double phase = wy * 70.0 / depth + 2.3 * std::sin(wx * 6.0 + wy * 2.0) +
                           0.9 * std::sin(wx * 17.0 - wy * 5.0 + 1.3);
      const double ripple = std::sin(phase);
      const double crest = std::pow(std::max(0.0, ripple), 10.0) * (0.30 * (1.0 - v) + 0.10);
      const double trough = std::pow(std::max(0.0, -ripple), 3.0) * 0.10;
      // A glimmer of light on the water, strongest near the top.
      const double du = u - 0.68;
      const double glimmer =
          std::exp(-du * du / 0.018) * (1.0 - v) * (1.0 - v) * 0.22 * (0.6 + 0.4 * ripple);
      const double lift = std::min(1.0, crest + glimmer);
      c = mix(c, {255, 255, 255}, lift);
      c = mix(c, {0, 10, 30}, trough);
      // A gentle darkening towards the corners keeps the eye on the middle.
      const double dx = u - 0.5, dy = v - 0.5;
      const double vignette = 1.0 - 0.22 * std::min(1.0, (dx * dx + dy * dy) * 2.0);
      std::uint8_t *p = bits + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
      p[0] = byte(c.b * vignette);
      p[1] = byte(c.g * vignette);
      p[2] = byte(c.r * vignette);
      p[3] = 255;
    }
  }
}

std::vector<std::uint8_t> WallpaperPainter::rgbRows(const Canvas &canvas) {
  const std::size_t pixels = std::size_t(canvas.width()) * std::size_t(canvas.height());
  std::vector<std::uint8_t> rows(pixels * 3);
  const std::uint8_t *bits = canvas.bits();
  if (!bits)
    return {};
  for (std::size_t i = 0; i < pixels; ++i) {
    rows[i * 3] = bits[i * 4 + 2];
    rows[i * 3 + 1] = bits[i * 4 + 1];
    rows[i * 3 + 2] = bits[i * 4];
  }
  return rows;
}

} // namespace ce::demo
