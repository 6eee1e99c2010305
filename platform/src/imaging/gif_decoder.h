// GIF decoding in memory: the first frame over the logical screen.
#pragma once

#include "imaging/decoded_image.h"

#include <cstdint>

namespace ce {

class GifDecoder {
public:
  static bool hasSignature(const std::uint8_t *data, std::size_t size);
  // A frame that covers the whole screen without a transparent colour stays indexed; otherwise
  // the result is 32 bpp ARGB with the uncovered and transparent pixels clear.
  static HRESULT decode(const std::uint8_t *data, std::size_t size, DecodedImage &out);
};

} // namespace ce
