// The menu functions of a device process, over this process's menu table.
#include "menu_table.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/menus.h>

using ce::MenuTable;

namespace {

BOOL result(DWORD error) {
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return FALSE;
  }
  return TRUE;
}

HMENU create(bool popup) {
  const HMENU menu = MenuTable::instance().create(popup);
  if (!menu)
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return menu;
}

} // namespace

HMENU CreateMenu() { return create(false); }

HMENU CreatePopupMenu() { return create(true); }

BOOL DestroyMenu(HMENU menu) { return result(MenuTable::instance().destroy(menu)); }

BOOL IsMenu(HMENU menu) { return MenuTable::instance().contains(menu) ? TRUE : FALSE; }

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR idNewItem, LPCWSTR newItem) {
  std::u16string_view text;
  if (newItem && !(flags & MF_SEPARATOR))
    text = newItem;
  return result(MenuTable::instance().append(menu, flags, idNewItem, text));
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT enable) {
  UINT previous = 0;
  const DWORD error = MenuTable::instance().enable(menu, item, enable, &previous);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return static_cast<UINT>(-1);
  }
  return previous;
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT check) {
  UINT previous = 0;
  const DWORD error = MenuTable::instance().check(menu, item, check, &previous);
  if (error != ERROR_SUCCESS) {
    SetLastError(error);
    return static_cast<DWORD>(-1);
  }
  return previous;
}

int GetMenuItemCount(HMENU menu) {
  const auto count = MenuTable::instance().count(menu);
  if (!count) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return -1;
  }
  return *count;
}

UINT GetMenuItemID(HMENU menu, int position) {
  const auto id = MenuTable::instance().itemId(menu, position);
  if (!id) {
    SetLastError(MenuTable::instance().contains(menu) ? ERROR_INVALID_PARAMETER
                                                      : ERROR_INVALID_MENU_HANDLE);
    return static_cast<UINT>(-1);
  }
  return *id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  const auto submenu = MenuTable::instance().subMenu(menu, position);
  if (!submenu) {
    if (!MenuTable::instance().contains(menu))
      SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  return *submenu;
}
