// Messages for threads of other processes: the host finds the process that owns a thread id (a
// Linux tid, unique across the device while the thread lives), hands the message to that
// process, and answers the sender once the owner has taken it.
//
// Posted (PostToThread): the owner puts the message in the thread's queue and reports whether
// the thread has one; the sender's answer carries that result (ERROR_INVALID_PARAMETER when the
// thread does not exist, is not a device process's, or has no queue).
// Sent (SendToThread): the owner's thread handles the message inside its next GetMessageW or
// PeekMessageW (or while it waits for a send of its own) and the result goes back to the
// sender. When the owner ends first, the sender's answer is ERROR_BROKEN_PIPE.
//
// The window manager reaches windows of other processes through the same two paths: a window
// message is a thread message with a window handle.
#pragma once

#include "host_server.h"

#include <unordered_map>

namespace ce::host {

class ThreadMessageRouter : public ProcessObserver {
public:
  explicit ThreadMessageRouter(HostServer &server);

  void onProcessExit(DWORD pid) override;

  // The device process owning the thread, or 0.
  DWORD ownerOfThread(DWORD tid) const;

  // Hands a message to thread `tid` of process `pid` and answers (peerId, type, requestId) when
  // the owner has taken it (posted) or handled it (sent). For the window manager, which finds
  // the owner itself; requestId 0 asks for no answer.
  void deliver(DWORD pid, DWORD tid, bool sent, std::uint64_t hwnd, std::uint32_t message,
               std::uint64_t wParam, std::int64_t lParam, std::uint64_t replyPeer,
               std::uint32_t replyType, std::uint32_t requestId);

private:
  struct Pending {
    DWORD targetPid;
    bool sent;
    std::uint64_t replyPeer;
    std::uint32_t replyType;
    std::uint32_t requestId;
  };

  void toThread(HostRequest &request, bool sent);
  void deliveryResult(HostRequest &request);
  void sendResult(HostRequest &request);

  HostServer &server_;
  std::uint32_t nextDelivery_ = 1;
  std::unordered_map<std::uint32_t, Pending> pending_;
};

} // namespace ce::host
