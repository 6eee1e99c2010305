// The taskbar "HHTaskBar": a topmost window along the top of the screen, as wide as the screen
// and as high as TaskbarGeometry says for the device's design, that never takes the foreground
// or the focus. It draws a Start area (a flag and "Start"), the foreground window's title and a
// clock (HH:MM). It follows the foreground window and its title as its process's view of the
// windows tells it of changes (no polling), and the clock by a timer set for the next minute.
// The bar's own window text is the title it shows.
//
// Its window procedure, which a service in the host process may subclass:
// - classic bar: WM_LBUTTONDOWN in the left third opens the platform Start menu, or closes it
//   when it is open;
// - 6.5-style bar: a tap on the Start button (WM_LBUTTONDOWN and then WM_LBUTTONUP, both in the
//   leftmost 60 pixels at 480 wide) makes the bar send itself WM_COMMAND 0x47A (through
//   SendMessageW, so through whatever procedure the window has), and WM_COMMAND 0x47A opens or
//   closes the Start menu;
// - keys: the host delivers hardware key messages to the bar, whether it shows or hides behind a
//   full-screen window, so that a service subclassing it sees every key. A press and release
//   of the Windows key (VK_LWIN) with no other key pressed meanwhile opens or closes the Start
//   menu on the release, so the key can serve as a modifier; the Windows key's own messages go no
//   further. Every other key message (WM_KEYDOWN, WM_KEYUP, WM_CHAR and their system forms) is
//   posted unchanged to the focus window (GetFocus()).
// - taps on the title and the clock do nothing;
// - WM_CLOSE, and a WM_DESTROY that someone posts, are ignored: the bar stays for the device's
//   life.
// When the screen turns (WM_SETTINGCHANGE, WM_WINDOWPOSCHANGED) the bar takes the new width and
// the height that goes with it.
//
// Full screen: while the foreground window is one that asked SHFullScreen(SHFS_HIDETASKBAR) (and
// has not since asked SHFS_SHOWTASKBAR) the bar is hidden; it shows again when another window
// comes to the front or that window goes. Likewise SHFS_HIDESTARTICON: the bar draws no Start
// button and a tap on it opens nothing (the Windows key still does).
//
// Layout file: on a 6.5-style bar, Start consults StartMenuLayoutFile before opening the
// platform's menu; a switched-off file keeps it closed (logged each time). The file is written at
// boot when it is missing.
#pragma once

#include "platform_start_menu.h"
#include "shell_log.h"
#include "start_menu_layout_file.h"
#include "taskbar_geometry.h"

#include <ce/core/device_profile.h>
#include <ce/windows.h>

#include <set>
#include <string>

namespace ce::shell {

class Taskbar {
public:
  Taskbar(TaskbarKind kind, PlatformStartMenu &menu, ShellLog log);
  ~Taskbar();
  Taskbar(const Taskbar &) = delete;
  Taskbar &operator=(const Taskbar &) = delete;

  // Registers the class and shows the bar; false (logged) when it cannot.
  bool create();
  HWND hwnd() const { return hwnd_; }
  const TaskbarGeometry &geometry() const { return geometry_; }
  // The bar's messages (WindowBinding).
  LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  void toggleMenu();
  void keyMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void fitToScreen();
  // Foreground window, title, clock and full-screen state; repaints what changed.
  void refresh();
  void paint();
  void createFonts();
  void deleteFonts();

  TaskbarKind kind_;
  TaskbarGeometry geometry_;
  PlatformStartMenu &menu_;
  ShellLog log_;
  HWND hwnd_ = nullptr;
  HFONT titleFont_ = nullptr;
  HFONT clockFont_ = nullptr;
  HFONT startFont_ = nullptr;
  std::u16string title_;
  std::u16string clock_;
  std::set<HWND> hidingWindows_;      // windows that asked for the bar to be hidden
  std::set<HWND> startHidingWindows_; // windows that asked for the Start icon to be hidden
  bool hiddenForFullScreen_ = false;
  bool startIconHidden_ = false;
  StartMenuLayoutFile layoutFile_;
  bool startPressed_ = false; // a press began on the 6.5-style bar's Start button
  bool windowsKeyDown_ = false;
  bool windowsKeyUsed_ = false; // another key went down while the Windows key was held
  int windowsWatch_ = 0;        // the view of the windows tells the bar of changes
};

} // namespace ce::shell
