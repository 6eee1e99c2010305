// Thread message functions over the per-thread queues.
#include "kernel/thread_message_queue.h"

#include "client/host_connection.h"
#include "windowing/message_marshaller.h"

#include <ce/core/device_root.h>

#include <sys/syscall.h>
#include <unistd.h>

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
  // Threads that have a queue can receive: those of this process directly, those of other
  // device processes through the host. Other ids, dead threads and threads without a queue yet
  // fail alike.
  if (auto queue = ThreadMessageQueue::find(threadId)) {
    if (queue->post(nullptr, message, wParam, lParam))
      return TRUE;
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // tgkill without a signal succeeds only for a live thread of this process.
  const bool ownThread =
      threadId != 0 && ::syscall(SYS_tgkill, ::getpid(), static_cast<pid_t>(threadId), 0) == 0;
  // A pointer means nothing in another process; such messages go there only by SendMessageW.
  const bool pointer = lParam != 0 && ce::MessageMarshaller::carriesData(message);
  if (threadId != 0 && !ownThread && !pointer && !ce::DeviceRoot::path().empty() &&
      ce::HostConnection::instance().postToThread(threadId, nullptr, message, wParam, lParam))
    return TRUE;
  SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
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
