#include <ce/host/device_barrier.h>

#include "../kernel/thread.h"
#include "../kernel/thread_message_queue.h"
#include "../protocol/sync_messages.h"
#include "host_connection.h"

#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/kernel.h>

#include <algorithm>
#include <climits>

namespace ce {

DeviceBarrier DeviceBarrier::wait(std::uint32_t timeoutMs) {
  DeviceBarrier result;
  auto &connection = HostConnection::instance();
  // The host answers after the timeout at the latest; a limit on answers waits that much longer.
  const int limit = connection.answerLimit();
  if (limit > 0)
    connection.setAnswerLimit(
        static_cast<int>(std::min<long long>(INT_MAX, static_cast<long long>(limit) + timeoutMs)));
  // Messages sent to the waiting thread still run, so that a sender is not held up by the wait.
  const auto answer =
      connection.request(protocol::SyncRequest{timeoutMs, Thread::currentId()}, true);
  const DWORD error = GetLastError();
  if (limit > 0)
    connection.setAnswerLimit(limit);
  if (!answer) {
    SetLastError(error);
    // Out of reach (the outcome stays Unreachable), or refused.
    if (error != ERROR_BROKEN_PIPE && error != ERROR_TIMEOUT)
      result.outcome = Outcome::Refused;
    return result;
  }
  result.rounds = answer->rounds;
  result.pending = toUtf8(answer->pending);
  result.outcome = answer->settled ? Outcome::Settled : Outcome::TimedOut;
  return result;
}

void DeviceBarrier::becomeWatcher() {
  if (const auto queue = ThreadMessageQueue::current())
    queue->becomeWatcher();
}

void DeviceBarrier::setPumping(bool pumping) {
  if (const auto queue = ThreadMessageQueue::current())
    queue->setPumping(pumping);
}

int DeviceBarrier::queueWakeDescriptor() {
  const auto queue = ThreadMessageQueue::current();
  return queue ? queue->wakeDescriptor() : -1;
}

} // namespace ce
