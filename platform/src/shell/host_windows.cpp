#include <ce/host/host_windows.h>

#include "../controls/input_panel_window.h"
#include "../controls/menu_bar_server.h"
#include "shell_windows.h"

namespace ce::host_windows {

std::unique_ptr<HostUiThread::Content> shell(TaskbarKind taskbar, HostUiThread::Log log) {
  return std::make_unique<shell::ShellWindows>(taskbar, std::move(log));
}

HostUiThread::Options shellThreadOptions(HostUiThread::Log log,
                                         std::function<void(bool up)> opened) {
  return shell::ShellWindows::threadOptions(std::move(log), std::move(opened));
}

std::unique_ptr<HostUiThread::Content> inputPanel() {
  return std::make_unique<InputPanelWindow>();
}

std::unique_ptr<HostUiThread::Content> menuBars() { return std::make_unique<MenuBarServer>(); }

} // namespace ce::host_windows
