#include "screen_composer.h"

#include "wait_mark.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace ce {
namespace {

struct WideningTables {
  std::array<std::uint8_t, 32> five{};
  std::array<std::uint8_t, 64> six{};
  WideningTables() {
    for (int v = 0; v < 32; ++v) five[v] = std::uint8_t((v << 3) | (v >> 2));
    for (int v = 0; v < 64; ++v) six[v] = std::uint8_t((v << 2) | (v >> 4));
  }
};
const WideningTables kWiden;

std::uint8_t blendChannel(std::uint8_t source, std::uint8_t dest, std::uint8_t alpha) {
  // source + dest * (255 - alpha) / 255, rounded, at most 255 (sources may be malformed).
  const unsigned value = source + (dest * (255u - alpha) + 127u) / 255u;
  return std::uint8_t(std::min(value, 255u));
}

} // namespace

void ScreenComposer::widen565(std::uint16_t pixel, std::uint8_t* bgr) {
  bgr[0] = kWiden.five[pixel & 0x1F];
  bgr[1] = kWiden.six[(pixel >> 5) & 0x3F];
  bgr[2] = kWiden.five[pixel >> 11];
}

void ScreenComposer::compose(const Framebuffer& framebuffer, const std::vector<Overlay>& overlays,
                             bool waitMark, ScreenImage& image) {
  {
    const auto lock = framebuffer.lockForReading();
    const PixelMemory pixels = framebuffer.pixels();
    image.resize(pixels.width, pixels.height);
    for (int y = 0; y < pixels.height; ++y) {
      const auto* source = reinterpret_cast<const std::uint16_t*>(
          static_cast<const std::byte*>(pixels.bits) + y * pixels.stride);
      std::uint8_t* dest = image.bgr.data() + y * image.stride();
      for (int x = 0; x < pixels.width; ++x, dest += 3) widen565(source[x], dest);
    }
  }
  for (const auto& overlay : overlays)
    if (overlay.placement.visible) drawOverlay(overlay, image);
  if (waitMark) WaitMark::draw(image);
}

void ScreenComposer::drawOverlay(const Overlay& overlay, ScreenImage& image) {
  const OverlayPixels& pixels = overlay.pixels;
  if (!pixels.sound()) return;
  const OverlayPlacement& place = overlay.placement;
  const RECT& s = place.source;
  const RECT& d = place.destination;
  if (s.left < 0 || s.top < 0 || s.right > pixels.width || s.bottom > pixels.height ||
      s.left >= s.right || s.top >= s.bottom || d.left >= d.right || d.top >= d.bottom)
    return;
  const std::int64_t sourceWidth = s.right - s.left, sourceHeight = s.bottom - s.top;
  const std::int64_t destWidth = d.right - d.left, destHeight = d.bottom - d.top;
  const int top = std::max<LONG>(d.top, 0), bottom = std::min<LONG>(d.bottom, image.height);
  const int left = std::max<LONG>(d.left, 0), right = std::min<LONG>(d.right, image.width);
  const std::byte* base = pixels.memory->data();
  for (int y = top; y < bottom; ++y) {
    const std::int64_t sy = s.top + ((2 * (y - d.top) + 1) * sourceHeight) / (2 * destHeight);
    const std::byte* row = base + sy * pixels.stride;
    std::uint8_t* dest = image.bgr.data() + y * image.stride() + left * 3;
    for (int x = left; x < right; ++x, dest += 3) {
      const std::int64_t sx = s.left + ((2 * (x - d.left) + 1) * sourceWidth) / (2 * destWidth);
      if (pixels.format == OverlayFormat::Rgb565) {
        std::uint16_t value;
        std::memcpy(&value, row + sx * 2, 2);
        if (place.colourKeyed && value >= place.keyLow && value <= place.keyHigh) continue;
        widen565(value, dest);
      } else {
        std::uint8_t bgra[4];
        std::memcpy(bgra, row + sx * 4, 4);
        if (bgra[3] == 0xFF) {
          std::memcpy(dest, bgra, 3);
        } else {
          for (int c = 0; c < 3; ++c) dest[c] = blendChannel(bgra[c], dest[c], bgra[3]);
        }
      }
    }
  }
}

} // namespace ce
