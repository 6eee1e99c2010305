// The platform's own Start menu: a top-level, topmost window of class "MSSTARTMENU" under the
// taskbar on the left, listing the Programs folder (CSIDL_PROGRAMS): its folders first, marked
// with a chevron, then its shortcuts and programs by name (see ProgramFolder). A tapped folder
// lists its contents under a first row that leads back; a tapped shortcut or program is started
// with ShellExecuteEx and the menu closes. Rows are a finger high (StartMenuLayout); a list longer
// than the screen scrolls with a drag. Keys: up and down choose a row, Enter starts it, Left or
// Backspace go back a folder, Escape closes.
//
// The window exists only while the menu is open, so FindWindowW("MSSTARTMENU") tells whether it
// is. It takes the foreground when it opens and closes when it loses it (WM_ACTIVATE
// WA_INACTIVE), and when any process posts it WM_CLOSE, WM_QUIT or WM_DESTROY. A WM_QUIT posted
// to it ends the shell thread's GetMessageW like any WM_QUIT; the shell's loop hands it to the
// menu (handleQuit) instead of ending.
//
// Everything here runs on the shell thread, which owns the window.
#pragma once

#include "icon_cache.h"
#include "program_folder.h"
#include "shell_log.h"
#include "start_menu_layout.h"

#include <ce/windows.h>

#include <string>
#include <vector>

namespace ce::shell {

class PlatformStartMenu {
public:
  explicit PlatformStartMenu(ShellLog log);
  ~PlatformStartMenu();
  PlatformStartMenu(const PlatformStartMenu &) = delete;
  PlatformStartMenu &operator=(const PlatformStartMenu &) = delete;

  bool registerClass();
  HWND hwnd() const { return hwnd_; }
  bool isOpen() const { return hwnd_ != nullptr; }

  // Opens the menu on the Programs folder under a taskbar `taskbarHeight` pixels high.
  void open(int taskbarHeight);
  void close();
  void toggle(int taskbarHeight);
  // A WM_QUIT taken from the shell thread's queue for window `hwnd`: closes the menu when it is
  // the menu's (even one that has just closed); false when the window is not the menu's.
  bool handleQuit(HWND hwnd);
  // The menu window's messages (WindowBinding).
  LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  int rowCount() const;
  bool hasBackRow() const;
  // Lists `folder` and fits the window to it.
  void showFolder(const std::u16string &folder);
  void placeWindow();
  void activateRow(int row);
  void goBack();
  void select(int row);
  void paint();
  void paintRow(HDC dc, int row, const RECT &area);
  void createFonts();
  void deleteFonts();

  ShellLog log_;
  HWND hwnd_ = nullptr;
  HWND lastHwnd_ = nullptr; // the window of the last open, for WM_QUIT that comes after it closed
  bool registered_ = false;
  bool closing_ = false;
  int taskbarHeight_ = 0;
  std::u16string root_;
  std::u16string folder_;
  std::vector<ProgramEntry> entries_;
  StartMenuLayout layout_;
  int scroll_ = 0;
  int selected_ = -1;
  int pressed_ = -1;
  bool dragging_ = false;
  POINT pressPoint_{};
  int scrollAtPress_ = 0;
  HFONT font_ = nullptr;
  HFONT backFont_ = nullptr;
  HFONT chevronFont_ = nullptr; // the marks of folders and of the way back
  IconCache icons_;
};

} // namespace ce::shell
