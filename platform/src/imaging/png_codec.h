// PNG decoding and encoding in memory.
#pragma once

#include "imaging/decoded_image.h"

#include <cstdint>
#include <vector>

namespace ce {

class PngCodec {
public:
  static bool hasSignature(const std::uint8_t *data, std::size_t size);
  // Palette images without transparency stay indexed; images with any alpha (an alpha channel or
  // a transparency chunk) become 32 bpp ARGB; the rest 24 bpp RGB.
  static HRESULT decode(const std::uint8_t *data, std::size_t size, DecodedImage &out);
  // Encodes 32 bpp ARGB (written with alpha) or 24 bpp RGB pixels.
  static HRESULT encode(const Raster &raster, std::vector<std::uint8_t> &out);
};

} // namespace ce
