#include "window_client.h"

#include "../client/host_connection.h"
#include "../kernel/thread_message_queue.h"
#include "window_call.h"
#include "window_messages.h"
#include "window_procedure_table.h"

#include <ce/core/utf.h>
#include <ce/kernel.h>

#include <vector>

namespace ce {

namespace {

void onPaintState(windowing::PaintStateEvent &event) {
  if (auto queue = ThreadMessageQueue::find(event.thread)) {
    if (event.needsPaint)
      queue->invalidate(event.hwnd);
    else
      queue->validate(event.hwnd);
  }
}

void onInput(windowing::InputMessageEvent &event) {
  const protocol::ThreadMessage &input = event.message;
  if (auto queue = ThreadMessageQueue::find(input.thread))
    queue->postInput(
        MSG{input.hwnd, input.message, input.wParam, input.lParam, GetTickCount(), event.point});
}

} // namespace

WindowClient &WindowClient::instance() {
  static auto *client = new WindowClient; // the reader thread may use it until exit
  return *client;
}

WindowClient::WindowClient() {
  auto &connection = HostConnection::instance();
  connection.setSentMessageHandler([this](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatch(hwnd, message, wParam, lParam);
  });
  connection.onEvent<windowing::PaintStateEvent>(&onPaintState);
  connection.onEvent<windowing::InputMessageEvent>(&onInput);
  ThreadMessageQueue::setThreadEndHook(&WindowClient::threadEnded);
}

void WindowClient::threadEnded(DWORD thread) {
  WindowClient &client = instance();
  std::vector<HWND> gone;
  {
    std::lock_guard lock(client.mutex_);
    for (const auto &[hwnd, local] : client.windows_)
      if (local.thread == thread)
        gone.push_back(hwnd);
  }
  if (gone.empty())
    return; // most threads make no window: the host hears of them not at all
  for (HWND hwnd : gone)
    client.removeWindow(hwnd);
  auto &connection = HostConnection::instance();
  if (!connection.isConnected())
    return; // a host that has gone took the windows along
  WindowCall::notify(thread, windowing::ThreadEndedNotice{});
}

bool WindowClient::addClass(const ClassInfo &info) {
  std::lock_guard lock(mutex_);
  return classes_.emplace(foldCase(info.name), info).second;
}

bool WindowClient::removeClass(std::u16string_view name) {
  std::lock_guard lock(mutex_);
  return classes_.erase(foldCase(std::u16string(name))) != 0;
}

std::optional<WindowClient::ClassInfo> WindowClient::findClass(std::u16string_view name) const {
  std::lock_guard lock(mutex_);
  auto it = classes_.find(foldCase(std::u16string(name)));
  if (it == classes_.end())
    return std::nullopt;
  return it->second;
}

void WindowClient::addWindow(HWND hwnd, DWORD thread, HBRUSH background) {
  std::lock_guard lock(mutex_);
  windows_[hwnd] = Local{thread, background};
}

void WindowClient::removeWindow(HWND hwnd) {
  std::optional<DWORD> thread;
  {
    std::lock_guard lock(mutex_);
    if (auto it = windows_.find(hwnd); it != windows_.end()) {
      thread = it->second.thread;
      windows_.erase(it);
    }
  }
  WindowProcedureTable::instance().remove(hwnd);
  // A window that has gone has nothing left to paint. The host tells nobody when a window with
  // a pending update goes, so its WM_PAINT would otherwise come back on every GetMessageW of the
  // thread, ahead of its timers, for ever.
  if (thread)
    if (auto queue = ThreadMessageQueue::find(*thread))
      queue->validate(hwnd);
}

std::optional<DWORD> WindowClient::threadOf(HWND hwnd) const {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(hwnd);
  if (it == windows_.end())
    return std::nullopt;
  return it->second.thread;
}

HBRUSH WindowClient::backgroundOf(HWND hwnd) const {
  std::lock_guard lock(mutex_);
  auto it = windows_.find(hwnd);
  return it == windows_.end() ? nullptr : it->second.background;
}

LRESULT WindowClient::dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hwnd)
    return 0;
  const auto procedure = WindowProcedureTable::instance().procedure(hwnd);
  if (!procedure || !*procedure)
    return 0;
  const LRESULT result = (*procedure)(hwnd, message, wParam, lParam);
  // A window's procedure and user data stay until its WM_DESTROY has run.
  if (message == WM_DESTROY)
    removeWindow(hwnd);
  return result;
}

} // namespace ce
