// Hostile traffic on the host's socket: packets that are not messages lose their connection,
// well-formed requests with bad contents get error answers, and the host keeps serving.
#include "host_test_device.h"

#include "../src/protocol/message_reader.h"
#include "../src/protocol/message_writer.h"
#include "../src/protocol/packet_socket.h"

#include <cstring>
#include <random>
#include <sys/mman.h>
#include <sys/socket.h>

using namespace hosttest;
using namespace ce::protocol;

namespace {

class RawClient {
public:
  explicit RawClient(const fs::path &root)
      : socket_(PacketSocket::connectTo(root / "run" / "host.sock")) {}
  bool connected() const { return static_cast<bool>(socket_); }

  void sendBytes(const std::vector<std::uint8_t> &bytes) {
    ASSERT_EQ(::send(socket_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(bytes.size()));
  }
  // Sends a request and returns the answer's status, or -1 when the connection was dropped.
  long long request(MessageType type, MessageWriter &payload, Message *answer = nullptr,
                    int descriptor = -1) {
    if (descriptor >= 0)
      payload.descriptor(descriptor);
    Message message;
    EXPECT_TRUE(payload.finish(+type, ++id_, 0, message));
    if (PacketSocket::send(socket_.get(), message) != PacketSocket::Result::Ok)
      return -1;
    return receive(answer);
  }
  long long receive(Message *answer = nullptr) {
    timeval limit{5, 0};
    ::setsockopt(socket_.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    Message got;
    std::vector<std::uint8_t> buffer;
    if (PacketSocket::receive(socket_.get(), got, buffer) != PacketSocket::Result::Ok)
      return -1;
    EXPECT_TRUE(got.isReply());
    EXPECT_EQ(got.header.requestId, id_);
    const long long status = got.header.status;
    if (answer)
      *answer = std::move(got);
    return status;
  }
  long long hello() {
    MessageWriter payload;
    payload.u32(0).string(u"/raw/client");
    return request(MessageType::Hello, payload);
  }

private:
  UniqueFd socket_;
  std::uint32_t id_ = 0;
};

bool hostServes(const fs::path &root) {
  RawClient client(root);
  MessageWriter ping;
  return client.connected() && client.hello() == 0 && client.request(MessageType::Ping, ping) == 0;
}

std::vector<std::uint8_t> packet(std::uint32_t type, std::uint32_t id, std::uint32_t length,
                                 std::size_t actualPayload) {
  std::vector<std::uint8_t> bytes(kHeaderSize + actualPayload, 0x41);
  const MessageHeader header{type, id, length, 0};
  std::memcpy(bytes.data(), &header, kHeaderSize);
  return bytes;
}

} // namespace

TEST(HostMalformed, BrokenFramingDropsTheConnectionOnly) {
  HostDevice device;
  std::mt19937 random(1234);
  const std::vector<std::vector<std::uint8_t>> hostile = {
      {1, 2, 3},                                    // shorter than a header
      packet(+MessageType::Ping, 1, 1000, 4),       // length larger than the packet
      packet(+MessageType::Ping, 1, 0xFFFFFFFF, 0), // huge length
      packet(+MessageType::Ping, 1, 0, 8),          // trailing bytes the header hides
  };
  for (const auto &bytes : hostile) {
    RawClient client(device.root);
    ASSERT_TRUE(client.connected());
    client.sendBytes(bytes);
    EXPECT_EQ(client.receive(), -1) << "the host drops the connection";
    EXPECT_TRUE(hostServes(device.root));
  }
  for (int round = 0; round < 20; ++round) {
    RawClient client(device.root);
    std::vector<std::uint8_t> noise(1 + random() % 600);
    for (auto &b : noise)
      b = static_cast<std::uint8_t>(random());
    client.sendBytes(noise);
  }
  EXPECT_TRUE(hostServes(device.root));
}

TEST(HostMalformed, BadRequestsGetErrorAnswers) {
  HostDevice device;
  RawClient client(device.root);
  MessageWriter ping;
  EXPECT_EQ(client.request(MessageType::Ping, ping), ERROR_INVALID_PARAMETER) << "before Hello";
  ASSERT_EQ(client.hello(), 0);
  EXPECT_EQ(client.hello(), ERROR_INVALID_PARAMETER) << "a second Hello";

  MessageWriter unknown;
  EXPECT_EQ(client.request(static_cast<MessageType>(0x7777), unknown), ERROR_INVALID_FUNCTION);

  // Bad strings: a count beyond the packet, a NUL inside a name, an empty name, a lone surrogate.
  MessageWriter overlong;
  overlong.u32(0x7FFFFFFF).u64(16);
  EXPECT_EQ(client.request(MessageType::CreateMapping, overlong), ERROR_INVALID_PARAMETER);
  for (const std::u16string &name :
       {std::u16string(u"a\0b", 3), std::u16string(), std::u16string(u"\xD800")}) {
    MessageWriter payload;
    payload.string(name).u64(16);
    EXPECT_EQ(client.request(MessageType::CreateMapping, payload), ERROR_INVALID_PARAMETER);
  }
  // Sizes out of range, trailing bytes, handles that were never given out.
  MessageWriter huge;
  huge.string(u"big").u64(1ull << 40);
  EXPECT_EQ(client.request(MessageType::CreateMapping, huge), ERROR_INVALID_PARAMETER);
  MessageWriter trailing;
  trailing.string(u"t").u64(16).u32(0);
  EXPECT_EQ(client.request(MessageType::CreateMapping, trailing), ERROR_INVALID_PARAMETER);
  MessageWriter badHandle;
  badHandle.u32(0xDEAD);
  EXPECT_EQ(client.request(MessageType::CloseMapping, badHandle), ERROR_INVALID_HANDLE);
  MessageWriter badProcess;
  badProcess.u32(1).u32(0);
  EXPECT_EQ(client.request(MessageType::TerminateProcess, badProcess), ERROR_INVALID_PARAMETER);
  MessageWriter notOurs;
  notOurs.u32(1).u32(0).i64(0);
  EXPECT_EQ(client.request(MessageType::SendResult, notOurs), ERROR_INVALID_PARAMETER);
  MessageWriter outside;
  outside.string(u"\\..\\..\\bin\\sh.exe").string(u"").u32(1);
  EXPECT_EQ(client.request(MessageType::StartProcess, outside), ERROR_ACCESS_DENIED);

  // Descriptors are never expected from a process.
  const int memory = ::memfd_create("stray", MFD_CLOEXEC);
  MessageWriter withFd;
  EXPECT_EQ(client.request(MessageType::Ping, withFd, nullptr, memory), ERROR_INVALID_PARAMETER);
  ::close(memory);

  // The connection still works, and so does everyone else's.
  MessageWriter good;
  good.string(u"fine").u64(16);
  Message answer;
  EXPECT_EQ(client.request(MessageType::CreateMapping, good, &answer), 0);
  EXPECT_EQ(answer.descriptors.size(), 1u);
  EXPECT_TRUE(hostServes(device.root));
}
