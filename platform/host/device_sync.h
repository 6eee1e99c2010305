// The device barrier behind `device sync`: a Sync request is answered once the device has
// settled, which a test waits for instead of sleeping:
//   1. every input that the input verbs queued before the request has been routed to the thread
//      of its window (the input player's line is waited through);
//   2. every device process is probed (SyncProbe): each thread that holds work or is inside a
//      message is marked, and says when it is back in its message loop with nothing left that
//      it would take (SyncReached): sent, posted and input messages handled, and its windows
//      painted, since WM_PAINT comes only when nothing else waits;
//   3. the round counts only when, meanwhile, the host sent no event (a message, input, a paint
//      state) and no process added to one of its own queues; otherwise work was passed on (to
//      another thread or process, or to a window to paint) and another round follows.
// The requesting thread itself is left out, and so are the threads that a test has made
// watchers (ThreadMessageQueue::becomeWatcher) while they are not pumping. A thread that never
// comes back to its loop holds the barrier up until the timeout, which names it. Timers, threads
// without a message queue and programs that have not connected yet are not part of it.
//
// The answer says whether the device settled, with the number of rounds it took, or, once the
// request's timeout has passed, that it did not, with a description of what is still pending. A
// timeout is 1 ms to kMaxTimeoutMs; anything else is refused with ERROR_INVALID_PARAMETER. Runs
// on the loop thread.
#pragma once

#include "../src/protocol/sync_messages.h"
#include "deadline_timer.h"
#include "host_server.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <unordered_map>

namespace ce::host {

class DeviceSync : public ProcessObserver {
public:
  static constexpr std::uint32_t kMaxTimeoutMs = protocol::SyncRequest::kMaxTimeoutMs;
  // Most threads one process may report in a SyncMarked notice.
  static constexpr std::uint32_t kMaxMarkedThreads = protocol::SyncMarkedNotice::kMaxThreads;
  // Calls back, on the loop thread, once the input queued so far has been routed.
  using AfterQueuedInput = std::function<void(std::function<void()>)>;

  DeviceSync(HostServer &server, AfterQueuedInput afterQueuedInput);

  void onProcessExit(DWORD pid) override;

private:
  struct ThreadWork {
    std::uint32_t posted = 0;
    std::uint32_t input = 0;
    std::uint32_t paint = 0;
  };
  // One process in the current round.
  struct ProcessProbe {
    bool answered = false; // its SyncMarked has come
    std::uint64_t activityAtMark = 0;
    std::uint64_t activity = 0; // the latest the process reported
    std::map<DWORD, ThreadWork> waiting;
    std::set<DWORD> reachedEarly; // SyncReached that overtook the SyncMarked
  };
  struct Run {
    protocol::DeferredReply<protocol::SyncRequest::Reply> caller;
    DWORD callerProcess = 0;
    DWORD callerThread = 0;
    bool inputRouted = false;
    bool probing = false; // a round's probes are going out: it cannot end yet
    std::uint32_t rounds = 0;
    std::uint32_t probe = 0;
    std::uint64_t eventsAtRound = 0;
    std::map<DWORD, ProcessProbe> processes;
  };

  void request(HostRequest &request, const protocol::SyncRequest &sync);
  void marked(HostRequest &request, const protocol::SyncMarkedNotice &notice);
  void reached(HostRequest &request, const protocol::SyncReachedNotice &notice);
  void inputRouted(std::uint64_t run);
  void startRound(std::uint64_t run);
  // Finishes the run or starts its next round once every probed thread has answered.
  void check(std::uint64_t run);
  void finish(std::uint64_t run, bool settled);
  // The process of the current round of the run that sent `probe`; null for a stale probe.
  ProcessProbe *probed(std::uint32_t probe, DWORD pid, std::uint64_t *run);
  std::string pending(const Run &run);
  std::string processName(DWORD pid);

  HostServer &server_;
  AfterQueuedInput afterQueuedInput_;
  std::map<std::uint64_t, Run> runs_;
  std::unordered_map<std::uint32_t, std::uint64_t> probes_; // current probe -> its run
  std::uint64_t nextRun_ = 1;
  std::uint32_t nextProbe_ = 1;
  DeadlineTimer timeouts_; // declared last: its thread stops before the rest goes
};

} // namespace ce::host
