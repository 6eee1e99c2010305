#include "menu_bar_server.h"

#include "menu_bar_server_thread.h"

#include <ce/kernel.h>
#include <ce/messages.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ce {

struct MenuBarServer::Control {
  std::atomic<DWORD> threadId{0};
  std::atomic<bool> stopping{false};
  std::mutex mutex;
  std::condition_variable ended;
  bool finished = false;
};

MenuBarServer::~MenuBarServer() { stop(); }

void MenuBarServer::start() {
  if (control_)
    return;
  control_ = std::make_shared<Control>();
  thread_ = std::thread([control = control_] {
    {
      MenuBarServerThread server(control->stopping);
      MSG msg;
      PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
      control->threadId.store(GetCurrentThreadId());
      if (!control->stopping.load() && server.open())
        server.run();
      server.close();
    }
    std::lock_guard lock(control->mutex);
    control->finished = true;
    control->ended.notify_all();
  });
}

void MenuBarServer::stop(int limitMs) {
  if (!control_)
    return;
  control_->stopping.store(true);
  // The thread's queue takes WM_QUIT once it exists; until then it sees `stopping`.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  bool ended = false;
  while (!ended) {
    if (const DWORD id = control_->threadId.load())
      PostThreadMessageW(id, WM_QUIT, 0, 0);
    std::unique_lock lock(control_->mutex);
    ended = control_->ended.wait_for(lock, std::chrono::milliseconds(20),
                                     [&] { return control_->finished; });
    if (std::chrono::steady_clock::now() >= deadline)
      break;
  }
  if (ended)
    thread_.join();
  else
    thread_.detach();
  control_.reset();
}

} // namespace ce
