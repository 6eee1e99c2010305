// "SIPPREF": the child window a program puts in a window to say that the input panel may follow
// its edit windows. It draws nothing and takes no input; everything else is the default.
#include "controls/system_class_registry.h"

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

const ce::SystemClassRegistrar kCompanionClass(u"SIPPREF", &companionProcedure);

} // namespace
