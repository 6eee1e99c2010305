#include "post_connection.h"

#include "../protocol/packet_socket.h"
#include "../protocol/process_messages.h"
#include "../kernel/poll_deadline.h"
#include "host_connection.h"

#include <ce/core/device_root.h>
#include <ce/errors.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ce {
namespace {

using protocol::Message;
using protocol::PacketSocket;

// Answers to posts are a header and a few bytes; anything longer is not one.
constexpr std::size_t kLongestAnswer = 256;

enum class Outcome {
  Answered,
  NotSent, // the request never left: the line had gone
  Lost,    // the line went after the request left: it may have been handled
  TimedOut,
};

class Line {
public:
  ~Line() { close(); }

  // Opens the line when the thread has none (or one inherited through fork); false when the
  // host cannot be reached or refuses it.
  bool open() {
    if (fd_ && owner_ == ::getpid())
      return true;
    close(); // a copy of the parent's line, after fork: the parent keeps it
    // A host that refused this thread a line (it allows each process a few connections only)
    // is not asked again while the process's connection stays the same.
    const std::uint64_t serial = HostConnection::instance().connectionSerial();
    if (serial != 0 && serial == refusedOn_)
      return false;
    const auto root = DeviceRoot::path();
    if (root.empty())
      return false;
    const int limit = HostConnection::instance().answerLimit();
    protocol::UniqueFd socket =
        PacketSocket::connectTo(DeviceRoot::runDirectory() / "host.sock", limit > 0 ? limit : -1);
    if (!socket)
      return false;
    fd_ = std::move(socket);
    owner_ = ::getpid();
    Message message;
    DWORD status = ERROR_BROKEN_PIPE;
    if (!protocol::encode(message, protocol::typeOf<protocol::HelloRequest>(), nextId(), 0,
                          protocol::HelloRequest{protocol::kHelloPostConnection, u""}) ||
        exchange(message, status) != Outcome::Answered || status != ERROR_SUCCESS) {
      close();
      refusedOn_ = serial;
      return false;
    }
    return true;
  }

  void close() {
    fd_.reset();
    owner_ = 0;
  }

  std::uint32_t nextId() {
    const std::uint32_t id = next_++;
    if (next_ == 0)
      next_ = 1;
    return id;
  }

  // Sends the request and reads the answer with its id; answers to earlier requests that were
  // given up are skipped.
  Outcome exchange(const Message &request, DWORD &status) {
    if (PacketSocket::send(fd_.get(), request) != PacketSocket::Result::Ok)
      return Outcome::NotSent;
    const auto deadline = PollDeadline::forLimit(HostConnection::instance().answerLimit());
    for (;;) {
      // Without a limit the read itself waits: one system call less than a poll before it.
      if (deadline.limited()) {
        const auto timeout = deadline.pollTimeout();
        if (!timeout)
          return Outcome::TimedOut;
        pollfd ready{fd_.get(), POLLIN, 0};
        const int polled = ::poll(&ready, 1, *timeout);
        if (polled < 0 && errno == EINTR)
          continue;
        if (polled < 0)
          return Outcome::Lost;
        if (polled == 0)
          continue; // the deadline check above ends the wait
      }
      std::uint8_t packet[kLongestAnswer];
      const ssize_t got = ::recv(fd_.get(), packet, sizeof packet, MSG_TRUNC);
      if (got < 0 && errno == EINTR)
        continue;
      if (got <= 0 || static_cast<std::size_t>(got) > sizeof packet)
        return Outcome::Lost;
      Message answer;
      if (PacketSocket::decode(std::span(packet, static_cast<std::size_t>(got)), answer) !=
              PacketSocket::Result::Ok ||
          !answer.isReply())
        return Outcome::Lost;
      if (answer.header.requestId != request.header.requestId)
        continue;
      if (answer.header.type != (request.header.type | protocol::kReplyBit))
        return Outcome::Lost;
      status = answer.header.status;
      return Outcome::Answered;
    }
  }

private:
  protocol::UniqueFd fd_;
  pid_t owner_ = 0;
  std::uint32_t next_ = 1;
  std::uint64_t refusedOn_ = 0; // the process's connection when the host refused a line
};

thread_local Line t_line;

} // namespace

std::optional<DWORD> PostConnection::call(Message &request) {
  if (!t_line.open())
    return std::nullopt;
  request.header.requestId = t_line.nextId();
  DWORD status = ERROR_BROKEN_PIPE;
  Outcome outcome = t_line.exchange(request, status);
  if (outcome == Outcome::NotSent) {
    // A line the host has dropped (or a host that has gone and come back) is made again once.
    t_line.close();
    if (!t_line.open())
      return ERROR_BROKEN_PIPE;
    request.header.requestId = t_line.nextId();
    outcome = t_line.exchange(request, status);
  }
  switch (outcome) {
  case Outcome::Answered:
    return status;
  case Outcome::TimedOut:
    t_line.close(); // its answer may still come: a fresh line for the next post
    return ERROR_TIMEOUT;
  case Outcome::NotSent:
  case Outcome::Lost:
    break;
  }
  t_line.close();
  return ERROR_BROKEN_PIPE;
}

} // namespace ce
