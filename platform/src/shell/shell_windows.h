// The device's shell inside the host process: the desktop, the taskbar and the platform Start
// menu, run by a HostUiThread as shell32.exe. It is an ordinary client of the host: it uses only
// the platform's public window, GDI, imaging and file functions, through the host process's own
// connection, never the host's loop thread.
//
// open() puts up the desktop and the taskbar and paints them, so that the host can say it is
// ready with its screen in place; started() then starts the StartUp folder's entries. A WM_QUIT
// posted to the platform Start menu closes it (the thread goes on).
#pragma once

#include "desktop_window.h"
#include "platform_start_menu.h"
#include "shell_log.h"
#include "taskbar.h"

#include <ce/host/host_ui_thread.h>

#include <ce/core/device_profile.h>

namespace ce::shell {

class ShellWindows : public HostUiThread::Content {
public:
  ShellWindows(TaskbarKind taskbar, ShellLog log);

  std::string open() override;
  void started() override;
  void quitPostedTo(HWND hwnd) override;

  // The thread that runs the shell: identity shell32.exe, `opened` told once the desktop and
  // the taskbar are up (or could not be made).
  static HostUiThread::Options threadOptions(ShellLog log, std::function<void(bool up)> opened);

private:
  TaskbarKind kind_;
  ShellLog log_;
  // Declared first, destroyed last: the desktop and the taskbar refer to it.
  PlatformStartMenu menu_;
  DesktopWindow desktop_;
  Taskbar taskbar_;
};

} // namespace ce::shell
