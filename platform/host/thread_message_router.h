// Messages for threads of other processes: the host finds the process that owns a thread id (a
// Linux tid, unique across the device while the thread lives) and hands the message to that
// process.
//
// Posted (PostToThread): answered as soon as the host has queued the message for the owner's
// process, before that process has read it: a receiver that hangs, is stopped or is dying never
// holds the sender. The answer is ERROR_INVALID_PARAMETER when the thread does not exist or is
// not a device process's, and ERROR_NOT_ENOUGH_QUOTA when the owner has left kPostQuota
// messages of the host unread (a hung program is not dropped for what others post to it).
// The owner puts the message into the thread's queue; when the thread has none (it has not
// made one yet, or it ended meanwhile) the message is dropped, as the messages in a queue are
// when its thread ends. What one sender posts and sends to one process arrives in that order.
// Sent (for the window service's SendMessage and the messages the window manager sends): the
// owner's thread handles the message inside its next GetMessageW or PeekMessageW (or while it
// waits for a send of its own) and the result goes back to the sender. When the owner ends
// first, the sender's answer is ERROR_BROKEN_PIPE. (The device has no call that sends to a
// thread, only to a window.)
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

#include "../src/protocol/thread_messages.h"
#include "host_server.h"

#include <unordered_map>
#include <vector>

namespace ce::host {

class ThreadMessageRouter : public ProcessObserver {
public:
  // Unread messages of the host after which a process takes no more posts.
  static constexpr std::size_t kPostQuota = PeerConnection::kMaxQueued / 2;

  explicit ThreadMessageRouter(HostServer &server);

  void onProcessExit(DWORD pid) override;

  // The device process owning the thread, or 0.
  DWORD ownerOfThread(DWORD tid) const;

  // Whether a message from process `sender` may go to process `target` as it is: not when its
  // lParam would be a pointer into another process.
  static bool passesAsNumbers(DWORD sender, DWORD target, UINT message, LPARAM lParam);

  using SendReply = protocol::DeferredReply<protocol::SentMessageReply>;

  // Queues a posted message for its thread, of process `pid`; the status for the poster:
  // ERROR_SUCCESS, ERROR_INVALID_PARAMETER when the process has no connection, or
  // ERROR_NOT_ENOUGH_QUOTA. For the window manager, which finds the owner itself. The message
  // goes out after the answer to the request being handled.
  DWORD post(DWORD pid, const protocol::ThreadMessage &message);
  // Hands a sent message to its thread, of process `pid`, and answers `replyTo` once the owner
  // has handled it (a reply that is not wanted is not waited for). `data` is the message's
  // data as MessageMarshaller packed it (lParam then says null or not), or nothing.
  void send(DWORD pid, const protocol::ThreadMessage &message, const protocol::MessageData &data,
            SendReply replyTo);

private:
  struct Pending {
    DWORD targetPid;
    SendReply replyTo;
  };

  DWORD postToThread(HostRequest &request, const protocol::ThreadMessage &message);
  DWORD sendResult(HostRequest &request, const protocol::SendResultNotice &result);

  // Threads whose owner was looked up, by thread id: most posts go to threads seen before.
  static constexpr std::size_t kMaxKnownThreads = 4096;
  mutable std::unordered_map<DWORD, DWORD> threadOwners_;
  HostServer &server_;
  std::uint32_t nextSend_ = 1;
  std::unordered_map<std::uint32_t, Pending> pending_; // sends not answered yet, by send id
};

} // namespace ce::host
