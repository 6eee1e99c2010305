#include "sync_probe.h"

#include "../kernel/thread_message_queue.h"
#include "../protocol/sync_messages.h"

namespace ce {

using protocol::Message;
using Standing = ThreadMessageQueue::SyncStanding;

namespace {

template <class Notice> void sendNotice(const SyncNoticeSender &send, const Notice &notice) {
  Message message;
  if (protocol::encode(message, protocol::typeOf<Notice>(), 0, 0, notice))
    send(message);
}

} // namespace

void answerSyncProbe(Message &probe, const SyncNoticeSender &send) {
  protocol::SyncProbeEvent event;
  if (!protocol::decode(probe, event))
    return;
  const std::uint32_t id = event.probe;
  const DWORD leftOut = event.leftOut;
  // Read before marking: whatever is added from here on counts as activity after the mark.
  const std::uint64_t activity = ThreadMessageQueue::activity();
  protocol::SyncMarkedNotice marked{id, activity, {}};
  for (const auto &queue : ThreadMessageQueue::all()) {
    const DWORD thread = queue->threadId();
    if (thread == leftOut)
      continue;
    const auto mark = queue->markForSync([send, id, thread] {
      sendNotice(send, protocol::SyncReachedNotice{id, thread, ThreadMessageQueue::activity()});
    });
    if (mark.standing == Standing::Marked)
      marked.threads.push_back({thread, mark.posted, mark.input, mark.paint});
  }
  sendNotice(send, marked);
}

} // namespace ce
