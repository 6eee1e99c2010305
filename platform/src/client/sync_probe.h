// A device process's side of the device barrier (host/device_sync.h): the host's probe marks
// every message queue of the process but the one it names, tells the host at once which threads
// it waits for (SyncMarked), and each of those threads says when it has handled what it held
// (SyncReached). Both notices carry the process's queue activity, so that the host learns
// whether anything was added to a queue meanwhile.
#pragma once

#include "../protocol/message.h"

#include <functional>

namespace ce {

// Sends a notice to the host; false when the connection has gone.
using SyncNoticeSender = std::function<bool(const protocol::Message &)>;

// Answers a SyncProbe event; a malformed one is ignored. Runs on the connection's reader thread.
void answerSyncProbe(protocol::Message &probe, const SyncNoticeSender &send);

} // namespace ce
