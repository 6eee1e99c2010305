// The device's shell inside the host process: one thread that owns the desktop, the taskbar and
// the platform Start menu, runs their message loop, and starts the StartUp folder's entries once
// the taskbar is up. It is an ordinary client of the host: it uses only the platform's public
// window, GDI, imaging and file functions, through the host process's own connection, never the
// host's loop thread.
//
// Start it once the host's window manager and screen exist (its first calls wait until the loop
// runs). `ready` is called on the shell thread once the desktop and the taskbar have been painted
// (or when the shell could not come up), so the host can say it is ready with its screen in place.
//
// stop() ends the loop with a WM_QUIT thread message; a WM_QUIT posted to one of the shell's
// windows never ends the shell. The host's loop has ended by then, so stop() first closes the
// process's connection: calls the thread is waiting in fail at once. A thread that does not end
// within the limit is left behind (logged).
#pragma once

#include "shell_log.h"

#include <ce/core/device_profile.h>
#include <ce/export.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// Exported from the library for the host program and the tests until this declaration moves
// to platform/include/ce/host.
CE_EXPORT_BEGIN

namespace ce::shell {

class ShellThread {
public:
  struct Options {
    TaskbarKind taskbar = TaskbarKind::Wm65;
    ShellLog log;
    std::function<void()> ready;
  };

  explicit ShellThread(Options options);
  ~ShellThread(); // stop(kStopLimitMs) when still running
  ShellThread(const ShellThread &) = delete;
  ShellThread &operator=(const ShellThread &) = delete;

  static constexpr int kStopLimitMs = 2000;

  void start();
  // True when the thread ended within `limitMs`.
  bool stop(int limitMs = kStopLimitMs);

private:
  // What the thread shares with this object, which it may outlive.
  struct State {
    Options options;
    std::atomic<bool> stopping{false};
    std::atomic<DWORD> threadId{0};
    std::mutex mutex;
    std::condition_variable changed;
    bool queueReady = false; // the thread's queue exists (or it gave up before)
    bool ended = false;
  };

  static void run(const std::shared_ptr<State> &state);

  std::shared_ptr<State> state_;
  std::thread thread_;
};

} // namespace ce::shell
CE_EXPORT_END
