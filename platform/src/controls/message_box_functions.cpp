// MessageBoxW: a box drawn by the platform on the calling thread.
#include "message_box_dialog.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/menus.h>

int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type) {
  const auto buttons = ce::MessageBoxButtons::forType(type);
  if (!buttons) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (owner && !IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  ce::MessageBoxDialog box(owner, text ? text : u"", caption ? caption : u"Error", type, *buttons);
  return box.run();
}
