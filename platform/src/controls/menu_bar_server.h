// The host's soft-key bar server: a thread of the host process that owns a hidden window of class
// "MenuBarServer", makes the bars that processes ask for (WM_COPYDATA carrying a MenuBarRequest;
// the answer is the bar's window, or minus the error code) and runs them. It uses only the public
// window API, like any device program, and never the host's loop thread.
//
// start() and stop() are called by the host's main thread: start before the host's loop runs
// (the thread waits for it), stop once the loop has ended and before the services are unloaded
// (a service may have subclassed a bar): from then on the thread dispatches nothing and makes no
// window calls; it ends at once unless a call was under way as the loop stopped, which the
// services' shutdown releases when it closes the host connection.
#pragma once

#include <ce/export.h>
#include <ce/types.h>

#include <memory>
#include <thread>

// Exported from the library for the host program and the tests until this declaration moves
// to platform/include/ce/host.
CE_EXPORT_BEGIN

namespace ce {

class MenuBarServer {
public:
  static constexpr const WCHAR *kServerClass = u"MenuBarServer";

  MenuBarServer() = default;
  ~MenuBarServer();
  MenuBarServer(const MenuBarServer &) = delete;
  MenuBarServer &operator=(const MenuBarServer &) = delete;

  void start();
  // Asks the thread to end and waits up to `limitMs`; a thread that does not end in time is left
  // to end on its own (it holds nothing of this object's).
  void stop(int limitMs = 2000);

private:
  struct Control;
  std::shared_ptr<Control> control_;
  std::thread thread_;
};

} // namespace ce
CE_EXPORT_END
