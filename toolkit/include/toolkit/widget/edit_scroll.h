// Before an edit field is edited, the content under it scrolls so that the field shows above the
// input panel: a quarter of the way each frame (at least a pixel) in the first 200 ms after the
// tap, the rest at once after that.
#pragma once

#include <ce/types.h>

struct EditScrollPlace {
  int top = 0; // the field's top and bottom on the screen
  int bottom = 0;
  int limit = 0;      // the lowest line the field may reach: the input panel's top
  int upper = 0;      // the highest line the field's top may reach: the client area's top
  DWORD sinceTap = 0; // milliseconds since the tap
  bool eased = true;  // false: the whole distance at once (no section to follow)
};

// The field's top must be at least this low for it to be moved up.
inline constexpr int EditLowestMovableTop = 51;
// The time after the tap during which each frame moves a quarter of the distance.
inline constexpr DWORD EditEasingMs = 200;

// The distance to move the content this frame: negative up, positive down, 0 when the field is
// in place. A field whose bottom lies below the limit (and whose top is at least
// EditLowestMovableTop) moves up by -(bottom - limit), or by -truncate((bottom - limit) / 4 + 1)
// while eased and within EditEasingMs. A field whose top lies above `upper` while its bottom is
// above the limit moves down, at most to either line, in the same steps.
int editScrollStep(const EditScrollPlace &place);
