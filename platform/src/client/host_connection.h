// This process's connection to the device host.
//
// The connection opens lazily, on the first call that needs the host, to run/host.sock of the
// device root (ce::DeviceRoot). Opening it says Hello: the process joins the device (or, for
// tools, only talks to it) and learns its own device path. One reader thread per process takes
// every incoming message: answers go to the thread waiting for them (by request id); messages
// posted or sent to a thread of this process go into that thread's ThreadMessageQueue, which
// wakes it through its eventfd; events of other areas go to the handler registered for them.
//
// A synchronous call waits for its answer. A call that waits on another thread of the device
// (SendMessage) keeps handling the messages sent to the waiting thread meanwhile, as the device
// does, so two threads sending to each other do not deadlock.
//
// When no host runs for the device root, or the connection is lost, calls fail at once with
// ERROR_BROKEN_PIPE; nothing hangs. A later call tries to connect again. A child made by fork
// starts without a connection and opens its own.
//
// A host that is there but does not answer (stopped, hung) holds a caller for as long as the
// answer limit allows: by default, forever, as a device program waits for the system. Tools set
// a limit (setAnswerLimit): connecting and each call then fail with ERROR_TIMEOUT once it has
// passed; an answer that comes later is dropped.
//
// The host's own loop thread answers every request, so a request made on it would wait for
// itself for ever. The host marks that thread (LoopThreadMark); there, every call that needs an
// answer from the host (call, post, and connecting, which waits for the Hello's answer) fails at
// once with ERROR_POSSIBLE_DEADLOCK, and the mark's handler hears which request it was (the host
// logs it). So a public API call such as FindWindowW or RegisterWindowMessageW made by code on
// the loop thread returns its failure value with that last error instead of hanging the host.
// Notices, which want no answer, still go out from the loop thread when a connection is open.
#pragma once

#include "../protocol/message.h"
#include "../protocol/message_codec.h"
#include "../protocol/result.h"

#include <ce/errors.h>
#include <ce/export.h>
#include <ce/kernel.h>
#include <ce/messages.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

// Exported from the library for the host program and the tests until this declaration moves
// to platform/include/ce/host.
CE_EXPORT_BEGIN

namespace ce {

class HostConnection {
public:
  // Runs a message sent to a window or thread of this process, on the owner thread; returns the
  // result for the sender. The window manager installs its dispatcher here.
  using SentMessageHandler = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;
  // Handles an event from the host, on the reader thread (keep it short).
  using EventHandler = std::function<void(protocol::Message &)>;

  static HostConnection &instance();

  // Hears, on the loop thread, each request refused there.
  using RefusedCallHandler = std::function<void(protocol::MessageType)>;
  // Marks the calling thread as the host's loop thread for the mark's lifetime (see above).
  class LoopThreadMark {
  public:
    explicit LoopThreadMark(RefusedCallHandler refused);
    ~LoopThreadMark();
    LoopThreadMark(const LoopThreadMark &) = delete;
    LoopThreadMark &operator=(const LoopThreadMark &) = delete;

  private:
    RefusedCallHandler *previous_;
    RefusedCallHandler refused_;
  };

  // Joins as a tool (the device tool): talks to the host without becoming a device process.
  // Call before the first request.
  void actAsTool();
  bool isTool() const;

  // From now on this process ends (as by SIGKILL) when its connection breaks and the device's
  // host is gone: a device program does not outlive its system. Programs' main() calls it.
  void endProcessWithHost();

  // The longest a connection or a call waits for the host, in milliseconds; 0 waits forever.
  void setAnswerLimit(int milliseconds);
  int answerLimit() const { return answerLimitMs_.load(); }

  // Opens the connection when needed; false when no host can be reached.
  bool connect();
  bool isConnected() const;
  // Names the current connection: a number no earlier connection of this process had; 0 while
  // there is none.
  std::uint64_t connectionSerial() const;
  // For an event handler: the serial of the connection the event came on.
  static std::uint64_t eventConnectionSerial();
  // Closes the connection (pending calls fail); the next call connects again.
  void disconnect();
  // Leaves the device: closes the connection as disconnect() does, but first waits (up to
  // `limitMs`) until the host has read its end and let the process go, so that a shutdown of the
  // device asked for afterwards, by anyone, no longer counts this process among the device's and
  // does not signal it. False when the host did not let go within the limit (or the call came
  // from the connection's own reader thread, which cannot wait for itself).
  bool leave(int limitMs = 2000);

