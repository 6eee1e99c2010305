#include "device_sync.h"

#include <ce/core/utf.h>
#include <ce/errors.h>

#include <algorithm>

namespace ce::host {

using protocol::MessageType;
using protocol::MessageWriter;

DeviceSync::DeviceSync(HostServer &server, AfterQueuedInput afterQueuedInput)
    : server_(server), afterQueuedInput_(std::move(afterQueuedInput)),
      timeouts_([&server, this](std::uint64_t run) {
        server.runOnLoop([this, run] { finish(run, ERROR_TIMEOUT); });
      }) {
  server.registerHandler(MessageType::Sync, [this](HostRequest &r) { request(r); });
  server.registerHandler(MessageType::SyncMarked, [this](HostRequest &r) { marked(r); });
  server.registerHandler(MessageType::SyncReached, [this](HostRequest &r) { reached(r); });
  server.addObserver(this);
}

void DeviceSync::request(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t timeoutMs = 0, thread = 0;
  if (!reader.u32(timeoutMs) || !reader.u32(thread) || !reader.complete() || timeoutMs == 0 ||
      timeoutMs > kMaxTimeoutMs) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  request.defer();
  const std::uint64_t id = nextRun_++;
  Run &run = runs_[id];
  run.peer = request.peer().id();
  run.type = request.message().header.type;
  run.requestId = request.message().header.requestId;
  // Only a device process's own thread is left out; a tool has none on the device.
  run.callerProcess = request.peer().isTool() ? 0 : request.peer().pid();
  run.callerThread = run.callerProcess ? thread : 0;
  timeouts_.arm(id, DeadlineTimer::Clock::now() + std::chrono::milliseconds(timeoutMs));
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
    MessageWriter probe;
    probe.u32(run.probe).u32(pid == run.callerProcess ? run.callerThread : 0);
    protocol::Message message;
    // A peer that cannot take the probe is dropped, and its end takes it out of the round.
    if (probe.finish(+MessageType::SyncProbe, 0, 0, message))
      server_.send(*peer, std::move(message));
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

void DeviceSync::marked(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t probe = 0, count = 0;
  std::uint64_t activity = 0;
  if (!reader.u32(probe) || !reader.u64(activity) || !reader.u32(count) ||
      count > kMaxMarkedThreads)
    return;
  std::map<DWORD, ThreadWork> waiting;
  for (std::uint32_t i = 0; i < count; ++i) {
    std::uint32_t thread = 0;
    ThreadWork work;
    if (!reader.u32(thread) || !reader.u32(work.posted) || !reader.u32(work.input) ||
        !reader.u32(work.paint))
      return;
    waiting[thread] = work;
  }
  if (!reader.complete())
    return;
  std::uint64_t id = 0;
  ProcessProbe *process = probed(probe, request.peer().pid(), &id);
  if (!process || process->answered)
    return;
  process->answered = true;
  process->activityAtMark = activity;
  process->activity = std::max(process->activity, activity);
  for (const DWORD thread : process->reachedEarly)
    waiting.erase(thread);
  process->reachedEarly.clear();
  process->waiting = std::move(waiting);
  check(id);
}

void DeviceSync::reached(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t probe = 0, thread = 0;
  std::uint64_t activity = 0;
  if (!reader.u32(probe) || !reader.u32(thread) || !reader.u64(activity) || !reader.complete())
    return;
  std::uint64_t id = 0;
  ProcessProbe *process = probed(probe, request.peer().pid(), &id);
  if (!process)
    return;
  process->activity = std::max(process->activity, activity);
  // The thread answers on its own; the process's list of marked threads may come after.
  if (!process->answered) {
    if (process->reachedEarly.size() < kMaxMarkedThreads)
      process->reachedEarly.insert(thread);
    return;
  }
  process->waiting.erase(thread);
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
    finish(id, ERROR_SUCCESS);
  else
    startRound(id);
}

void DeviceSync::finish(std::uint64_t id, DWORD status) {
  const auto it = runs_.find(id);
  if (it == runs_.end())
    return;
  timeouts_.cancel(id);
  const Run &run = it->second;
  MessageWriter answer;
  answer.u32(run.rounds).string(status == ERROR_SUCCESS ? u"" : toUtf16(pending(run)));
  server_.replyLater(run.peer, run.type, run.requestId, status, &answer);
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
