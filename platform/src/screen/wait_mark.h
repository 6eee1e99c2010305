// The wait mark: a small hourglass drawn in the middle of the screen while a program has set
// the wait cursor (SetCursor with IDC_WAIT).
#pragma once

#include "screen_image.h"

namespace ce {

class WaitMark {
public:
  // The mark's box for a screen of this size: about a twelfth of the short side, at least 16
  // pixels wide, 1.5 times as tall, centred.
  static RECT bounds(int screenWidth, int screenHeight);
  // Draws the mark over `image`: black frame bars and outline, white glass, grey sand.
  static void draw(ScreenImage& image);
};

} // namespace ce
