// Thread message functions over the per-thread queues.
#include "kernel/thread_message_queue.h"

#include <ce/errors.h>
#include <ce/messages.h>

namespace {

using ce::ThreadMessageQueue;

// The caller's queue; null with ERROR_NOT_ENOUGH_MEMORY when the host cannot create it.
std::shared_ptr<ThreadMessageQueue> ownQueue() {
  auto queue = ThreadMessageQueue::current();
  if (!queue)
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return queue;
}

} // namespace

BOOL PostThreadMessageW(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam) {
  // Only threads of this process that have a queue can receive; other ids, dead threads and
  // threads without a queue yet fail alike.
  auto queue = ThreadMessageQueue::find(threadId);
  if (!queue || !queue->post(nullptr, message, wParam, lParam)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return TRUE;
}

BOOL GetMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax) {
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  auto queue = ownQueue();
  if (!queue)
    return -1;
  queue->get(*msg, ThreadMessageQueue::Filter{hwnd, filterMin, filterMax});
  return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL PeekMessageW(LPMSG msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeMessage) {
  auto queue = ownQueue(); // created even when msg is null, so that a thread can prepare one
  if (!queue)
    return FALSE;
  if (!msg) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return queue->peek(*msg, ThreadMessageQueue::Filter{hwnd, filterMin, filterMax},
                     (removeMessage & PM_REMOVE) != 0)
             ? TRUE
             : FALSE;
}

void PostQuitMessage(int exitCode) {
  if (auto queue = ThreadMessageQueue::current())
    queue->postQuit(exitCode);
}
