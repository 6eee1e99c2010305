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
//
// Messages whose lParam points to data (MessageMarshaller::carriesData) cross into another
// process only as sent window messages with their data packed (the window service checks it);
// posting one with a non-null lParam to a thread or window of another process is refused with
// ERROR_INVALID_PARAMETER, since the pointer would mean nothing there. Within one process the
// pointer passes as it is. The receiver's reply data (WM_GETTEXT's text) travels back with the
// result.
#pragma once

#include "host_server.h"

#include <unordered_map>
#include <vector>

namespace ce::host {

class ThreadMessageRouter : public ProcessObserver {
public:
  explicit ThreadMessageRouter(HostServer &server);

  void onProcessExit(DWORD pid) override;

  // The device process owning the thread, or 0.
  DWORD ownerOfThread(DWORD tid) const;

  // Whether a message from process `sender` may go to process `target` as it is: not when its
  // lParam would be a pointer into another process.
  static bool passesAsNumbers(DWORD sender, DWORD target, std::uint32_t message,
                              std::int64_t lParam);

  // Hands a message to thread `tid` of process `pid` and answers (peerId, type, requestId) when
  // the owner has taken it (posted) or handled it (sent). For the window manager, which finds
  // the owner itself; requestId 0 asks for no answer. `packedData`, for sent messages only, is
  // the message's data as MessageMarshaller packed it (lParam then says null or not).
  void deliver(DWORD pid, DWORD tid, bool sent, std::uint64_t hwnd, std::uint32_t message,
               std::uint64_t wParam, std::int64_t lParam, std::uint64_t replyPeer,
               std::uint32_t replyType, std::uint32_t requestId,
               const std::vector<std::uint8_t> *packedData = nullptr);

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
