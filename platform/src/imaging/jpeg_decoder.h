// JPEG decoding in memory (baseline and progressive, grey or colour) to 24 bpp RGB.
#pragma once

#include "imaging/decoded_image.h"

#include <cstdint>

namespace ce {

class JpegDecoder {
public:
  static bool hasSignature(const std::uint8_t *data, std::size_t size);
  // A file that ends before its last scan is refused, as are files of more than 500 scans
  // (crafted progressive files would otherwise take minutes).
  static HRESULT decode(const std::uint8_t *data, std::size_t size, DecodedImage &out);
};

} // namespace ce
