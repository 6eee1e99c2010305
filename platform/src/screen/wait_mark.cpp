#include "wait_mark.h"

#include <algorithm>
#include <cstdlib>

namespace ce {

RECT WaitMark::bounds(int screenWidth, int screenHeight) {
  const int width = std::max(16, std::min(screenWidth, screenHeight) / 12);
  const int height = width * 3 / 2;
  const int left = (screenWidth - width) / 2;
  const int top = (screenHeight - height) / 2;
  return RECT{left, top, left + width, top + height};
}

void WaitMark::draw(ScreenImage& image) {
  const RECT box = bounds(image.width, image.height);
  const int width = box.right - box.left;
  const int height = box.bottom - box.top;
  const int bar = std::max(2, height / 10);
  const int outline = std::max(1, width / 16);
  const int middle = height / 2;
  // Integer geometry so that every presenter draws the very same pixels.
  for (int y = 0; y < height; ++y) {
    const int sy = box.top + y;
    if (sy < 0 || sy >= image.height) continue;
    // Half-width of the glass: widest at the bars, a narrow neck in the middle.
    const int fromMiddle = std::abs(y - middle);
    const int halfWidth = width / 12 + (width / 2 - width / 12) * fromMiddle / std::max(1, middle);
    for (int x = 0; x < width; ++x) {
      const int sx = box.left + x;
      if (sx < 0 || sx >= image.width) continue;
      const int fromCentre = std::abs(2 * x + 1 - width) / 2;
      std::uint8_t shade;
      if (y < bar || y >= height - bar) {
        shade = 0x00;
      } else if (fromCentre > halfWidth) {
        continue;
      } else if (fromCentre > halfWidth - outline) {
        shade = 0x00;
      } else {
        // Sand: the lower bulb's bottom half and the upper bulb's part nearest the neck.
        const bool sand = (y > middle + (height - bar - middle) / 2) ||
                          (y < middle && y > middle - (middle - bar) / 3);
        shade = sand ? 0x80 : 0xFF;
      }
      std::uint8_t* p = image.bgr.data() + sy * image.stride() + sx * 3;
      p[0] = p[1] = p[2] = shade;
    }
  }
}

} // namespace ce
