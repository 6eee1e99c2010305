// One window request from the calling thread to the host: the thread id goes first, the
// answer's fields are read from answer(), and the messages the host hands back for the calling
// thread are run through their window procedures by finish() (or at the latest when the call
// ends), after the caller has read its fields.
#pragma once

#include "../client/host_connection.h"
#include "../protocol/message_reader.h"
#include "window_protocol.h"

#include <optional>

namespace ce {

class WindowCall {
public:
  explicit WindowCall(windowing::WindowRequest request);
  ~WindowCall();
  WindowCall(const WindowCall &) = delete;
  WindowCall &operator=(const WindowCall &) = delete;

  protocol::MessageWriter &args() { return args_; }
  // Sends the request; false with the last error set when the host refuses it or cannot be
  // reached. `handleSent` keeps running messages sent to this thread while it waits.
  bool send(bool handleSent = false);
  protocol::MessageReader &answer() { return *reader_; }
  // Runs the handed-back messages; call after reading every field of the answer.
  void finish();

private:
  windowing::WindowRequest request_;
  protocol::MessageWriter args_;
  HostConnection::Reply reply_;
  std::optional<protocol::MessageReader> reader_;
  bool finished_ = true;
};

} // namespace ce
