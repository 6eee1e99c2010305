// The network.cpl control-panel library.
#include "applet_library.h"

namespace {
ce::demo::AppletLibrary library(u"network.cpl");
} // namespace

extern "C" __attribute__((visibility("default"))) LONG CPlApplet(HWND parent, UINT message,
                                                                 LPARAM lParam1, LPARAM lParam2) {
  return library.handle(parent, message, lParam1, lParam2);
}
