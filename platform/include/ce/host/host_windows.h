// The host's own windows, each run by a HostUiThread of the host program: what each thread runs
// and the options the shell's thread needs. Their code lives in the platform library, where the
// window, GDI and imaging code they use is; the host program only starts and stops the threads.
#pragma once

#include <ce/core/device_profile.h>
#include <ce/export.h>
#include <ce/host/host_ui_thread.h>

#include <functional>
#include <memory>

CE_EXPORT_BEGIN

namespace ce::host_windows {

// The shell (shell32.exe): the desktop, the taskbar of the given kind and the platform Start menu;
// its windows are up once the desktop and the taskbar are painted, and it then starts the
// StartUp folder's entries.
std::unique_ptr<HostUiThread::Content> shell(TaskbarKind taskbar, HostUiThread::Log log);
// The shell thread's options: identity shell32.exe, `opened` told once its windows are up (or
// could not be made).
HostUiThread::Options shellThreadOptions(HostUiThread::Log log,
                                         std::function<void(bool up)> opened);

// The input panel's window (gwes.exe).
std::unique_ptr<HostUiThread::Content> inputPanel();

// The soft-key bar server and the bars it makes (gwes.exe).
std::unique_ptr<HostUiThread::Content> menuBars();

} // namespace ce::host_windows
CE_EXPORT_END
