// The screen this process draws into: the pixels that DirectDraw's primary surface and window
// DCs reach, and where overlays go. By default it is the host's framebuffer, which the process
// maps over its connection. The device-host program installs a display over its own screen, so
// that the device code running inside the host (the shell, the soft-key bars, the services)
// draws there without the socket; tests install displays of their own.
#pragma once

#include <ce/export.h>

#include <memory>

namespace ce {
// What a display offers (the framebuffer's pixels, overlays): platform/src/screen/display.h.
class Display;
} // namespace ce

CE_EXPORT_BEGIN

namespace ce {

// Installs `display` for this process; null goes back to the host's framebuffer.
void useDisplay(std::shared_ptr<Display> display);
// The display in use: the installed one, else the host's over the connection; null when there
// is neither.
std::shared_ptr<Display> currentDisplay();

} // namespace ce
CE_EXPORT_END
