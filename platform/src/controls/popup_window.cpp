#include "popup_window.h"

#include "popup_tracker.h"

#include "../windowing/window_binding.h"

namespace ce {

HWND PopupWindow::create(HWND owner, const RECT &r, PopupTracker &tracker) {
  using Binding = WindowBinding<&PopupTracker::popupMessage>;
  if (!Binding::registerClass(kClassName))
    return nullptr;
  return Binding::create(tracker, WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kClassName,
                         u"", WS_POPUP, r, owner);
}

} // namespace ce
