// The picture a PNG encoder's sink collects until the encoder writes it.
#pragma once

#include "imaging/raster.h"

#include <ce/imaging.h>

#include <mutex>
#include <vector>

namespace ce {

struct EncodeFrame {
  std::mutex mutex;
  Raster canvas; // 32 bpp ARGB
  bool alpha = false;
  bool begun = false;
  bool complete = false;
  std::vector<std::uint8_t> rowDone;
  std::vector<ARGB> palette; // for indexed pixels pushed into the sink

  // The buffer lent by GetPixelDataBuffer until ReleasePixelDataBuffer.
  bool lent = false;
  RECT lentRect{};
  PixelFormatID lentFormat = 0;
  std::vector<std::uint8_t> lentBytes;
};

} // namespace ce