  // Sends a declared request (protocol/*_messages.h) and waits for its answer: the declared
  // reply, or the error with the last error set to it (the host's refusal, ERROR_BROKEN_PIPE
  // or ERROR_TIMEOUT when the host cannot be reached, ERROR_INVALID_PARAMETER for a request
  // that breaks a declared limit, ERROR_INVALID_DATA for an answer that does not read as the
  // reply). `handleSent` keeps running the messages sent to the calling thread while it waits.
  template <class Request>
  protocol::Result<protocol::ReplyOf<Request>> request(const Request &request,
                                                       bool handleSent = false) {
    protocol::Message message;
    if (!protocol::encode(message, protocol::typeOf<Request>(), 0, 0, request))
      return refused();
    protocol::Message answer;
    if (!call(message, answer, handleSent))
      return protocol::Failure{GetLastError()};
    return replyOf<protocol::ReplyOf<Request>>(answer);
  }
  // Sends a declared notice, which wants no answer.
  template <class Notice> bool notify(const Notice &notice) {
    protocol::Message message;
    if (!protocol::encode(message, protocol::typeOf<Notice>(), 0, 0, notice))
      return refused(), false;
    return notify(message);
  }
  // Sends a declared post request (PostToThread) as post(protocol::Message &) does.
  template <class Request> bool post(const Request &request) {
    protocol::Message message;
    if (!protocol::encode(message, protocol::typeOf<Request>(), 0, 0, request))
      return refused(), false;
    return post(message);
  }
  // Hands every declared event of this type that reads whole to `handler`, on the reader
  // thread (keep it short); others are dropped.
  template <class Event> void onEvent(std::function<void(Event &)> handler) {
    setEventHandler(protocol::typeOf<Event>(),
                    [handler = std::move(handler)](protocol::Message &message) {
                      Event event;
                      if (protocol::decode(message, event))
                        handler(event);
                    });
  }
  // An answer as the declared reply: the reply when its status is a success and it reads
  // whole, else the failure with the last error set to it.
  template <class Reply> static protocol::Result<Reply> replyOf(protocol::Message &answer) {
    if (answer.header.status != ERROR_SUCCESS) {
      SetLastError(answer.header.status);
      return protocol::Failure{answer.header.status};
    }
    Reply reply;
    if (!protocol::decode(answer, reply)) {
      SetLastError(ERROR_INVALID_DATA);
      return protocol::Failure{ERROR_INVALID_DATA};
    }
    return reply;
  }

  // The transport under the typed calls (and for tests that send what no declaration would).
  // Sends a request (its id is set here) and waits for the answer, whose header holds the
  // host's status. False, with the last error set, when the host cannot be reached or the
  // connection breaks.
  bool call(protocol::Message &request, protocol::Message &answer, bool handleSent = false);
  // Sends a notice that wants no answer.
  bool notify(protocol::Message &notice);
  // Sends a post request (PostToThread, PostMessage) and waits for the host's answer, which
  // comes once the host has queued the message: on the calling thread's post connection when
  // it can have one, else on this connection. False with the last error set when the host
  // cannot be reached or refuses the post.
  bool post(protocol::Message &request);

  // What the Hello answered (0 and empty until connected).
  DWORD hostPid() const;
  std::u16string devicePath() const;

  void setSentMessageHandler(SentMessageHandler handler);

  // Posts a message to thread `tid` of any device process through the host. Same-process
  // threads are the caller's business (ThreadMessageQueue). False with the last error set on
  // failure.
  bool postToThread(DWORD tid, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  struct Link;
  void setEventHandler(std::uint32_t type, EventHandler handler);
  static protocol::Failure refused() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return protocol::Failure{ERROR_INVALID_PARAMETER};
  }
  struct PendingCall;

  HostConnection() = default;
  std::shared_ptr<Link> currentLink();
  void readerLoop(std::shared_ptr<Link> link);
  void linkLost(const std::shared_ptr<Link> &link);
  // Ends this process when the device's host is gone (endProcessWithHost).
  static void endIfHostGone();
  // On the host's loop thread: refuses a request of `type` (last error, handler) and says so.
  static bool refusedOnLoopThread(protocol::MessageType type);
  void dispatchEvent(protocol::Message &message, const std::shared_ptr<Link> &link);
  void deliverPost(protocol::Message &message);
  void deliverSend(protocol::Message &message, const std::shared_ptr<Link> &link);

  enum class Wait { Answered, Lost, TimedOut };
  Wait waitFor(PendingCall &pending, bool handleSent);
  // Forgets a call that will not be waited for any more.
  void abandon(std::uint32_t id);
  static void afterFork();

  mutable std::mutex mutex_;
  std::shared_ptr<Link> link_;
  bool tool_ = false;
  DWORD hostPid_ = 0;
  std::u16string devicePath_;
  std::uint32_t nextRequest_ = 1;
  std::uint32_t nextSerial_ = 1;
  std::unordered_map<std::uint32_t, std::shared_ptr<PendingCall>> pending_;
  SentMessageHandler sentHandler_;
  std::unordered_map<std::uint32_t, EventHandler> eventHandlers_;
  std::mutex connectMutex_; // one connect at a time
  std::atomic<int> answerLimitMs_{0};
  std::atomic<bool> endWithHost_{false};
};

} // namespace ce
CE_EXPORT_END
