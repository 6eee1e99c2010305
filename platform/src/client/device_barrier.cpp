#include <ce/host/device_barrier.h>

#include "../kernel/thread.h"
#include "../kernel/thread_message_queue.h"
#include "../protocol/message_reader.h"
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
  protocol::MessageWriter payload;
  payload.u32(timeoutMs).u32(Thread::currentId());
  // The host answers after the timeout at the latest; a limit on answers waits that much longer.
  const int limit = connection.answerLimit();
  if (limit > 0)
    connection.setAnswerLimit(
        static_cast<int>(std::min<long long>(INT_MAX, static_cast<long long>(limit) + timeoutMs)));
  HostConnection::Reply reply;
  // Messages sent to the waiting thread still run, so that a sender is not held up by the wait.
  const bool answered = connection.call(protocol::MessageType::Sync, payload, reply, true);
  const DWORD error = GetLastError();
  if (limit > 0)
    connection.setAnswerLimit(limit);
  if (!answered) {
    SetLastError(error);
    return result;
  }
  protocol::MessageReader reader(reply.message.payload);
  std::u16string pending;
  reader.u32(result.rounds);
  reader.string(pending);
  result.pending = toUtf8(pending);
  switch (reply.status) {
  case ERROR_SUCCESS:
    result.outcome = Outcome::Settled;
    break;
  case ERROR_TIMEOUT:
    result.outcome = Outcome::TimedOut;
    break;
  default:
    result.outcome = Outcome::Refused;
    break;
  }
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
