#include "desktop_window.h"

#include "shell_messages.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

namespace ce::shell {
namespace {

thread_local DesktopWindow *tlsDesktop = nullptr;

} // namespace

DesktopWindow::DesktopWindow(PlatformStartMenu &menu, ShellLog log)
    : menu_(menu), log_(std::move(log)) {
  tlsDesktop = this;
}

DesktopWindow::~DesktopWindow() {
  if (hwnd_)
    DestroyWindow(hwnd_);
  if (tlsDesktop == this)
    tlsDesktop = nullptr;
}

bool DesktopWindow::create() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &DesktopWindow::procedure;
  wc.lpszClassName = kDesktopClass;
  if (!RegisterClassW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    return false;
  width_ = GetSystemMetrics(SM_CXSCREEN);
  height_ = GetSystemMetrics(SM_CYSCREEN);
  loadWallpaper();
  const HWND created =
      CreateWindowExW(WS_EX_NOACTIVATE, kDesktopClass, u"Desktop", WS_POPUP | WS_VISIBLE, 0, 0,
                      width_, height_, nullptr, nullptr, nullptr, this);
  if (!created) {
    hwnd_ = nullptr;
    return false;
  }
  SetWindowPos(hwnd_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK DesktopWindow::procedure(HWND hwnd, UINT message, WPARAM wParam,
                                          LPARAM lParam) {
  DesktopWindow *self = tlsDesktop;
  if (self && message == WM_CREATE)
    self->hwnd_ = hwnd;
  if (!self || hwnd != self->hwnd_)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->handle(message, wParam, lParam);
}

LRESULT DesktopWindow::handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
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
    hwnd_ = nullptr;
    return 0;
  default:
    return DefWindowProcW(hwnd_, message, wParam, lParam);
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
