// The taskbar's size and its Start area, for one screen width.
//
// The bar is as wide as the screen and sits at its top. Its height is that of a 480-pixel-wide
// screen (36 for the 6.5-style bar, 52 for the classic one) scaled with the current width and
// rounded, so the two designs keep the proportions a hook service tells them apart by (width at
// least 11 times the height for the 6.5-style bar, less for the classic one) at every width and
// after a rotation.
//
// Start area, in client x: the classic bar's left third (x < width / 3, whole numbers); the
// 6.5-style bar's Start button, its leftmost 60 pixels at 480 wide (30 at 240).
#pragma once

#include <ce/core/device_profile.h>

namespace ce::shell {

class TaskbarGeometry {
public:
  // The width the design sizes are given for.
  static constexpr int kReferenceWidth = 480;
  static constexpr int kWm65Height = 36;
  static constexpr int kClassicHeight = 52;
  static constexpr int kWm65StartWidth = 60;

  TaskbarGeometry(TaskbarKind kind, int screenWidth);

  // `value` pixels of the 480-pixel design at `screenWidth`, rounded, at least 1.
  static int scaled(int value, int screenWidth);

  TaskbarKind kind() const { return kind_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int startAreaWidth() const;
  bool inStartArea(int x) const { return x >= 0 && x < startAreaWidth(); }

private:
  TaskbarKind kind_;
  int width_;
  int height_;
};

} // namespace ce::shell
