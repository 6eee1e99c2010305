#include "shell_windows.h"

#include "startup_folder.h"

#include <ce/host/process_identity.h>

#include <chrono>

namespace ce::shell {

ShellWindows::ShellWindows(TaskbarKind taskbar, ShellLog log)
    : kind_(taskbar), log_(log), menu_(log), desktop_(menu_, log), taskbar_(taskbar, menu_, log) {}

std::string ShellWindows::open() {
  const auto began = std::chrono::steady_clock::now();
  desktop_.create();
  if (!taskbar_.create() || !menu_.registerClass())
    return "the taskbar could not be made";
  if (log_) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                        std::chrono::steady_clock::now() - began)
                        .count();
    log_("shell: taskbar up (" + std::string(taskbarKindName(kind_)) + ", " +
         std::to_string(taskbar_.geometry().width()) + "x" +
         std::to_string(taskbar_.geometry().height()) + ") in " + std::to_string(ms) + " ms");
  }
  return {};
}

void ShellWindows::started() { StartupFolder::runAll(log_); }

void ShellWindows::quitPostedTo(HWND hwnd) { menu_.handleQuit(hwnd); }

HostUiThread::Options ShellWindows::threadOptions(ShellLog log,
                                                  std::function<void(bool up)> opened) {
  return HostUiThread::Options{"shell", ProcessIdentity::shell(), std::move(log),
                               std::move(opened)};
}

} // namespace ce::shell
