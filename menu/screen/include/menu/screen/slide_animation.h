// The transition between two folders: the old screen slides out while the new one slides in,
// to the left when a folder is opened and to the right when the user goes back. The offset
// accelerates: after t ms it is trunc(a * t^2 / 2 + t) pixels, with a = (W - D) / D^2 for a view
// W pixels wide and D = 200, starting at t = 10. A frame lasts at least 30 ms; on a 480-pixel
// screen the slide takes about a quarter of a second.
#pragma once

#include <toolkit/surface/surface.h>

#include <vector>

class SlideAnimation {
public:
  static constexpr double Duration = 200.0; // D: the animation constant of the menu
  static constexpr DWORD FrameMs = 30;
  static constexpr double FirstTime = 10;

  static double acceleration(int width);
  // The offset of the frame at `time` ms: trunc(a * t^2 / 2 + t), at least one more than the
  // previous frame's and at most `width`.
  static int offsetAt(int width, double time, int previous);
  // The time of the next frame after one that took `spentMs`: FrameMs later, or the time the
  // frame really took when it was longer.
  static double nextTime(double time, DWORD spentMs);
  // The offsets of the frames when every frame takes exactly FrameMs; the last is `width`.
  static std::vector<int> nominalOffsets(int width);

  // Draws one frame into `target` within `area` (the same coordinates in all three surfaces):
  // the old picture moved out by `offset` and the new one moved in beside it. Forward, the old
  // picture leaves to the left and the new one comes from the right; backward the other way.
  static void drawFrame(Surface *target, Surface *oldPicture, Surface *newPicture, const RECT &area,
                        int offset, bool backward);

  // Plays the whole slide on the screen (the display's primary surface) and ends with the new
  // picture in place. Returns the number of frames drawn.
  static int play(Surface *oldPicture, Surface *newPicture, const RECT &area, bool backward);
};
