// Encodes the generated pictures through the platform: PNG with the imaging factory's encoder,
// JPEG with libjpeg (the factory has no JPEG encoder).
#pragma once

#include "canvas.h"

#include <cstdint>
#include <string>
#include <vector>

namespace ce::demo {

class PictureEncoder {
public:
  // The canvas as PNG bytes with its alpha. The factory's encoder writes to a device file, so
  // the picture passes through `scratchFile` (a device path), which is removed afterwards.
  // Empty on failure, with the reason in *error.
  static std::vector<std::uint8_t> png(const Canvas &canvas, const std::u16string &scratchFile,
                                       std::string *error);
  // Rows of 8-bit R, G, B pixels as a baseline JPEG of the given quality (1..100).
  static std::vector<std::uint8_t> jpeg(const std::vector<std::uint8_t> &rgb, int width, int height,
                                        int quality, std::string *error);
};

} // namespace ce::demo
