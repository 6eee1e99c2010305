// The desktop: a window of class "DeviceDesktop" covering the whole screen under every other
// window (created at the bottom of the Z order, it never takes the foreground, so nothing goes
// below it), showing the wallpaper for the screen's current orientation (Wallpaper). After a
// rotation it takes the new screen size and the other picture. A tap on it closes the platform
// Start menu, as a tap beside a menu does. It ignores WM_CLOSE and a posted WM_DESTROY: it stays
// for the device's life.
#pragma once

#include "platform_start_menu.h"
#include "shell_log.h"
#include "wallpaper.h"

#include <ce/windows.h>

namespace ce::shell {

class DesktopWindow {
public:
  DesktopWindow(PlatformStartMenu &menu, ShellLog log);
  ~DesktopWindow();
  DesktopWindow(const DesktopWindow &) = delete;
  DesktopWindow &operator=(const DesktopWindow &) = delete;

  bool create();
  HWND hwnd() const { return hwnd_; }

  // The window's messages (WindowBinding).
  LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  // Takes the screen's size and its wallpaper when the size changed.
  void fitToScreen();
  void loadWallpaper();
  void paint();

  PlatformStartMenu &menu_;
  ShellLog log_;
  HWND hwnd_ = nullptr;
  Wallpaper wallpaper_;
  int width_ = 0;
  int height_ = 0;
};

} // namespace ce::shell
