// One window request from the calling thread to the host (window_messages.h): the request goes
// after the thread's id, the answer is the declared reply, and the messages the host hands back
// for the calling thread run through their window procedures at finish() (or when the call
// ends), after the caller has taken the reply.
#pragma once

#include "../client/host_connection.h"
#include "window_messages.h"

namespace ce {

class WindowCall {
public:
  WindowCall();
  ~WindowCall();
  WindowCall(const WindowCall &) = delete;
  WindowCall &operator=(const WindowCall &) = delete;

  // Sends the request and waits for its answer: the reply, or the error (the last error says it
  // too) once the messages handed back with a refusal have run. `handleSent` keeps running
  // messages sent to this thread while it waits.
  template <class Request>
  protocol::Result<protocol::ReplyOf<Request>> send(const Request &request,
                                                    bool handleSent = false) {
    using Reply = protocol::ReplyOf<Request>;
    protocol::Message message;
    if (!encode(message, request)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return protocol::Failure{ERROR_INVALID_PARAMETER};
    }
    protocol::Message answer;
    if (!HostConnection::instance().call(message, answer, handleSent))
      return protocol::Failure{GetLastError()};
    const DWORD status = answer.header.status;
    Reply reply;
    bool read = false;
    if constexpr (windowing::handsBack<Request>())
      read = status == ERROR_SUCCESS ? protocol::decode(answer, reply, handedBack_)
                                     : protocol::decode(answer, handedBack_);
    else
      read = status != ERROR_SUCCESS || protocol::decode(answer, reply);
    if (!read)
      handedBack_.messages.clear(); // an answer that does not read whole runs nothing
    finished_ = false;
    if (status != ERROR_SUCCESS || !read) {
      const DWORD error = status != ERROR_SUCCESS ? status : DWORD(ERROR_INVALID_DATA);
      finish();
      SetLastError(error);
      return protocol::Failure{error};
    }
    return reply;
  }
  // Runs the handed-back messages; call after taking what the reply holds.
  void finish();

  // Sends a post request of the calling thread (PostMessage) as HostConnection::post does.
  template <class Request> static bool post(const Request &request) {
    protocol::Message message;
    if (!encode(message, request)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    return HostConnection::instance().post(message);
  }

  // Sends a window notice about thread `thread` of this process, which wants no answer.
  template <class Notice> static bool notify(DWORD thread, const Notice &notice) {
    protocol::Message message;
    if (!protocol::encode(message, protocol::typeOf<Notice>(), 0, 0,
                          windowing::CallerThread{thread}, notice)) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return false;
    }
    return HostConnection::instance().notify(message);
  }

private:
  template <class Request> static bool encode(protocol::Message &message, const Request &request) {
    return protocol::encode(message, protocol::typeOf<Request>(), 0, 0,
                            windowing::CallerThread{GetCurrentThreadId()}, request);
  }

  windowing::HandedBack handedBack_;
  bool finished_ = true;
};

// One request whose handed-back messages run before it returns.
template <class Request>
protocol::Result<protocol::ReplyOf<Request>> windowRequest(const Request &request,
                                                           bool handleSent = false) {
  WindowCall call;
  return call.send(request, handleSent);
}

} // namespace ce
