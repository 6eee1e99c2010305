// Converts rows of pixels between the supported pixel formats through 32-bit ARGB.
#pragma once

#include <ce/imaging.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

namespace ce {

class PixelConverter {
public:
  // The formats bitmaps can hold and LockBits can convert between.
  static bool isSupported(PixelFormatID format);
  // Bytes per row, rounded up to a multiple of 4 as for device-independent bitmaps.
  static std::uint64_t strideFor(PixelFormatID format, std::uint64_t width);
  // The palette new indexed bitmaps get: black and white, the 16 basic colours, or a 6x6x6
  // colour cube followed by greys.
  static std::vector<ARGB> defaultPalette(PixelFormatID format);

  // `palette` is used by indexed source or destination formats.
  PixelConverter(PixelFormatID format, const std::vector<ARGB> *palette);

  // Reads `count` pixels starting at pixel x of a row as non-premultiplied ARGB.
  void toArgb(const std::uint8_t *row, UINT x, UINT count, ARGB *out) const;
  // Writes `count` non-premultiplied ARGB pixels into a row starting at pixel x; indexed formats
  // take the nearest palette colour.
  void fromArgb(const ARGB *in, UINT count, std::uint8_t *row, UINT x);

  static ARGB premultiply(ARGB c);
  static ARGB unpremultiply(ARGB c);

private:
  std::uint8_t nearestIndex(ARGB colour);

  PixelFormatID format_;
  const std::vector<ARGB> *palette_;
  std::unordered_map<ARGB, std::uint8_t> nearestCache_;
};

} // namespace ce
