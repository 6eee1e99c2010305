// The launch acknowledgement: the tapped icon's picture zooms towards the middle of the screen,
// drawn straight onto the screen, then the screen is drawn again from the back buffer.
#pragma once

#include <toolkit/surface/surface.h>

#include <vector>

class RunAnimation {
public:
  static constexpr DWORD FrameMs = 80;
  static constexpr DWORD FirstElapsedMs = 10;
  static constexpr DWORD LengthMs = 400;
  static constexpr int Growth = 40; // pixels added to the width and height each frame

  // The rectangles (left, top, right, bottom) the picture is drawn into, frame by frame, when
  // every frame takes exactly FrameMs: from `start`, each next one moved by
  // (dx, dy) = (20 - (W / 2 - x) * 0.2, 20 - (H / 2 - y) * 0.2) towards the middle (x and y
  // truncated) and 40 pixels wider and higher.
  static std::vector<RECT> frames(const RECT &start, int screenWidth, int screenHeight);

  // Plays the animation on the display's primary surface: each frame at least FrameMs long (the
  // rest slept), the elapsed time growing by FrameMs or by the measured time of a longer frame,
  // until LengthMs; then the client area is copied back from the back buffer. Returns the number
  // of frames drawn; 0 when there is no display or picture.
  static int play(Surface *picture, const RECT &start);
};
