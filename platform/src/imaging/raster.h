// Pixels of one image in memory: a pixel format, top-down rows and, for indexed formats, a palette.
#pragma once

#include <ce/imaging.h>

#include <cstdint>
#include <vector>

namespace ce {

struct Raster {
  PixelFormatID format = PixelFormat32bppARGB;
  UINT width = 0;
  UINT height = 0;
  UINT stride = 0;
  std::vector<std::uint8_t> bytes;
  std::vector<ARGB> palette;

  // Largest image any decoder or bitmap accepts: 64 Mpixel (256 MB at 32 bits per pixel) unless
  // lowered (fuzz targets lower it to keep each run short).
  static constexpr std::uint64_t kDefaultMaxPixels = 64ull * 1024 * 1024;
  static std::uint64_t maxPixels();
  static void setMaxPixels(std::uint64_t pixels);
  static bool sizeAllowed(std::uint64_t w, std::uint64_t h) {
    return w > 0 && h > 0 && w <= 0xFFFFFFu && h <= 0xFFFFFFu && w * h <= maxPixels();
  }

  // Zeroed rows of the format's 4-byte aligned stride; false when the size is refused.
  bool allocate(PixelFormatID pixelFormat, UINT w, UINT h);
  // Turns 8 bpp indexed pixels into 1 or 4 bpp when the palette is small enough.
  void narrowIndexed();

  std::uint8_t *row(UINT y) { return bytes.data() + std::size_t(y) * stride; }
  const std::uint8_t *row(UINT y) const { return bytes.data() + std::size_t(y) * stride; }
};

} // namespace ce
