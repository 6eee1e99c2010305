// The windows of the device as the inspection verbs list them. The window service implements
// this and hands itself to the screen service (ScreenService::setWindowListing); the listing is
// asked for on the host's loop thread, where the window manager's state lives.
#pragma once

#include <ce/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ce::host {

struct WindowLine {
  std::uint64_t handle = 0;
  std::u16string className;
  std::u16string title;
  DWORD pid = 0;
  RECT rect{}; // screen coordinates, exclusive right and bottom
  bool visible = false;
  bool foreground = false;
};

class WindowListing {
public:
  virtual ~WindowListing() = default;
  // Every window of the device, top-level windows in Z order with their children after them.
  virtual std::vector<WindowLine> listWindows() = 0;
};

} // namespace ce::host
