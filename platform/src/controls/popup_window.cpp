#include "popup_window.h"

#include "popup_tracker.h"

#include <ce/errors.h>
#include <ce/kernel.h>

#include <mutex>

namespace ce {

namespace {

PopupTracker *trackerOf(HWND hwnd) {
  return reinterpret_cast<PopupTracker *>(GetWindowLongPtrW(hwnd, GWL_USERDATA));
}

} // namespace

bool PopupWindow::registerClass() {
  static std::mutex mutex;
  static bool registered = false;
  std::lock_guard lock(mutex);
  if (registered)
    return true;
  WNDCLASSW wc{};
  wc.lpfnWndProc = &PopupWindow::procedure;
  wc.lpszClassName = kClassName;
  registered = RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  return registered;
}

HWND PopupWindow::create(HWND owner, const RECT &r, PopupTracker *tracker) {
  if (!registerClass())
    return nullptr;
  return CreateWindowExW(WS_EX_TOPMOST | WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kClassName, u"",
                         WS_POPUP, r.left, r.top, r.right - r.left, r.bottom - r.top, owner,
                         nullptr, nullptr, tracker);
}

LRESULT PopupWindow::procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_CREATE: {
    const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
    SetWindowLongPtrW(hwnd, GWL_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    return 0;
  }
  case WM_PAINT:
    if (PopupTracker *tracker = trackerOf(hwnd)) {
      tracker->paint(hwnd);
      return 0;
    }
    break;
  case WM_ERASEBKGND:
    return 1; // painting covers the whole window
  case WM_CAPTURECHANGED:
    if (PopupTracker *tracker = trackerOf(hwnd))
      tracker->captureLost();
    return 0;
  case WM_DESTROY:
    if (PopupTracker *tracker = trackerOf(hwnd))
      tracker->windowDestroyed(hwnd);
    return 0;
  default:
    break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace ce
