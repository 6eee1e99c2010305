// What a decoder produces: the pixels in their native format plus what the file says about them.
#pragma once

#include "imaging/raster.h"

namespace ce {

struct DecodedImage {
  Raster raster;
  GUID rawFormat = ImageFormatUndefined;
  double dpiX = 96;
  double dpiY = 96;
};

} // namespace ce
