// The host's side of the device barrier, driven through real socket pairs without a loop: when
// the probes go out, who is left out, notices in either order, rounds that follow activity,
// stale and foreign notices, a process that ends while it is waited for.
#include "../host/device_sync.h"
#include "../host/host_log.h"
#include "../host/host_server.h"
#include "../host/process_service.h"
#include "../src/protocol/message_reader.h"
#include "../src/protocol/message_writer.h"
#include "../src/protocol/packet_socket.h"
#include "../src/protocol/thread_messages.h"

#include <ce/errors.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using namespace ce;
using protocol::Message;
using protocol::MessageReader;
using protocol::MessageType;
using protocol::MessageWriter;
using protocol::PacketSocket;

struct Probe {
  std::uint32_t id = 0;
  std::uint32_t leftOut = 0;
};

// One end of a connection to the host under test: what the host sends comes out at `far`.
struct Peer {
  protocol::UniqueFd far;
  host::PeerConnection *connection = nullptr;

  // The next message the host sent, if one is there already.
  std::optional<Message> next() {
    pollfd ready{far.get(), POLLIN, 0};
    if (::poll(&ready, 1, 0) != 1)
      return std::nullopt;
    Message message;
    std::vector<std::uint8_t> buffer;
    if (PacketSocket::receive(far.get(), message, buffer) != PacketSocket::Result::Ok)
      return std::nullopt;
    return message;
  }
  std::optional<Probe> probe() {
    auto message = next();
    protocol::SyncProbeEvent probe;
    if (!message || message->type() != MessageType::SyncProbe || !protocol::decode(*message, probe))
      return std::nullopt;
    return Probe{probe.probe, probe.leftOut};
  }
};

class HostDeviceSync : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/ce-sync-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    log_.emplace(folder_ / "host.log");
    server_.emplace(protocol::UniqueFd(), *log_);
    processes_.emplace(*server_, folder_);
    sync_.emplace(*server_, [this](std::function<void()> then) { routed_.push_back(then); });
  }
  void TearDown() override {
    sync_.reset();
    processes_.reset();
    server_.reset();
    log_.reset();
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
  }

  Peer join(DWORD pid, bool tool) {
    int pair[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    Peer peer;
    peer.far.reset(pair[1]);
    peer.connection = &server_->adopt(protocol::UniqueFd(pair[0]), pid, ::getuid());
    handle(peer, protocol::HelloRequest{tool ? protocol::kHelloTool : 0, u"/joined"}, 1);
    EXPECT_TRUE(peer.next()) << "the hello's answer";
    return peer;
  }
  template <class Declared>
  void handle(Peer &peer, const Declared &declared, std::uint32_t requestId = 0) {
    Message message;
    ASSERT_TRUE(protocol::encode(message, protocol::typeOf<Declared>(), requestId, 0, declared));
    server_->handle(*peer.connection, message);
  }
  void handle(Peer &peer, MessageWriter &payload, MessageType type, std::uint32_t requestId) {
    Message message;
    ASSERT_TRUE(payload.finish(+type, requestId, 0, message));
    server_->handle(*peer.connection, message);
  }
  void sync(Peer &peer, std::uint32_t timeoutMs, std::uint32_t thread = 0) {
    handle(peer, protocol::SyncRequest{timeoutMs, thread}, 7);
  }
  void marked(Peer &peer, std::uint32_t probe, std::uint64_t activity,
              const std::vector<protocol::MarkedThread> &threads = {}) {
    handle(peer, protocol::SyncMarkedNotice{probe, activity, threads});
  }
  void reached(Peer &peer, std::uint32_t probe, DWORD thread, std::uint64_t activity) {
    handle(peer, protocol::SyncReachedNotice{probe, thread, activity});
  }
  // The input player's word that the input queued before the barrier has been routed.
  void inputRouted() {
    ASSERT_EQ(routed_.size(), 1u);
    auto then = routed_.front();
    routed_.clear();
    then();
  }
  // The barrier's answer, if it has come: its status (ERROR_TIMEOUT for a barrier that did
  // not settle) and rounds.
  static std::optional<std::pair<DWORD, std::uint32_t>> answer(Peer &peer) {
    auto message = peer.next();
    if (!message)
      return std::nullopt;
    EXPECT_EQ(message->type(), static_cast<MessageType>(protocol::replyTo(MessageType::Sync)));
    if (message->header.status != ERROR_SUCCESS)
      return std::make_pair(static_cast<DWORD>(message->header.status), 0u);
    protocol::SyncRequest::Reply reply;
    EXPECT_TRUE(protocol::decode(*message, reply));
    return std::make_pair(static_cast<DWORD>(reply.settled ? ERROR_SUCCESS : ERROR_TIMEOUT),
                          reply.rounds);
  }

  std::filesystem::path folder_;
  std::optional<host::HostLog> log_;
  std::optional<host::HostServer> server_;
  std::optional<host::ProcessService> processes_;
  std::optional<host::DeviceSync> sync_;
  std::vector<std::function<void()>> routed_;
};

