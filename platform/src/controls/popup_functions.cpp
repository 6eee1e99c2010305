// TrackPopupMenuEx: a copy of the menu tracked on the calling thread.
#include "menu_table.h"
#include "popup_tracker.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/menus.h>
#include <ce/windows_api.h>

BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params) {
  const auto tree = ce::MenuTable::instance().snapshot(menu);
  if (!tree) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return FALSE;
  }
  if (!owner || !IsWindow(owner)) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return FALSE;
  }
  if (params && params->cbSize < sizeof(TPMPARAMS)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  ce::PopupTracker tracker(*tree, owner);
  const auto chosen = tracker.run(POINT{x, y}, flags, params ? &params->rcExclude : nullptr);
  if (!chosen)
    return FALSE;
  if (flags & TPM_RETURNCMD)
    return static_cast<BOOL>(*chosen);
  if (*chosen)
    PostMessageW(owner, WM_COMMAND, *chosen, 0);
  return TRUE;
}
