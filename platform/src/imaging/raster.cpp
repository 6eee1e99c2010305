#include "imaging/raster.h"

#include "imaging/pixel_converter.h"

#include <atomic>
#include <new>

namespace ce {
namespace {
std::atomic<std::uint64_t> pixelLimit{Raster::kDefaultMaxPixels};
}

std::uint64_t Raster::maxPixels() { return pixelLimit.load(); }
void Raster::setMaxPixels(std::uint64_t pixels) { pixelLimit.store(pixels); }

bool Raster::allocate(PixelFormatID pixelFormat, UINT w, UINT h) {
  if (!sizeAllowed(w, h))
    return false;
  if (!PixelConverter::isSupported(pixelFormat))
    return false;
  const std::uint64_t rowBytes = PixelConverter::strideFor(pixelFormat, w);
  try {
    bytes.assign(std::size_t(rowBytes * h), 0);
  } catch (const std::bad_alloc &) {
    return false;
  }
  format = pixelFormat;
  width = w;
  height = h;
  stride = UINT(rowBytes);
  if (IsIndexedPixelFormat(pixelFormat) && palette.empty())
    palette = PixelConverter::defaultPalette(pixelFormat);
  return true;
}

void Raster::narrowIndexed() {
  if (format != PixelFormat8bppIndexed || palette.size() > 16)
    return;
  // Indices past the palette keep 8 bits, so they cannot alias a real entry.
  for (UINT y = 0; y < height; ++y)
    for (UINT x = 0; x < width; ++x)
      if (row(y)[x] >= palette.size())
        return;
  const PixelFormatID target =
      palette.size() <= 2 ? PixelFormat1bppIndexed : PixelFormat4bppIndexed;
  const UINT bits = GetPixelFormatSize(target);
  const UINT newStride = UINT(PixelConverter::strideFor(target, width));
  std::vector<std::uint8_t> packed(std::size_t(newStride) * height, 0);
  for (UINT y = 0; y < height; ++y) {
    const std::uint8_t *in = row(y);
    std::uint8_t *out = packed.data() + std::size_t(y) * newStride;
    for (UINT x = 0; x < width; ++x) {
      const UINT bit = x * bits;
      out[bit / 8] |= std::uint8_t((in[x] & ((1u << bits) - 1)) << (8 - bits - bit % 8));
    }
  }
  bytes = std::move(packed);
  stride = newStride;
  format = target;
}

} // namespace ce
