// Where the menu's window lies: below the taskbar, which stays on screen so that Start and the
// Windows key reach the service while the menu is shown, and down to the bottom of the screen;
// the drawing area ends above the soft-key bar.
//
// The window is drawn through its own device context, so its coordinates start at its top left:
// the drawing area is (0, 0) to (screen width, soft-key bar top - window top).
#pragma once

#include <ce/types.h>

class DirectDrawWarp;

class MenuWindowLayout {
public:
  // The bottom of the taskbar (screen coordinates), 0 when the device has none.
  static int taskbarBottom();
  // Places the window and sets the display's drawing area; `barTop` is the top of the soft-key
  // bar in screen coordinates (the screen height without a bar). Returns the drawing area.
  static RECT apply(DirectDrawWarp &window, int barTop);
};
