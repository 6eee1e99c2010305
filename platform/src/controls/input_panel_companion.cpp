// "SIPPREF": the child window a program puts in a window to say that the input panel may follow
// its edit windows. It draws nothing and takes no input; everything else is the default.
#include "controls/input_panel_companion.h"
#include "controls/system_class_registry.h"

#include <ce/core/utf.h>
#include <ce/windows_api.h>

namespace {

LRESULT companionProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT:
    ValidateRect(hwnd, nullptr);
    return 0;
  case WM_ERASEBKGND:
    return 1;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

const ce::SystemClassRegistrar kCompanionClass(ce::InputPanelCompanion::kClassName,
                                               &companionProcedure);

} // namespace

namespace ce {

bool InputPanelCompanion::presentIn(HWND window) {
  if (!window)
    return false;
  // A window with thousands of children is asked about its first ones only.
  constexpr int kMaxChildrenLooked = 256;
  HWND child = GetWindow(window, GW_CHILD);
  for (int i = 0; child && i < kMaxChildrenLooked; ++i, child = GetWindow(child, GW_HWNDNEXT)) {
    WCHAR name[16] = {};
    const int length = GetClassNameW(child, name, 16);
    if (length > 0 && equalsIgnoreCase(std::u16string_view(name, length), kClassName))
      return true;
  }
  return false;
}

} // namespace ce
