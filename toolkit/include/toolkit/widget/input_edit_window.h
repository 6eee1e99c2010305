// The one platform edit window ("EDIT") through which every edit field of the process is edited,
// and the "SIPPREF" companion that makes the input panel follow its focus. Made once, owned by
// the main window, hidden between edits; made again when the previous one is gone with its
// main window.
#pragma once

#include <ce/windows.h>

class InputEditWindow {
public:
  static constexpr int Identifier = 102;
  // Multi-line, scrolling vertically and horizontally.
  static constexpr DWORD Style = ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL;

  // The edit window, made when there is none (or it is gone). Null without a main window or when
  // the platform refuses it ("Can't create an input text." is reported with the system's text).
  static HWND ensure();
  // The edit window when it exists.
  static HWND window();
  static HWND companion();
  // Destroys both windows (a test's end, or a main window that goes).
  static void destroy();
};
