// Reads device-independent bitmaps: BMP files and the bitmap entries of icon files.
#pragma once

#include "imaging/decoded_image.h"

#include <cstdint>
#include <vector>

namespace ce {

class DibReader {
public:
  static bool hasFileSignature(const std::uint8_t *data, std::size_t size);

  // A BMP file: file header, info header (core, version 1 to 5), palette, pixels; uncompressed,
  // bit fields, or run-length encoded (4 and 8 bits).
  static HRESULT decodeFile(const std::uint8_t *data, std::size_t size, DecodedImage &out);

  // An icon entry: an info header whose height counts the colour rows and the mask rows, the
  // colour pixels, then a 1 bpp AND mask (1 = transparent). The result is 32 bpp ARGB; 32-bit
  // entries keep their own alpha when any pixel has some, otherwise the mask gives it.
  // `mask` receives one byte per pixel, top-down.
  static HRESULT decodeIconEntry(const std::uint8_t *data, std::size_t size, Raster &colour,
                                 std::vector<std::uint8_t> &mask, bool &hasAlpha);
};

} // namespace ce