TEST_F(HostDeviceSync, ProbesAfterTheInputAndAnswersOnceEveryMarkedThreadHasComeBack) {
  Peer tool = join(3001, true);
  Peer a = join(1001, false);
  Peer b = join(1002, false);
  sync(tool, 5000);
  EXPECT_FALSE(a.probe()) << "no probe before the queued input has been routed";
  inputRouted();
  const auto probeA = a.probe(), probeB = b.probe();
  ASSERT_TRUE(probeA && probeB);
  EXPECT_EQ(probeA->id, probeB->id);
  EXPECT_EQ(probeA->leftOut, 0u) << "a tool has no thread on the device";
  EXPECT_FALSE(tool.next()) << "tools are not probed";

  marked(a, probeA->id, 3);
  // A thread of B answers before B's list of marked threads arrives.
  reached(b, probeB->id, 7, 5);
  EXPECT_FALSE(answer(tool));
  marked(b, probeB->id, 5, {{7, 1, 1, 0}, {8, 0, 0, 1}});
  EXPECT_FALSE(answer(tool)) << "thread 8 still paints";
  reached(a, probeA->id, 8, 3); // not a thread of A: changes nothing
  EXPECT_FALSE(answer(tool));
  reached(b, probeB->id, 8, 5);
  const auto done = answer(tool);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->first, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(done->second, 1u);
}

TEST_F(HostDeviceSync, WorkAddedMeanwhileStartsAnotherRoundAndStaleNoticesChangeNothing) {
  Peer a = join(1001, false);
  Peer b = join(1002, false);
  sync(a, 5000, 77); // from a thread of A
  inputRouted();
  const auto first = a.probe();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->leftOut, 77u) << "the waiting thread is left out";
  EXPECT_EQ(b.probe()->leftOut, 0u);

  // A's thread passed work on while it handled its own: its queues grew.
  marked(a, first->id, 10, {{11}});
  marked(b, first->id, 4);
  reached(a, first->id, 11, 12);
  const auto second = a.probe();
  ASSERT_TRUE(second) << "a new round, not the answer";
  EXPECT_NE(second->id, first->id);
  ASSERT_TRUE(b.probe());
  EXPECT_FALSE(answer(a));

  // Notices of the first round are stale now.
  marked(a, first->id, 12);
  marked(b, first->id, 4);
  EXPECT_FALSE(answer(a));
  marked(a, second->id, 12);
  marked(b, second->id, 4);
  const auto done = answer(a);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->first, static_cast<DWORD>(ERROR_SUCCESS));
  EXPECT_EQ(done->second, 2u);
}

TEST_F(HostDeviceSync, AnEventTheHostHandsOutMeanwhileStartsAnotherRound) {
  Peer tool = join(3001, true);
  Peer a = join(1001, false);
  sync(tool, 5000);
  inputRouted();
  const auto first = a.probe();
  ASSERT_TRUE(first);
  // A message for A, after its probe: A may have settled before it came.
  ASSERT_TRUE(
      server_->sendEvent(*a.connection, protocol::DeliverPostEvent{{1001, nullptr, 0x400, 0, 0}}));
  marked(a, first->id, 2);
  EXPECT_FALSE(answer(tool));
  ASSERT_TRUE(a.next()) << "the message";
  const auto second = a.probe();
  ASSERT_TRUE(second);
  marked(a, second->id, 2);
  const auto done = answer(tool);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->second, 2u);
}

TEST_F(HostDeviceSync, AProcessThatEndsIsNoLongerWaitedFor) {
  Peer tool = join(3001, true);
  Peer a = join(1001, false);
  Peer b = join(1002, false);
  sync(tool, 5000);
  inputRouted();
  const auto probe = a.probe();
  ASSERT_TRUE(probe && b.probe());
  marked(a, probe->id, 1);
  marked(b, probe->id, 1, {{5}});
  EXPECT_FALSE(answer(tool));
  server_->drop(b.connection->id());
  const auto done = answer(tool);
  ASSERT_TRUE(done);
  EXPECT_EQ(done->first, static_cast<DWORD>(ERROR_SUCCESS));
}

TEST_F(HostDeviceSync, RefusesTimeoutsOutOfRangeAndMalformedRequests) {
  Peer tool = join(3001, true);
  for (const std::uint32_t timeout : {0u, host::DeviceSync::kMaxTimeoutMs + 1}) {
    MessageWriter outOfRange;
    outOfRange.u32(timeout).u32(0);
    handle(tool, outOfRange, MessageType::Sync, 8);
    const auto refused = answer(tool);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->first, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  MessageWriter shortRequest;
  shortRequest.u32(1000);
  handle(tool, shortRequest, MessageType::Sync, 9);
  const auto refused = answer(tool);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->first, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(routed_.empty()) << "a refused barrier waits for nothing";
}

} // namespace
