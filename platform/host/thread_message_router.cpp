#include "thread_message_router.h"

#include "../src/windowing/message_marshaller.h"

#include <ce/errors.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace ce::host {

using protocol::ThreadMessage;

ThreadMessageRouter::ThreadMessageRouter(HostServer &server) : server_(server) {
  server.on<protocol::PostToThreadRequest>(
      [this](HostRequest &r, protocol::PostToThreadRequest &post) {
        return postToThread(r, post.message);
      });
  server.on<protocol::SendResultNotice>(
      [this](HostRequest &r, protocol::SendResultNotice &result) { return sendResult(r, result); });
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

bool ThreadMessageRouter::passesAsNumbers(DWORD sender, DWORD target, UINT message, LPARAM lParam) {
  return sender == target || lParam == 0 || !MessageMarshaller::carriesData(message);
}

DWORD ThreadMessageRouter::post(DWORD pid, const ThreadMessage &message) {
  PeerConnection *target = server_.peerOfProcess(pid);
  if (!target)
    return ERROR_INVALID_PARAMETER;
  if (target->queued() >= kPostQuota)
    return ERROR_NOT_ENOUGH_QUOTA;
  // Once queued here it goes out before anything else the host sends that process, and so
  // before any later post or send of the same sender.
  if (!server_.sendEventAfterAnswer(*target, protocol::DeliverPostEvent{message}))
    return ERROR_NOT_ENOUGH_MEMORY;
  return ERROR_SUCCESS;
}

void ThreadMessageRouter::send(DWORD pid, const ThreadMessage &message,
                               const protocol::MessageData &data, SendReply replyTo) {
  PeerConnection *target = server_.peerOfProcess(pid);
  if (!target) {
    server_.answerLater(replyTo,
                        protocol::Answer<protocol::SentMessageReply>(ERROR_INVALID_PARAMETER));
    return;
  }
  std::uint32_t id = nextSend_++;
  if (id == 0)
    id = nextSend_++;
  protocol::Message packet;
  if (!protocol::encode(packet, protocol::typeOf<protocol::DeliverSendEvent>(), 0, 0,
                        protocol::DeliverSendEvent{id, message, data})) {
    server_.answerLater(replyTo,
                        protocol::Answer<protocol::SentMessageReply>(ERROR_NOT_ENOUGH_MEMORY));
    return;
  }
  pending_[id] = Pending{pid, replyTo};
  if (!server_.send(*target, std::move(packet))) {
    // The target was dropped; onProcessExit has already answered for it.
    pending_.erase(id);
  }
}

DWORD ThreadMessageRouter::postToThread(HostRequest &request, const ThreadMessage &message) {
  const DWORD owner = ownerOfThread(message.thread);
  if (owner == 0 || !passesAsNumbers(request.peer().pid(), owner, message.message, message.lParam))
    return ERROR_INVALID_PARAMETER;
  return post(owner, message);
}

DWORD ThreadMessageRouter::sendResult(HostRequest &request,
                                      const protocol::SendResultNotice &result) {
  auto it = pending_.find(result.sendId);
  if (it == pending_.end() || it->second.targetPid != request.peer().pid())
    return ERROR_INVALID_PARAMETER;
  const Pending done = it->second;
  pending_.erase(it);
  server_.answerLater(done.replyTo, protocol::Answer<protocol::SentMessageReply>(
                                        result.status, {result.result, result.data}));
  return ERROR_SUCCESS;
}

void ThreadMessageRouter::onProcessExit(DWORD pid) {
  std::erase_if(threadOwners_, [pid](const auto &entry) { return entry.second == pid; });
  for (auto it = pending_.begin(); it != pending_.end();) {
    if (it->second.targetPid == pid) {
      const Pending done = it->second;
      it = pending_.erase(it);
      server_.answerLater(done.replyTo,
                          protocol::Answer<protocol::SentMessageReply>(ERROR_BROKEN_PIPE));
    } else {
      ++it;
    }
  }
}

} // namespace ce::host
