// The host's event loop: one thread owns every piece of host state, so none of it needs a lock.
//
// It accepts connections on the listening socket, learns each peer's process id and user from
// SO_PEERCRED (peers of another user are refused), reads whole messages and hands each to the
// handler registered for its type. A packet that is not a well-formed message, or a peer that
// does not read what it is sent, loses its connection; a well-formed request of an unknown type
// is answered with ERROR_INVALID_FUNCTION; a request before the peer's Hello with
// ERROR_INVALID_PARAMETER. Declared requests (protocol/message_codec.h) are read whole before
// their handler runs, and one that is not is answered with ERROR_INVALID_PARAMETER.
//
// Connections: one process may hold at most kMaxConnectionsPerProcess connections at once; more
// are closed as soon as they are accepted. When the host runs out of descriptors, pending
// connections are refused (accepted on a descriptor kept spare for it and closed at once) and,
// should even that fail, the listening socket rests for kListenerRestMs: the loop never spins
// on accept. Each reason for refusing is logged once, then at most once every
// kRefusalLogIntervalMs with the number of refusals meanwhile.
//
// Processes: a peer becomes a device process with its Hello (tools say so in the Hello and stay
// out of the table). When a process's last connection closes, every ProcessObserver hears of it
// (the host's own services first, then the others in the order they were added).
#pragma once

#include "../src/protocol/answer.h"
#include "host_log.h"
#include "host_request.h"
#include "peer_connection.h"
#include "process_observer.h"
#include "process_table.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace ce::host {

using RequestHandler = std::function<void(HostRequest &)>;

class HostServer {
public:
  static constexpr int kMaxConnectionsPerProcess = 32;
  static constexpr int kListenerRestMs = 200;
  static constexpr int kRefusalLogIntervalMs = 10000;

  // `listener` may be empty: a server without a socket only handles messages given to handle()
  // (the request decoder's fuzz target drives it so).
  HostServer(protocol::UniqueFd listener, HostLog &log);
  ~HostServer();
  HostServer(const HostServer &) = delete;
  HostServer &operator=(const HostServer &) = delete;

  // Answers a declared request: `handler` gets the request (one that does not read whole is
  // refused with ERROR_INVALID_PARAMETER first) and gives what makes a protocol::Answer: the
  // reply, a status, or protocol::Deferred. Requests whose declaration carries descriptors
  // accept them.
  template <class Request, class Handler> void on(Handler handler) {
    registerHandler(static_cast<protocol::MessageType>(protocol::typeOf<Request>()),
                    [handler = std::move(handler)](HostRequest &request) {
                      Request args;
                      if (!protocol::decode(request.message(), args)) {
                        request.reply(ERROR_INVALID_PARAMETER);
                        return;
                      }
                      request.answer(
                          protocol::Answer<protocol::ReplyOf<Request>>(handler(request, args)));
                    });
    if constexpr (protocol::kCarriesDescriptors<Request>)
      acceptDescriptors(static_cast<protocol::MessageType>(protocol::typeOf<Request>()));
  }
  // The handler of a type whose message it reads itself (the window service's requests, which
  // come after their caller's thread).
  void registerHandler(protocol::MessageType type, RequestHandler handler);
  // Requests of this type may carry descriptors (an overlay's pixel memory, a completion pipe);
  // their handler checks what came. Requests of every other type with descriptors are refused.
  void acceptDescriptors(protocol::MessageType type);
  void addObserver(ProcessObserver *observer);

  // Runs until stop(); false when the loop could not be set up.
  bool run();
  // Ends run() soon; callable from any thread and from signal-free contexts.
  void stop();
  // Runs `work` on the loop thread, in the order given; callable from any thread. Work handed
  // over before run() starts runs when it starts; work left when the loop ends never runs.
  void runOnLoop(std::function<void()> work);
  bool stopping() const { return stopping_.load(); }

