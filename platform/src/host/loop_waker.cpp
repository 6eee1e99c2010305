#include "loop_waker.h"

#include "../protocol/message_writer.h"
#include "../protocol/packet_socket.h"

#include <ce/errors.h>

#include <vector>

namespace ce::host {

using protocol::Message;
using protocol::MessageType;
using protocol::MessageWriter;
using protocol::PacketSocket;

namespace {

constexpr std::uint32_t kHelloTool = 1;

} // namespace

LoopWaker::LoopWaker(std::filesystem::path socket, MessageType notice)
    : socket_(std::move(socket)), notice_(notice) {}

bool LoopWaker::connect() {
  protocol::UniqueFd fd = PacketSocket::connectTo(socket_);
  if (!fd)
    return false;
  MessageWriter hello;
  hello.u32(kHelloTool).string(u"");
  Message message;
  if (!hello.finish(+MessageType::Hello, 1, 0, message) ||
      PacketSocket::send(fd.get(), message) != PacketSocket::Result::Ok)
    return false;
  // The host reads a connection's messages in order, so the notices need not wait for this
  // answer; but reading it keeps the only reply this connection ever gets out of its buffer.
  std::vector<std::uint8_t> buffer;
  Message answer;
  if (PacketSocket::receive(fd.get(), answer, buffer) != PacketSocket::Result::Ok ||
      answer.header.status != ERROR_SUCCESS)
    return false;
  fd_ = std::move(fd);
  return true;
}

bool LoopWaker::wake() {
  std::lock_guard lock(mutex_);
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (!fd_ && !connect())
      return false;
    MessageWriter nothing;
    Message message;
    nothing.finish(+notice_, 0, 0, message);
    if (PacketSocket::send(fd_.get(), message) == PacketSocket::Result::Ok)
      return true;
    fd_.reset();
  }
  return false;
}

} // namespace ce::host
