// Widgets copy only what lies inside the dirty rectangle of the drawing pass: what is cut off the
// destination is cut off the source in proportion.
#pragma once

#include <ce/types.h>

#include <optional>

struct ClippedCopy {
  RECT destination{};
  RECT source{};
  // How much of the destination was cut at its left and top (the source offsets before scaling).
  int clipLeft = 0;
  int clipTop = 0;
};

// `destination` cut to `dirty`, and `source` cut by the same share (scaled by source size /
// destination size, truncated). Nothing when they do not meet or either is empty.
std::optional<ClippedCopy> clipCopy(const RECT &destination, const RECT &source, const RECT &dirty);

// clipCopy against the dirty rectangle of the process's display, or unclipped when the process
// has no GlobalInformations.
std::optional<ClippedCopy> clipToDirty(const RECT &destination, const RECT &source);

// Whether two rectangles share at least one pixel.
bool rectanglesMeet(const RECT &a, const RECT &b);
// The display's dirty rectangle, or everything when there is no GlobalInformations.
RECT currentDirty();
