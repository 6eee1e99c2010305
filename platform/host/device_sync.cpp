#include "device_sync.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

#include <algorithm>

namespace ce::host {

using protocol::SyncMarkedNotice;
using protocol::SyncReachedNotice;
using protocol::SyncRequest;

DeviceSync::DeviceSync(HostServer &server, AfterQueuedInput afterQueuedInput)
    : server_(server), afterQueuedInput_(std::move(afterQueuedInput)),
      timeouts_([&server, this](std::uint64_t run) {
        server.runOnLoop([this, run] { finish(run, false); });
      }) {
  server.on<SyncRequest>([this](HostRequest &r, SyncRequest &sync) {
    request(r, sync);
    return protocol::Deferred{};
  });
  // Notices: a malformed or stale one is dropped.
  server.on<SyncMarkedNotice>([this](HostRequest &r, SyncMarkedNotice &notice) {
    marked(r, notice);
    return ERROR_SUCCESS;
  });
  server.on<SyncReachedNotice>([this](HostRequest &r, SyncReachedNotice &notice) {
    reached(r, notice);
    return ERROR_SUCCESS;
  });
  server.addObserver(this);
}

void DeviceSync::request(HostRequest &request, const SyncRequest &sync) {
  const std::uint64_t id = nextRun_++;
  Run &run = runs_[id];
  run.caller = request.defer<SyncRequest>();
  // Only a device process's own thread is left out; a tool has none on the device.
  run.callerProcess = request.peer().isTool() ? 0 : request.peer().pid();
  run.callerThread = run.callerProcess ? sync.thread : 0;
  timeouts_.arm(id, DeadlineTimer::Clock::now() + std::chrono::milliseconds(sync.timeoutMs));
  afterQueuedInput_([this, id] { inputRouted(id); });
}

void DeviceSync::inputRouted(std::uint64_t id) {
  auto it = runs_.find(id);
  if (it == runs_.end())
    return;
  it->second.inputRouted = true;
  startRound(id);
}

void DeviceSync::startRound(std::uint64_t id) {
  Run &run = runs_.at(id);
  probes_.erase(run.probe);
  ++run.rounds;
  run.probe = nextProbe_++;
  if (run.probe == 0)
    run.probe = nextProbe_++;
  probes_[run.probe] = id;
  run.processes.clear();
  run.eventsAtRound = server_.eventsSent();
  run.probing = true;
  std::vector<DWORD> pids;
  for (const ProcessRecord *record : server_.processes().list())
    pids.push_back(record->pid);
  for (const DWORD pid : pids) {
    PeerConnection *peer = server_.peerOfProcess(pid);
    if (!peer)
      continue; // not connected (yet): it holds nothing the host gave it
    run.processes[pid];
    // A peer that cannot take the probe is dropped, and its end takes it out of the round.
    server_.sendEvent(*peer, protocol::SyncProbeEvent{
                                 run.probe, pid == run.callerProcess ? run.callerThread : 0});
  }
  run.probing = false;
  check(id);
}

DeviceSync::ProcessProbe *DeviceSync::probed(std::uint32_t probe, DWORD pid, std::uint64_t *id) {
  const auto run = probes_.find(probe);
  if (run == probes_.end())
    return nullptr;
  auto &processes = runs_.at(run->second).processes;
  const auto process = processes.find(pid);
  if (process == processes.end())
    return nullptr;
  *id = run->second;
  return &process->second;
}

void DeviceSync::marked(HostRequest &request, const SyncMarkedNotice &notice) {
  std::map<DWORD, ThreadWork> waiting;
  for (const protocol::MarkedThread &thread : notice.threads)
    waiting[thread.thread] = ThreadWork{thread.posted, thread.input, thread.paint};
  std::uint64_t id = 0;
  ProcessProbe *process = probed(notice.probe, request.peer().pid(), &id);
  if (!process || process->answered)
    return;
  process->answered = true;
  process->activityAtMark = notice.activity;
  process->activity = std::max(process->activity, notice.activity);
  for (const DWORD thread : process->reachedEarly)
    waiting.erase(thread);
  process->reachedEarly.clear();
  process->waiting = std::move(waiting);
  check(id);
}

void DeviceSync::reached(HostRequest &request, const SyncReachedNotice &notice) {
  std::uint64_t id = 0;
  ProcessProbe *process = probed(notice.probe, request.peer().pid(), &id);
  if (!process)
    return;
  process->activity = std::max(process->activity, notice.activity);
  // The thread answers on its own; the process's list of marked threads may come after.
  if (!process->answered) {
    if (process->reachedEarly.size() < kMaxMarkedThreads)
      process->reachedEarly.insert(notice.thread);
    return;
  }
  process->waiting.erase(notice.thread);
  check(id);
}

void DeviceSync::check(std::uint64_t id) {
  const auto it = runs_.find(id);
  if (it == runs_.end() || !it->second.inputRouted || it->second.probing)
    return;
  const Run &run = it->second;
  bool quiet = server_.eventsSent() == run.eventsAtRound;
  for (const auto &[pid, process] : run.processes) {
    if (!process.answered || !process.waiting.empty())
      return;
    quiet = quiet && process.activity == process.activityAtMark;
  }
  if (quiet)
    finish(id, true);
  else
    startRound(id);
}

void DeviceSync::finish(std::uint64_t id, bool settled) {
  const auto it = runs_.find(id);
  if (it == runs_.end())
    return;
  timeouts_.cancel(id);
  const Run &run = it->second;
  server_.answerLater(run.caller, protocol::Answer<SyncRequest::Reply>(SyncRequest::Reply{
                                      settled, run.rounds, settled ? u"" : toUtf16(pending(run))}));
  probes_.erase(run.probe);
  runs_.erase(it);
}

std::string DeviceSync::processName(DWORD pid) {
  const ProcessRecord *record = server_.processes().find(pid);
  return "process " + std::to_string(pid) +
         (record && !record->devicePath.empty() ? " (" + toUtf8(record->devicePath) + ")" : "");
}

std::string DeviceSync::pending(const Run &run) {
  if (!run.inputRouted)
    return "input queued before the barrier is still being played";
  std::string text;
  const auto line = [&text](const std::string &what) { text += (text.empty() ? "" : "\n") + what; };
  for (const auto &[pid, process] : run.processes) {
    if (!process.answered) {
      line(processName(pid) + " has not answered the probe");
      continue;
    }
    for (const auto &[thread, work] : process.waiting)
      line("thread " + std::to_string(thread) + " of " + processName(pid) +
           " has not come back to its message loop (it held " + std::to_string(work.posted) +
           " posted and " + std::to_string(work.input) + " input messages and " +
           std::to_string(work.paint) + " windows to paint)");
  }
  if (text.empty())
    line("the device kept busy: each of " + std::to_string(run.rounds) +
         " rounds of probes saw new work handed out");
  return text;
}

void DeviceSync::onProcessExit(DWORD pid) {
  std::vector<std::uint64_t> affected;
  for (auto &[id, run] : runs_)
    if (run.processes.erase(pid) != 0)
      affected.push_back(id);
  for (const std::uint64_t id : affected)
    check(id);
}

} // namespace ce::host
