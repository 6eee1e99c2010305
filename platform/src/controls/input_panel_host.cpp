#include "controls/input_panel_host.h"

#include "controls/input_panel_window.h"

#include <ce/kernel.h>
#include <ce/windows_api.h>

#include <atomic>
#include <chrono>
#include <future>

namespace ce {

// Shared with the thread, which may outlive this object when it does not end in time.
struct InputPanelHost::State {
  std::atomic<DWORD> threadId{0};
  std::promise<void> started;
  std::promise<void> ended;
};

InputPanelHost::~InputPanelHost() { stop(); }

void InputPanelHost::start() {
  if (thread_.joinable())
    return;
  state_ = std::make_shared<State>();
  thread_ = std::thread(&InputPanelHost::run, state_);
}

void InputPanelHost::run(std::shared_ptr<State> state) {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue, before anyone posts
  state->threadId = GetCurrentThreadId();
  state->started.set_value();
  if (InputPanelWindow::create()) {
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  state->ended.set_value();
}

void InputPanelHost::stop() {
  if (!thread_.joinable())
    return;
  const auto limit = std::chrono::milliseconds(kStopWaitMs);
  if (state_->started.get_future().wait_for(limit) == std::future_status::ready)
    PostThreadMessageW(state_->threadId, WM_QUIT, 0, 0);
  if (state_->ended.get_future().wait_for(limit) == std::future_status::ready)
    thread_.join();
  else
    thread_.detach(); // stuck in a call that the ended host cannot answer
}

} // namespace ce
