#include "shell_thread.h"

#include "desktop_window.h"
#include "platform_start_menu.h"
#include "startup_folder.h"
#include "taskbar.h"

#include <ce/host/process_identity.h>
#include <ce/kernel.h>
#include <ce/windows.h>

#include <chrono>

namespace ce::shell {

ShellThread::ShellThread(Options options) : state_(std::make_shared<State>()) {
  state_->options = std::move(options);
}

ShellThread::~ShellThread() { stop(); }

void ShellThread::start() {
  if (thread_.joinable())
    return;
  thread_ = std::thread([state = state_] { run(state); });
}

void ShellThread::run(const std::shared_ptr<State> &state) {
  ProcessIdentity::adopt(ProcessIdentity::shell()); // the shell's windows are shell32.exe's
  const ShellLog &log = state->options.log;
  MSG msg{};
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue, for stop()'s WM_QUIT
  state->threadId.store(GetCurrentThreadId());
  {
    std::lock_guard lock(state->mutex);
    state->queueReady = true;
  }
  state->changed.notify_all();

  bool saidReady = false;
  const auto sayReady = [&] {
    if (!saidReady && state->options.ready)
      state->options.ready();
    saidReady = true;
  };
  if (!state->stopping.load()) {
    const auto began = std::chrono::steady_clock::now();
    PlatformStartMenu menu(log);
    DesktopWindow desktop(menu, log);
    Taskbar taskbar(state->options.taskbar, menu, log);
    desktop.create();
    const bool up = taskbar.create() && menu.registerClass();
    if (log) {
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                          std::chrono::steady_clock::now() - began)
                          .count();
      log(up ? "shell: taskbar up (" + std::string(taskbarKindName(state->options.taskbar)) +
                   ", " + std::to_string(taskbar.geometry().width()) + "x" +
                   std::to_string(taskbar.geometry().height()) + ") in " + std::to_string(ms) +
                   " ms"
             : "shell: the taskbar could not be made");
    }
    sayReady();
    if (up && !state->stopping.load())
      StartupFolder::runAll(log);

    for (;;) {
      const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
      if (got == -1)
        break;
      if (msg.message == WM_QUIT) {
        // A WM_QUIT posted to a window (the platform Start menu is closed that way) is the
        // window's business; only the thread's own WM_QUIT from stop() ends the shell.
        if (msg.hwnd) {
          menu.handleQuit(msg.hwnd);
          continue;
        }
        if (state->stopping.load())
          break;
        continue;
      }
      // No TranslateMessage: the taskbar hands key messages on untranslated, and whoever gets
      // them makes their characters.
      DispatchMessageW(&msg);
    }
  }
  sayReady();
  {
    std::lock_guard lock(state->mutex);
    state->ended = true;
  }
  state->changed.notify_all();
}

bool ShellThread::stop(int limitMs) {
  if (!thread_.joinable())
    return true;
  state_->stopping.store(true);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  std::unique_lock lock(state_->mutex);
  state_->changed.wait_until(lock, deadline, [&] { return state_->queueReady || state_->ended; });
  lock.unlock();
  if (const DWORD thread = state_->threadId.load())
    PostThreadMessageW(thread, WM_QUIT, 0, 0);
  lock.lock();
  const bool ended = state_->changed.wait_until(lock, deadline, [&] { return state_->ended; });
  lock.unlock();
  if (ended) {
    thread_.join();
    return true;
  }
  if (state_->options.log)
    state_->options.log("shell: the shell thread did not end within " +
                        std::to_string(limitMs) + " ms; left behind");
  thread_.detach();
  return false;
}

} // namespace ce::shell
