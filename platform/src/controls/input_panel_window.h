// The input panel's window, run by a HostUiThread of the host process (gwes.exe): a topmost
// popup at the bottom of the screen that cannot be activated, so taps on it never move the
// foreground or the focus. It stays hidden until a SipShowIM
// (kShowMessage) shows it. A tap on a key presses that key with keybd_event when the stylus is
// lifted over it, so the focus window gets WM_KEYDOWN, WM_CHAR (from its TranslateMessage) and
// WM_KEYUP as from a hardware key. Rotation moves it to the new bottom at the new width. Showing
// or hiding it posts WM_SETTINGCHANGE (SPI_SETSIPINFO) to the visible top-level windows.
#pragma once

#include "controls/input_panel_layout.h"
#include <ce/host/host_ui_thread.h>

#include <ce/windows_api.h>

#include <optional>

namespace ce {

class InputPanelWindow : public HostUiThread::Content {
public:
  InputPanelWindow();
  ~InputPanelWindow() override;
  InputPanelWindow(const InputPanelWindow &) = delete;
  InputPanelWindow &operator=(const InputPanelWindow &) = delete;

  // Registers the class and creates the hidden window on the calling thread.
  std::string open() override;

  // The window's messages (WindowBinding).
  LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  void show(bool shown);
  void place(bool shown);
  void paint();
  void press(std::optional<std::size_t> key);
  void tellTopLevelWindows() const;

  HWND hwnd_ = nullptr;
  InputPanelLayout layout_;
  std::optional<std::size_t> pressed_; // index of the key under the stylus
  bool shown_ = false;
};

} // namespace ce
