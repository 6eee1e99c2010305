// One window in the host's window table.
#pragma once

#include "rectangle_set.h"

#include <ce/windows_api.h>

#include <string>
#include <vector>

namespace ce::host {

struct WindowRecord {
  HWND handle = nullptr;
  std::u16string className;
  std::u16string title;
  DWORD process = 0;
  DWORD thread = 0;
  HWND parent = nullptr; // the desktop for top-level windows
  HWND owner = nullptr;  // top-level windows only
  DWORD style = 0;       // WS_VISIBLE and WS_DISABLED mirror the state below
  DWORD exStyle = 0;
  LONG id = 0; // child windows: the control id given as the menu handle
  RECT rect{}; // relative to the parent's client area
  bool visible = false;
  bool enabled = true;
  // Children in z-order, topmost first.
  std::vector<HWND> children;
  // In client coordinates.
  RectangleSet updateRegion;
};

} // namespace ce::host
