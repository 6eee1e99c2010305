#include "sync_probe.h"

#include "../kernel/thread_message_queue.h"
#include "../protocol/message_reader.h"
#include "../protocol/message_type.h"
#include "../protocol/message_writer.h"

namespace ce {

using protocol::Message;
using protocol::MessageReader;
using protocol::MessageType;
using protocol::MessageWriter;
using Standing = ThreadMessageQueue::SyncStanding;

void answerSyncProbe(const Message &probe, const SyncNoticeSender &send) {
  MessageReader reader(probe.payload);
  std::uint32_t id = 0, leftOut = 0;
  if (!reader.u32(id) || !reader.u32(leftOut) || !reader.complete())
    return;
  // Read before marking: whatever is added from here on counts as activity after the mark.
  const std::uint64_t activity = ThreadMessageQueue::activity();
  struct Entry {
    DWORD thread;
    ThreadMessageQueue::SyncMark mark;
  };
  std::vector<Entry> entries;
  for (const auto &queue : ThreadMessageQueue::all()) {
    const DWORD thread = queue->threadId();
    if (thread == leftOut)
      continue;
    const auto mark = queue->markForSync([send, id, thread] {
      MessageWriter reached;
      reached.u32(id).u32(thread).u64(ThreadMessageQueue::activity());
      Message notice;
      if (reached.finish(+MessageType::SyncReached, 0, 0, notice))
        send(notice);
    });
    if (mark.standing == Standing::Marked)
      entries.push_back(Entry{thread, mark});
  }
  MessageWriter marked;
  marked.u32(id).u64(activity).u32(static_cast<std::uint32_t>(entries.size()));
  for (const Entry &entry : entries)
    marked.u32(entry.thread).u32(entry.mark.posted).u32(entry.mark.input).u32(entry.mark.paint);
  Message notice;
  if (marked.finish(+MessageType::SyncMarked, 0, 0, notice))
    send(notice);
}

} // namespace ce
