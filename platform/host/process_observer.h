// Parts of the host that keep per-process state (windows, queues, pending sends, timers, ...)
// implement this to learn when a process has left the device.
#pragma once

#include <ce/types.h>

namespace ce::host {

class ProcessObserver {
public:
  virtual ~ProcessObserver() = default;
  // The process has closed its last connection to the host (it ended, was killed, or let go of
  // the device). Called once per process, on the host's loop thread, after the host's own
  // cleanup of that process's named objects and pending sends.
  virtual void onProcessExit(DWORD pid) = 0;
};

} // namespace ce::host
