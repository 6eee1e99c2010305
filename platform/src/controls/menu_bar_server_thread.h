// The bar server's thread: its hidden server window, the bars it has made and the window
// procedures of the bar windows, which find their bar here. Everything runs on that thread.
#pragma once

#include "menu_bar.h"

#include <ce/windows_api.h>

#include <atomic>
#include <map>
#include <memory>

namespace ce {

class MenuBarServerThread {
public:
  static constexpr std::size_t kMaxBars = 256;

  // `stopping` tells the loop to end without dispatching anything more.
  explicit MenuBarServerThread(const std::atomic<bool> &stopping) : stopping_(stopping) {}

  // Registers the classes and makes the server window; false when the host cannot be reached.
  bool open();
  // The thread's message loop, until WM_QUIT, `stopping` or the host goes.
  void run();
  // Destroys every bar and the server window; once the host has ended (`stopping`) the windows
  // are only forgotten: the host cannot answer for them any more.
  void close();

private:
  static LRESULT serverProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT frameProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT toolbarProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  static MenuBarServerThread *current();

  LRESULT makeBar(HWND sender, const COPYDATASTRUCT *data);
  std::shared_ptr<MenuBar> barOf(HWND hwnd) const;
  void forget(HWND hwnd);

  const std::atomic<bool> &stopping_;
  HWND server_ = nullptr;
  std::map<HWND, std::shared_ptr<MenuBar>> bars_; // by frame and by toolbar window
};

} // namespace ce