  // Handlers' tools.
  HostLog &log() { return log_; }
  ProcessTable &processes() { return processes_; }
  PeerConnection *peer(std::uint64_t id);
  // The first device connection of a process (never a post connection); null when it has
  // none.
  PeerConnection *peerOfProcess(DWORD pid);
  // Queues a message for a peer; false (and the peer is dropped) when it cannot take more.
  bool send(PeerConnection &peer, protocol::Message message);
  // How many events (messages other than answers and barrier probes) have been sent to peers:
  // the device barrier compares it to learn whether the host handed out work meanwhile.
  std::uint64_t eventsSent() const { return eventsSent_; }
  // Queues a message for a peer that goes out once the request being handled has been
  // answered, so that the requester hears first; nothing can come between the two. Outside a
  // request it goes out at once. False (and the peer is dropped) when it cannot take more.
  bool sendAfterAnswer(PeerConnection &peer, protocol::Message message);
  // Sends a declared event; false when it breaks a declared limit or the peer was dropped.
  template <class Event> bool sendEvent(PeerConnection &peer, const Event &event) {
    protocol::Message message;
    return protocol::encode(message, protocol::typeOf<Event>(), 0, 0, event) &&
           send(peer, std::move(message));
  }
  template <class Event> bool sendEventAfterAnswer(PeerConnection &peer, const Event &event) {
    protocol::Message message;
    return protocol::encode(message, protocol::typeOf<Event>(), 0, 0, event) &&
           sendAfterAnswer(peer, std::move(message));
  }
  // Answers a deferred request; does nothing when the peer has gone meanwhile or the request
  // wants no answer.
  template <class Reply>
  void answerLater(const protocol::DeferredReply<Reply> &later,
                   const protocol::Answer<Reply> &answer) {
    if (!later.wanted() || answer.deferred())
      return;
    if (const Reply *reply = answer.reply())
      answerWith(later.peer, later.type, later.requestId, answer.status(), *reply);
    else
      answerWith(later.peer, later.type, later.requestId, answer.status());
  }
  // Answers request `requestId` of type `type` (nothing for 0, a notice) with a status and the
  // declared parts after it.
  template <protocol::wire::Declared... Parts>
  void answerWith(std::uint64_t peerId, std::uint32_t type, std::uint32_t requestId, DWORD status,
                  const Parts &...parts) {
    PeerConnection *target = peer(peerId);
    if (!target || requestId == 0)
      return;
    protocol::Message message;
    type |= protocol::kReplyBit;
    // An answer too large for one message is an error answer instead.
    if (!protocol::encode(message, type, requestId, status, parts...))
      protocol::encode(message, type, requestId, ERROR_NOT_ENOUGH_MEMORY);
    send(*target, std::move(message));
  }
  // Watches a child's pidfd; the process is reaped and leaves the table once it ends.
  void watchChild(DWORD pid, int pidfd);
  // The process has left or the host drops it: observers hear of it once.
  void processGone(DWORD pid);

  // Accepts a peer that is already connected (used by run() and by tests); returns it.
  PeerConnection &adopt(protocol::UniqueFd socket, DWORD pid, std::uint32_t uid);
  // Handles one decoded message from a peer.
  void handle(PeerConnection &peer, protocol::Message &message);
  // Closes a connection and, for the last one of a process, tells the observers.
  void drop(std::uint64_t peerId);

private:
  void runLoopWork();
  void handleRequest(PeerConnection &peer, protocol::Message &message);
  void acceptAll();
  void readFrom(std::uint64_t peerId);
  void writeTo(std::uint64_t peerId);
  void reap(DWORD pid);
  // Watches the peer's socket for writing while it has messages queued; `registering` sets the
  // interest whatever it was.
  void updateInterest(PeerConnection &peer, bool registering = false);
  // Sends what sendAfterAnswer held back.
  void flushHeldBack();
  // Out of descriptors: refuses one pending connection; false when even that is impossible.
  bool refuseOnePending();
  // Stops listening for kListenerRestMs.
  void restListener();
  void resumeListener();
  // Logs a refusal now or, within kRefusalLogIntervalMs of the last line, counts it for later.
  void noteRefusal(const std::string &why);

  protocol::UniqueFd listener_;
  HostLog &log_;
  protocol::UniqueFd epoll_;
  protocol::UniqueFd wake_;
  std::atomic<bool> stopping_{false};
  std::mutex loopWorkMutex_;
  std::vector<std::function<void()>> loopWork_;
  std::unordered_map<std::uint32_t, RequestHandler> handlers_;
  std::unordered_map<std::uint32_t, bool> takesDescriptors_;
  std::vector<ProcessObserver *> observers_;
  std::unordered_map<std::uint64_t, std::unique_ptr<PeerConnection>> peers_;
  std::unordered_map<int, DWORD> childFds_; // pidfd -> pid
  ProcessTable processes_;
  std::uint64_t nextPeerId_ = 1;
  std::uint64_t eventsSent_ = 0;
  std::unordered_map<DWORD, int> connectionsOf_; // connections per process id
  protocol::UniqueFd spare_;                     // given up to refuse a connection
  protocol::UniqueFd restTimer_;                 // ends the listener's rest
  bool listening_ = false;
  struct RefusalLog {
    std::chrono::steady_clock::time_point logged{};
    std::uint64_t unlogged = 0;
  };
  std::unordered_map<std::string, RefusalLog> refusals_; // by reason
  std::vector<std::uint8_t> buffer_;
  bool handling_ = false;               // inside handle()
  std::vector<std::uint64_t> heldBack_; // peers with messages held until the answer is out
};

template <protocol::wire::Declared... Parts>
void HostRequest::reply(DWORD status, const Parts &...parts) {
  if (answered_)
    return;
  answered_ = true;
  server_.answerWith(peer_.id(), message_.header.type, message_.header.requestId, status, parts...);
}

} // namespace ce::host
