// The windows of the device as the inspection verbs list them. The window service implements
// this and hands itself to the screen service (ScreenService::setWindowListing); the listing is
// asked for on the host's loop thread, where the window manager's state lives.
#pragma once

#include "../src/protocol/screen_messages.h"

#include <vector>

namespace ce::host {

// One window as the host lists it, as ListWindows carries it.
using WindowLine = protocol::ListedWindow;

class WindowListing {
public:
  virtual ~WindowListing() = default;
  // Every window of the device, top-level windows in Z order with their children after them.
  virtual std::vector<WindowLine> listWindows() = 0;
};

} // namespace ce::host
