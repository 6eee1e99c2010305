// The window of one popup menu level: class "MenuPopup", topmost, never activated, owned by the
// menu's owner window, bound to the tracker that made it (PopupTracker::popupMessage).
#pragma once

#include <ce/windows_api.h>

namespace ce {

class PopupTracker;

class PopupWindow {
public:
  static constexpr const WCHAR *kClassName = u"MenuPopup";

  // Null, with the last error set, when the window cannot be made.
  static HWND create(HWND owner, const RECT &screenRect, PopupTracker &tracker);
};

} // namespace ce
