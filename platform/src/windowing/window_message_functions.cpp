// Messages to windows: posted and sent, within the thread, the process or the device, and the
// timers that put WM_TIMER into their owner's queue.
#include "../controls/edit_messages.h"
#include "../kernel/thread_message_queue.h"
#include "../protocol/named_object_messages.h"
#include "message_marshaller.h"
#include "window_call.h"
#include "window_client.h"

#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/windows_api.h>

#include <atomic>

using ce::WindowClient;

namespace {

// Ids of windowless timers, picked for SetTimer(NULL, 0, ...).
std::atomic<UINT_PTR> nextThreadTimer{0x7F00};

} // namespace

UINT RegisterWindowMessageW(LPCWSTR name) {
  if (!name || !*name) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const auto registered =
      ce::HostConnection::instance().request(ce::protocol::RegisterMessageRequest{name});
  return registered ? registered->message : 0;
}

BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (!hwnd) {
    // A null window posts a thread message to the calling thread.
    auto queue = ce::ThreadMessageQueue::current();
    return queue && queue->post(nullptr, message, wParam, lParam) ? TRUE : FALSE;
  }
  if (const auto thread = WindowClient::instance().threadOf(hwnd)) {
    if (auto queue = ce::ThreadMessageQueue::find(*thread))
      return queue->post(hwnd, message, wParam, lParam) ? TRUE : FALSE;
  } else if ((ce::MessageMarshaller::carriesData(message) && lParam) ||
             ce::editMessagePointsIntoSender(message, wParam, lParam)) {
    SetLastError(ERROR_INVALID_PARAMETER); // its pointer means nothing in another process
    return FALSE;
  }
  // Answered once the host has queued it for the window's process: the receiver never holds
  // the poster.
  return ce::WindowCall::post(ce::windowing::PostMessageRequest{hwnd, message, wParam, lParam})
             ? TRUE
             : FALSE;
}

LRESULT SendMessageW(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto thread = WindowClient::instance().threadOf(hwnd);
  if (thread && *thread == GetCurrentThreadId())
    return WindowClient::instance().dispatch(hwnd, message, wParam, lParam);
  // Edit messages that point into the sender's memory are not carried to another process.
  if (!thread && ce::editMessagePointsIntoSender(message, wParam, lParam)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  // Another process gets a copy of the data lParam points to; another thread of this process
  // gets the pointer itself.
  std::optional<ce::PackedMessage> packed;
  if (!thread && ce::MessageMarshaller::carriesData(message)) {
    packed = ce::MessageMarshaller::pack(message, wParam, lParam);
    if (!packed) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
  }
  // Another thread: the owner handles it in its GetMessageW/PeekMessageW; meanwhile this
  // thread handles what is sent to it, so two threads sending to each other never deadlock.
  ce::windowing::SendMessageRequest request{hwnd, message, wParam, lParam, {}};
  if (packed) {
    request.lParam = packed->lParam;
    request.data = {true, std::move(packed->data)};
  }
  const auto answer = ce::windowRequest(request, true);
  if (!answer)
    return 0;
  if (!packed)
    return static_cast<LRESULT>(answer->result);
  return ce::MessageMarshaller::applyReply(message, wParam, lParam,
                                           static_cast<LRESULT>(answer->result), answer->data);
}

UINT_PTR SetTimer(HWND hwnd, UINT_PTR id, UINT elapseMs, TIMERPROC callback) {
  std::shared_ptr<ce::ThreadMessageQueue> queue;
  if (!hwnd) {
    queue = ce::ThreadMessageQueue::current();
    if (id == 0)
      id = nextThreadTimer.fetch_add(1);
  } else if (const auto thread = WindowClient::instance().threadOf(hwnd)) {
    queue = ce::ThreadMessageQueue::find(*thread);
  } else {
    SetLastError(IsWindow(hwnd) ? ERROR_ACCESS_DENIED : ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  if (!queue) {
    SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return 0;
  }
  queue->setTimer(hwnd, id, elapseMs, reinterpret_cast<LPARAM>(callback));
  return hwnd ? (id ? id : 1) : id;
}

BOOL KillTimer(HWND hwnd, UINT_PTR id) {
  std::shared_ptr<ce::ThreadMessageQueue> queue;
  if (!hwnd)
    queue = ce::ThreadMessageQueue::current();
  else if (const auto thread = WindowClient::instance().threadOf(hwnd))
    queue = ce::ThreadMessageQueue::find(*thread);
  if (!queue || !queue->killTimer(hwnd, id)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}
