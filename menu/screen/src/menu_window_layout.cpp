#include <menu/screen/menu_window_layout.h>

#include <toolkit/display/direct_draw_warp.h>
#include <toolkit/global/critical_section_lock.h>
#include <toolkit/global/global_informations.h>

#include <ce/windows.h>

#include <algorithm>

int MenuWindowLayout::taskbarBottom() {
  const HWND taskbar = FindWindowW(u"HHTaskBar", nullptr);
  RECT rect{};
  // Its place, also while it is hidden a moment for a window that asked for the whole screen.
  if (!taskbar || !GetWindowRect(taskbar, &rect))
    return 0;
  return std::max<int>(0, rect.bottom);
}

RECT MenuWindowLayout::apply(DirectDrawWarp &window, int barTop) {
  GlobalInformations *global = GlobalInformations::getInstance();
  const HWND hwnd = window.window();
  if (!global || !hwnd)
    return RECT{};
  DisplayState &display = global->display();
  display.fullScreenUnwanted = true;
  SHFullScreen(hwnd, SHFS_SHOWTASKBAR);
  const int width = GetSystemMetrics(SM_CXSCREEN);
  const int height = GetSystemMetrics(SM_CYSCREEN);
  const int top = std::min(taskbarBottom(), height);
  RECT now{};
  GetWindowRect(hwnd, &now);
  if (now.left != 0 || now.top != top || now.right != width || now.bottom != height)
    MoveWindow(hwnd, 0, top, width, height - top, FALSE);
  const RECT area{0, 0, width, std::clamp(barTop - top, 0, height - top)};
  CriticalSectionLock lock(global->displaySection());
  display.client = display.view = display.dirty = area;
  return area;
}
