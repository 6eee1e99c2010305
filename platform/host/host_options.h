// How the host was booted: options the screen part uses to pick its presenters.
#pragma once

namespace ce::host {

struct HostOptions {
  bool window = false; // show the screen in a desktop window besides the headless presenter
  int zoom = 1;        // the window's pixels per device pixel
};

} // namespace ce::host
