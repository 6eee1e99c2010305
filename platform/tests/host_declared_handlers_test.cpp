// Typed handlers on the host's server, driven through a real socket pair without a loop: a
// request that does not read whole never reaches its handler, descriptors are taken only by
// requests that declare them, a reply too large for a packet becomes an error, and a deferred
// request is answered once, later, while a notice is answered never.
#include "../host/host_log.h"
#include "../host/host_server.h"
#include "../src/protocol/named_object_messages.h"
#include "../src/protocol/packet_socket.h"
#include "../src/protocol/process_messages.h"
#include "../src/protocol/screen_messages.h"

#include <ce/errors.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using namespace ce;
using namespace ce::protocol;

class HostDeclaredHandlers : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/ce-handlers-XXXXXX";
    folder_ = ::mkdtemp(pattern);
    log_.emplace(folder_ / "host.log");
    server_.emplace(UniqueFd(), *log_);
    int pair[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
    far_.reset(pair[1]);
    peer_ = &server_->adopt(UniqueFd(pair[0]), 1001, ::getuid());
    peer_->greet(false);
  }
  void TearDown() override {
    server_.reset();
    log_.reset();
    std::error_code error;
    std::filesystem::remove_all(folder_, error);
  }

  void handle(Message message) { server_->handle(*peer_, message); }
  template <class T> void handle(const T &declared, std::uint32_t requestId) {
    Message message;
    ASSERT_TRUE(encode(message, typeOf<T>(), requestId, 0, declared));
    handle(std::move(message));
  }
  // The next answer the peer got, if one is there.
  std::optional<Message> answer() {
    pollfd ready{far_.get(), POLLIN, 0};
    if (::poll(&ready, 1, 0) != 1)
      return std::nullopt;
    Message message;
    std::vector<std::uint8_t> buffer;
    if (PacketSocket::receive(far_.get(), message, buffer) != PacketSocket::Result::Ok)
      return std::nullopt;
    return message;
  }

  std::filesystem::path folder_;
  std::optional<host::HostLog> log_;
  std::optional<host::HostServer> server_;
  UniqueFd far_;
  host::PeerConnection *peer_ = nullptr;
};

TEST_F(HostDeclaredHandlers, ARequestThatDoesNotReadWholeNeverReachesItsHandler) {
  int calls = 0;
  server_->on<QueryProcessRequest>([&](host::HostRequest &, QueryProcessRequest &query) {
    ++calls;
    return QueryProcessRequest::Reply{true, 0, u"\\a.exe", query.pid};
  });
  handle(QueryProcessRequest{7}, 1);
  auto good = answer();
  ASSERT_TRUE(good);
  EXPECT_EQ(good->header.type, replyTo(MessageType::QueryProcess));
  EXPECT_EQ(good->header.requestId, 1u);
  QueryProcessRequest::Reply reply;
  ASSERT_TRUE(decode(*good, reply));
  EXPECT_EQ(reply.lifePid, 7u);

  for (const std::vector<std::uint8_t> &payload :
       {std::vector<std::uint8_t>{7, 0, 0}, std::vector<std::uint8_t>{7, 0, 0, 0, 0}}) {
    Message message;
    message.header = {+MessageType::QueryProcess, 2, static_cast<std::uint32_t>(payload.size()), 0};
    message.payload = payload;
    handle(std::move(message));
    auto refused = answer();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->header.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(refused->payload.empty()) << "an error answer carries its status alone";
  }
  EXPECT_EQ(calls, 1);
}

TEST_F(HostDeclaredHandlers, OnlyRequestsThatDeclareADescriptorTakeOne) {
  int overlays = 0;
  server_->on<AddOverlayRequest>([&](host::HostRequest &, AddOverlayRequest &request) {
    EXPECT_TRUE(request.pixels);
    return AddOverlayRequest::Reply{static_cast<std::uint32_t>(++overlays)};
  });
  server_->on<RemoveOverlayRequest>(
      [](host::HostRequest &, RemoveOverlayRequest &) { return ERROR_SUCCESS; });
  const int ends[2] = {::open("/dev/null", O_RDONLY | O_CLOEXEC),
                       ::open("/dev/null", O_RDONLY | O_CLOEXEC)};
  handle(AddOverlayRequest{8, 8, 16, 0, Descriptor::borrow(ends[0])}, 1);
  auto added = answer();
  ASSERT_TRUE(added);
  EXPECT_EQ(added->header.status, static_cast<DWORD>(ERROR_SUCCESS));

  Message stray;
  ASSERT_TRUE(encode(stray, typeOf<RemoveOverlayRequest>(), 2, 0, RemoveOverlayRequest{1}));
  stray.descriptors.emplace_back(::dup(ends[1]));
  handle(std::move(stray));
  auto refused = answer();
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->header.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // Without the descriptor it declares, the request is refused before its handler.
  Message without;
  ASSERT_TRUE(encode(without, typeOf<AddOverlayRequest>(), 3, 0,
                     AddOverlayRequest{8, 8, 16, 0, Descriptor::borrow(ends[1])}));
  without.descriptors.clear();
  handle(std::move(without));
  refused = answer();
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->header.status, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(overlays, 1);
  ::close(ends[0]);
  ::close(ends[1]);
}

TEST_F(HostDeclaredHandlers, AReplyThatDoesNotFitBecomesAnError) {
  server_->on<ListProcessesRequest>([](host::HostRequest &, ListProcessesRequest &) {
    ListProcessesRequest::Reply reply;
    // Each entry takes a little over 16 KB: sixteen of them do not fit in a packet.
    for (DWORD pid = 1; pid <= 16; ++pid)
      reply.processes.push_back({pid, 0, 0, std::u16string(8000, u'p')});
    return reply;
  });
  handle(ListProcessesRequest{}, 4);
  auto refused = answer();
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->header.status, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(refused->payload.empty());
}

TEST_F(HostDeclaredHandlers, DeferredRequestsAreAnsweredLaterAndNoticesNever) {
  std::optional<DeferredReply<RegisterMessageRequest::Reply>> later;
  server_->on<RegisterMessageRequest>([&](host::HostRequest &request, RegisterMessageRequest &) {
    later = request.defer<RegisterMessageRequest>();
    return Deferred{};
  });
  handle(RegisterMessageRequest{u"Later"}, 5);
  EXPECT_FALSE(answer()) << "nothing until the service answers";
  ASSERT_TRUE(later);
  server_->answerLater(
      *later, Answer<RegisterMessageRequest::Reply>(RegisterMessageRequest::Reply{0xC005}));
  auto answered = answer();
  ASSERT_TRUE(answered);
  EXPECT_EQ(answered->header.requestId, 5u);
  RegisterMessageRequest::Reply reply;
  ASSERT_TRUE(decode(*answered, reply));
  EXPECT_EQ(reply.message, 0xC005u);

  // The same request as a notice (id 0): handled, never answered, even later.
  later.reset();
  handle(RegisterMessageRequest{u"Notice"}, 0);
  ASSERT_TRUE(later);
  EXPECT_FALSE(later->wanted());
  server_->answerLater(
      *later, Answer<RegisterMessageRequest::Reply>(RegisterMessageRequest::Reply{0xC006}));
  EXPECT_FALSE(answer());
}

} // namespace
