// Resizes premultiplied ARGB pixels by nearest pixel, bilinear interpolation or area averaging.
#pragma once

#include <ce/imaging.h>

#include <vector>

namespace ce {

class Resampler {
public:
  enum class Method { Nearest, Bilinear, Averaging };

  // The method an interpolation hint stands for (see <ce/imaging.h>).
  static Method forHint(UINT hint);

  // `source` holds sw x sh premultiplied pixels, top-down; the result holds dw x dh.
  // Pixel centres are aligned: destination pixel x samples source position (x + 0.5) * sw / dw.
  static std::vector<ARGB> resize(const std::vector<ARGB> &source, UINT sw, UINT sh, UINT dw,
                                  UINT dh, Method method);

private:
  static std::vector<ARGB> nearest(const std::vector<ARGB> &source, UINT sw, UINT sh, UINT dw,
                                   UINT dh);
  static std::vector<ARGB> bilinear(const std::vector<ARGB> &source, UINT sw, UINT sh, UINT dw,
                                    UINT dh);
  static std::vector<ARGB> averaging(const std::vector<ARGB> &source, UINT sw, UINT sh, UINT dw,
                                     UINT dh);
};

} // namespace ce
