#include "desktop_window.h"

#include "shell_messages.h"

#include "../windowing/window_binding.h"

#include <ce/core/utf.h>

namespace ce::shell {

using Binding = WindowBinding<&DesktopWindow::windowMessage>;

DesktopWindow::DesktopWindow(PlatformStartMenu &menu, ShellLog log)
    : menu_(menu), log_(std::move(log)) {}

DesktopWindow::~DesktopWindow() {
  if (hwnd_)
    DestroyWindow(hwnd_);
}

bool DesktopWindow::create() {
  if (!Binding::registerClass(kDesktopClass))
    return false;
  width_ = GetSystemMetrics(SM_CXSCREEN);
  height_ = GetSystemMetrics(SM_CYSCREEN);
  loadWallpaper();
  if (!Binding::create(*this, WS_EX_NOACTIVATE, kDesktopClass, u"Desktop", WS_POPUP | WS_VISIBLE,
                       RECT{0, 0, width_, height_}, nullptr))
    return false;
  SetWindowPos(hwnd_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  UpdateWindow(hwnd_);
  return true;
}

LRESULT DesktopWindow::windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_CREATE:
    hwnd_ = hwnd;
    return 0;
  case WM_PAINT:
    paint();
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_LBUTTONDOWN:
    menu_.close();
    return 0;
  case WM_SETTINGCHANGE:
    fitToScreen();
    return 0;
  case WM_CLOSE:
    return 0; // the desktop stays for the device's life
  case WM_DESTROY:
    if (!IsWindow(hwnd)) // gone, not only posted
      hwnd_ = nullptr;
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

void DesktopWindow::fitToScreen() {
  const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  if (width == width_ && height == height_)
    return;
  width_ = width;
  height_ = height;
  loadWallpaper();
  RECT now{};
  if (!GetWindowRect(hwnd_, &now) || now.left != 0 || now.top != 0 || now.right != width_ ||
      now.bottom != height_)
    SetWindowPos(hwnd_, nullptr, 0, 0, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(hwnd_, nullptr, FALSE);
}

void DesktopWindow::loadWallpaper() {
  const bool pictured = wallpaper_.load(width_, height_);
  if (log_)
    log_(pictured ? "desktop: wallpaper " + toUtf8(Wallpaper::pathFor(width_, height_))
                  : "desktop: no wallpaper for " + std::to_string(width_) + "x" +
                        std::to_string(height_) + ", plain colour");
}

void DesktopWindow::paint() {
  PAINTSTRUCT ps{};
  const HDC dc = BeginPaint(hwnd_, &ps);
  if (dc)
    wallpaper_.draw(dc, ps.rcPaint);
  EndPaint(hwnd_, &ps);
}

} // namespace ce::shell
