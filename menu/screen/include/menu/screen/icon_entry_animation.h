// The older folder transition: the icons start spread out around the middle of the screen and
// converge into their cells. With W the screen width, a = (W - D) / D^2 and
// rest(t) = W - (a * t^2 / 2 + t), a frame at time t spreads the icons by k = (W + rest) / W
// around the centre; t starts at 10 and grows by 41 a frame, without waiting, while rest > 1,
// t < 1.5 D and no input waits. The last picture has every icon in its cell.
#pragma once

#include <menu/grid_geometry.h>

#include <ce/types.h>

#include <functional>
#include <optional>
#include <vector>

class IconEntryAnimation {
public:
  static constexpr double Duration = 200.0; // D
  static constexpr double FirstTime = 10;
  static constexpr double Step = 41;

  // The spread of the frame at `time`, or nothing when the icons are in place by then.
  static std::optional<double> spreadAt(int width, double time);
  // The spreads of every frame (nothing to animate when empty).
  static std::vector<double> spreads(int width);

  // Where the icon of `slot` stands, relative to the panel's grid, when the icons are spread by
  // `spread` around `centre` (the middle of the screen, in the same coordinates).
  static POINT positionOf(const GridGeometry &grid, long long slot, double spread, POINT centre);

  // Plays the frames: `drawFrame` draws the screen with the icons spread by its argument
  // (nothing: in their cells), `inputWaiting` tells whether the user has touched the screen, which
  // ends the animation early. Returns the number of spread frames drawn.
  static int play(int width, const std::function<void(std::optional<double>)> &drawFrame,
                  const std::function<bool()> &inputWaiting);
};
