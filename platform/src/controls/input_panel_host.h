// The input panel of a booted device: a thread of the host process that owns the panel's window
// (InputPanelWindow) and runs its messages through the public window API like any program.
// host_daemon starts it with the host and stops it once the host's loop has ended.
#pragma once

#include <ce/export.h>
#include <ce/types.h>

#include <memory>
#include <thread>

// Exported from the library for the host program and the tests until this declaration moves
// to platform/include/ce/host.
CE_EXPORT_BEGIN

namespace ce {

class InputPanelHost {
public:
  // Longest that stop() waits for the thread before leaving it to the process's end.
  static constexpr int kStopWaitMs = 2000;

  InputPanelHost() = default;
  ~InputPanelHost();
  InputPanelHost(const InputPanelHost &) = delete;
  InputPanelHost &operator=(const InputPanelHost &) = delete;

  // Starts the thread; its window appears once the host answers.
  void start();
  // Ends the thread's message loop. Call once the host's loop has ended: the thread makes no
  // window call on its way out, since none could be answered.
  void stop();

private:
  struct State;
  static void run(std::shared_ptr<State> state);

  std::shared_ptr<State> state_;
  std::thread thread_;
};

} // namespace ce
CE_EXPORT_END
