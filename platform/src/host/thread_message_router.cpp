#include "thread_message_router.h"

#include "../windowing/message_data_field.h"

#include <ce/errors.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace ce::host {

using protocol::MessageType;
using protocol::MessageWriter;

ThreadMessageRouter::ThreadMessageRouter(HostServer &server) : server_(server) {
  server.registerHandler(MessageType::PostToThread, [this](HostRequest &r) { postToThread(r); });
  server.registerHandler(MessageType::SendResult, [this](HostRequest &r) { sendResult(r); });
  server.addObserver(this);
}

DWORD ThreadMessageRouter::ownerOfThread(DWORD tid) const {
  if (tid == 0)
    return 0;
  // A thread seen before is checked with one system call: tgkill with no signal succeeds only
  // while that process has a thread of that id.
  if (const auto known = threadOwners_.find(tid); known != threadOwners_.end()) {
    if (::syscall(SYS_tgkill, static_cast<pid_t>(known->second), static_cast<pid_t>(tid), 0) == 0 &&
        server_.processes().find(known->second))
      return known->second;
    threadOwners_.erase(known);
  }
  // /proc/<tid> answers for any thread, not only for process leaders.
  std::ifstream status("/proc/" + std::to_string(tid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    unsigned long tgid = 0;
    if (std::sscanf(line.c_str(), "Tgid: %lu", &tgid) == 1) {
      const DWORD pid = static_cast<DWORD>(tgid);
      if (!server_.processes().find(pid))
        return 0;
      if (threadOwners_.size() >= kMaxKnownThreads)
        threadOwners_.clear();
      threadOwners_[tid] = pid;
      return pid;
    }
  }
  return 0;
}

bool ThreadMessageRouter::passesAsNumbers(DWORD sender, DWORD target, std::uint32_t message,
                                          std::int64_t lParam) {
  return sender == target || lParam == 0 || !MessageMarshaller::carriesData(message);
}

DWORD ThreadMessageRouter::post(DWORD pid, DWORD tid, std::uint64_t hwnd, std::uint32_t message,
                                std::uint64_t wParam, std::int64_t lParam) {
  PeerConnection *target = server_.peerOfProcess(pid);
  if (!target)
    return ERROR_INVALID_PARAMETER;
  if (target->queued() >= kPostQuota)
    return ERROR_NOT_ENOUGH_QUOTA;
  MessageWriter event;
  event.u32(tid).u64(hwnd).u32(message).u64(wParam).i64(lParam);
  protocol::Message packet;
  if (!event.finish(+MessageType::DeliverPost, 0, 0, packet))
    return ERROR_NOT_ENOUGH_MEMORY;
  // Once queued here it goes out before anything else the host sends that process, and so
  // before any later post or send of the same sender.
  server_.sendAfterAnswer(*target, std::move(packet));
  return ERROR_SUCCESS;
}

void ThreadMessageRouter::send(DWORD pid, DWORD tid, std::uint64_t hwnd, std::uint32_t message,
                               std::uint64_t wParam, std::int64_t lParam, std::uint64_t replyPeer,
                               std::uint32_t replyType, std::uint32_t requestId,
                               const std::vector<std::uint8_t> *packedData) {
  PeerConnection *target = server_.peerOfProcess(pid);
  if (!target) {
    server_.replyLater(replyPeer, replyType, requestId, ERROR_INVALID_PARAMETER);
    return;
  }
  std::uint32_t id = nextSend_++;
  if (id == 0)
    id = nextSend_++;
  MessageWriter event;
  event.u32(id).u32(tid).u64(hwnd).u32(message).u64(wParam).i64(lParam);
  windowing::writeMessageData(event, packedData);
  protocol::Message packet;
  if (!event.finish(+MessageType::DeliverSend, 0, 0, packet)) {
    server_.replyLater(replyPeer, replyType, requestId, ERROR_NOT_ENOUGH_MEMORY);
    return;
  }
  pending_[id] = Pending{pid, replyPeer, replyType, requestId};
  if (!server_.send(*target, std::move(packet))) {
    // The target was dropped; onProcessExit has already answered for it.
    pending_.erase(id);
  }
}

void ThreadMessageRouter::postToThread(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t tid = 0, message = 0;
  std::uint64_t hwnd = 0, wParam = 0;
  std::int64_t lParam = 0;
  if (!reader.u32(tid) || !reader.u64(hwnd) || !reader.u32(message) || !reader.u64(wParam) ||
      !reader.i64(lParam) || !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  const DWORD owner = ownerOfThread(tid);
  if (owner == 0 || !passesAsNumbers(request.peer().pid(), owner, message, lParam)) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  request.reply(post(owner, tid, hwnd, message, wParam, lParam));
}

void ThreadMessageRouter::sendResult(HostRequest &request) {
  auto reader = request.reader();
  std::uint32_t id = 0, status = 0;
  std::int64_t result = 0;
  std::vector<std::uint8_t> replyData;
  if (!reader.u32(id) || !reader.u32(status) || !reader.i64(result) || !reader.blob(replyData) ||
      !reader.complete()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  auto it = pending_.find(id);
  if (it == pending_.end() || it->second.targetPid != request.peer().pid()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  const Pending done = it->second;
  pending_.erase(it);
  MessageWriter answer;
  answer.i64(result).blob(replyData);
  server_.replyLater(done.replyPeer, done.replyType, done.requestId, status, &answer);
  request.reply(ERROR_SUCCESS);
}

void ThreadMessageRouter::onProcessExit(DWORD pid) {
  std::erase_if(threadOwners_, [pid](const auto &entry) { return entry.second == pid; });
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->second.targetPid == pid) {
      const Pending done = it->second;
      it = pending_.erase(it);
      server_.replyLater(done.replyPeer, done.replyType, done.requestId, ERROR_BROKEN_PIPE);
    } else {
      ++it;
    }
  }
}

} // namespace ce::host
