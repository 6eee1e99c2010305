#include <menu/screen/soft_keys.h>

SoftKeys::~SoftKeys() { destroy(); }

void SoftKeys::destroy() {
  if (bar_) {
    DestroyWindow(bar_);
    bar_ = nullptr;
  }
  if (menu_) {
    DestroyMenu(menu_);
    menu_ = nullptr;
  }
  left_ = 0;
}

bool SoftKeys::build(HWND owner, const Entry &left, const std::u16string &menuTitle,
                     const std::vector<Entry> &entries) {
  destroy();
  HMENU menu = CreateMenu();
  HMENU popup = CreatePopupMenu();
  if (!menu || !popup) {
    if (menu)
      DestroyMenu(menu);
    if (popup)
      DestroyMenu(popup);
    return false;
  }
  for (const Entry &entry : entries)
    AppendMenuW(popup, MF_STRING, entry.command, entry.label.c_str());
  AppendMenuW(menu, MF_STRING, left.command, left.label.c_str());
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), menuTitle.c_str());
  menu_ = menu;

  SHMENUBARINFO information{};
  information.cbSize = sizeof information;
  information.hwndParent = owner;
  information.dwFlags = SHCMBF_HMENU;
  information.nToolBarId = static_cast<UINT>(reinterpret_cast<UINT_PTR>(menu));
  if (!SHCreateMenuBar(&information) || !information.hwndMB)
    return false;
  bar_ = information.hwndMB;
  left_ = left.command;
  return true;
}

bool SoftKeys::changeLeft(UINT from, const Entry &to) {
  if (!bar_)
    return false;
  std::u16string text = to.label;
  TBBUTTONINFOW information{};
  information.cbSize = TBBUTTONINFO_DEVICE_SIZE;
  information.dwMask = TBIF_COMMAND | TBIF_TEXT;
  information.idCommand = static_cast<int>(to.command);
  information.pszText = text.data();
  information.cchText = static_cast<int>(text.size());
  if (!SendMessageW(bar_, TB_SETBUTTONINFO, from, reinterpret_cast<LPARAM>(&information)))
    return false;
  left_ = to.command;
  return true;
}

int SoftKeys::top() const {
  RECT rect{};
  if (bar_ && GetWindowRect(bar_, &rect))
    return rect.top;
  return GetSystemMetrics(SM_CYSCREEN);
}
