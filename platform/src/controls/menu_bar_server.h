// The host's soft-key bar server, run by a HostUiThread of the host process (gwes.exe): a hidden
// window of class "MenuBarServer" that makes the bars processes ask for (WM_COPYDATA carrying a
// MenuBarRequest; the answer is the bar's window, or minus the error code), and the bars it
// made, which live on its thread until their windows go. It uses only the public window API,
// like any device program.
#pragma once

#include "menu_bar.h"

#include <ce/host/host_ui_thread.h>

#include <ce/types.h>

#include <memory>
#include <unordered_map>

namespace ce {

class MenuBarServer : public HostUiThread::Content {
public:
  static constexpr const WCHAR *kServerClass = u"MenuBarServer";
  static constexpr std::size_t kMaxBars = 256;

  MenuBarServer() = default;
  // Destroys every bar and the server window.
  ~MenuBarServer() override;
  MenuBarServer(const MenuBarServer &) = delete;
  MenuBarServer &operator=(const MenuBarServer &) = delete;

  // Registers the classes and makes the server window.
  std::string open() override;

  // The server window's messages (WindowBinding).
  LRESULT windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  LRESULT makeBar(const COPYDATASTRUCT *data);

  HWND server_ = nullptr;
  std::unordered_map<const MenuBar *, std::shared_ptr<MenuBar>> bars_;
};

} // namespace ce
