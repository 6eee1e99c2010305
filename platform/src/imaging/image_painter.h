// Draws a bitmap's pixels onto a DC through the GDI API.
#pragma once

#include <ce/imaging.h>

namespace ce {

class BitmapImage;

class ImagePainter {
public:
  // Resamples `source` of the image to the destination rectangle's size (averaging when
  // shrinking, bilinear when growing) and draws it: a plain copy for images without alpha, a
  // per-pixel alpha blend for the others.
  static HRESULT draw(const BitmapImage &image, const RECT &source, HDC dc, const RECT &dest);
};

} // namespace ce
