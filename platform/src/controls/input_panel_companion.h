// "SIPPREF", the input panel's companion: a child window that a program puts in a window so that
// the input panel follows the focus of that window's edit controls (the edits whose parent or
// owner the window is). The edit asks whether its window holds one.
#pragma once

#include <ce/types.h>

namespace ce {

class InputPanelCompanion {
public:
  static constexpr const char16_t *kClassName = u"SIPPREF";

  // Whether `window` has a "SIPPREF" child.
  static bool presentIn(HWND window);
};

} // namespace ce
