// Picks the decoder for a file's bytes by its signature.
#pragma once

#include "imaging/decoded_image.h"

#include <cstdint>

namespace ce {

class ImageDecoder {
public:
  // IMGERR_CODECNOTFOUND when no decoder knows the bytes.
  static HRESULT decode(const std::uint8_t *data, std::size_t size, DecodedImage &out);
};

} // namespace ce
