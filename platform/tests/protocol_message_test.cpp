// The wire format: encoding and bounds-checked decoding, and whole messages with descriptors
// over a real SOCK_SEQPACKET socket pair.
#include "../src/protocol/message_reader.h"
#include "../src/protocol/message_writer.h"
#include "../src/protocol/packet_socket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace ce::protocol;

namespace {

std::vector<std::uint8_t> payloadOf(MessageWriter &writer) {
  Message message;
  EXPECT_TRUE(writer.finish(1, 2, 0, message));
  return message.payload;
}

std::vector<std::uint8_t> packetOf(const MessageHeader &header,
                                   const std::vector<std::uint8_t> &payload) {
  std::vector<std::uint8_t> packet(kHeaderSize + payload.size());
  std::memcpy(packet.data(), &header, kHeaderSize);
  if (!payload.empty())
    std::memcpy(packet.data() + kHeaderSize, payload.data(), payload.size());
  return packet;
}

} // namespace

TEST(ProtocolMessage, FieldsRoundTripInOrder) {
  MessageWriter writer;
  const std::vector<std::uint8_t> bytes{1, 2, 3};
  writer.u32(0xDEADBEEF).i64(-5).string(u"\\Windows\\é😀").blob(bytes).u64(1ull << 40).string(u"");
  const auto payload = payloadOf(writer);

  MessageReader reader(payload);
  std::uint32_t a;
  std::int64_t b;
  std::u16string text, empty;
  std::vector<std::uint8_t> blob;
  std::uint64_t c;
  EXPECT_TRUE(reader.u32(a) && reader.i64(b) && reader.string(text) && reader.blob(blob) &&
              reader.u64(c) && reader.string(empty));
  EXPECT_TRUE(reader.complete());
  EXPECT_EQ(a, 0xDEADBEEF);
  EXPECT_EQ(b, -5);
  EXPECT_EQ(text, u"\\Windows\\é😀");
  EXPECT_EQ(blob, bytes);
  EXPECT_EQ(c, 1ull << 40);
  EXPECT_TRUE(empty.empty());
}

TEST(ProtocolMessage, ReaderRefusesWhatDoesNotFit) {
  // A string count far beyond the bytes present, including one whose byte size wraps 32 bits.
  for (std::uint32_t count : {3u, 0x80000001u, 0xFFFFFFFFu}) {
    MessageWriter writer;
    writer.u32(count).u32(0x00410041);
    const auto payload = payloadOf(writer);
    MessageReader reader(payload);
    std::u16string text;
    EXPECT_FALSE(reader.string(text)) << count;
    std::uint32_t after;
    EXPECT_FALSE(reader.u32(after)) << "a failed reader stays failed";
  }
  // A string over the caller's limit.
  MessageWriter writer;
  writer.string(u"abcdef");
  const auto payload = payloadOf(writer);
  MessageReader limited(payload);
  std::u16string text;
  EXPECT_FALSE(limited.string(text, 5));
  // Trailing bytes make the message incomplete.
  MessageReader trailing(payload);
  std::uint32_t count;
  EXPECT_TRUE(trailing.u32(count));
  EXPECT_FALSE(trailing.complete());
  // A blob longer than what is left.
  std::vector<std::uint8_t> blobBytes{0xFF, 0xFF, 0, 0, 1};
  MessageReader blobReader(blobBytes);
  std::vector<std::uint8_t> blob;
  EXPECT_FALSE(blobReader.blob(blob));
}

TEST(ProtocolMessage, NamesRefuseNulsLoneSurrogatesAndEmptiness) {
  const std::u16string bad[] = {u"", std::u16string(u"a\0b", 3), u"x\xD800", u"\xDC00y",
                                std::u16string(300, u'n')};
  for (const auto &text : bad) {
    MessageWriter writer;
    writer.string(text);
    const auto payload = payloadOf(writer);
    MessageReader reader(payload);
    std::u16string out;
    EXPECT_FALSE(reader.name(out, 260)) << text.size();
  }
  MessageWriter writer;
  writer.string(u"globalValuesMap😀");
  const auto payload = payloadOf(writer);
  MessageReader reader(payload);
  std::u16string out;
  EXPECT_TRUE(reader.name(out, 260));
}

TEST(ProtocolMessage, WriterRefusesMessagesOverTheLimit) {
  MessageWriter writer;
  std::vector<std::uint8_t> big(kMaxPayloadSize - 4);
  writer.blob(big);
  EXPECT_FALSE(writer.overflowed());
  writer.u32(1);
  EXPECT_TRUE(writer.overflowed());
  Message message;
  EXPECT_FALSE(writer.finish(1, 1, 0, message));

  MessageWriter longString;
  longString.string(std::u16string(kMaxStringUnits + 1, u'x'));
  EXPECT_TRUE(longString.overflowed());
}

TEST(ProtocolMessage, DecodeChecksHeaderAgainstPacket) {
  Message out;
  const std::vector<std::uint8_t> shortPacket(kHeaderSize - 1);
  EXPECT_EQ(PacketSocket::decode(shortPacket, out), PacketSocket::Result::Malformed);
  const std::vector<std::uint8_t> payload{1, 2, 3, 4};
  EXPECT_EQ(PacketSocket::decode(packetOf({5, 6, 5, 0}, payload), out),
            PacketSocket::Result::Malformed);
  EXPECT_EQ(PacketSocket::decode(packetOf({5, 6, 0xFFFFFFFF, 0}, payload), out),
            PacketSocket::Result::Malformed);
  ASSERT_EQ(PacketSocket::decode(packetOf({5, 6, 4, 7}, payload), out), PacketSocket::Result::Ok);
  EXPECT_EQ(out.header.type, 5u);
  EXPECT_EQ(out.header.requestId, 6u);
  EXPECT_EQ(out.header.status, 7u);
  EXPECT_EQ(out.payload, payload);
}

TEST(ProtocolSocket, MessagesAndDescriptorsCrossASocketPair) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, pair), 0);
  UniqueFd left(pair[0]), right(pair[1]);

  const int memory = ::memfd_create("protocol-test", MFD_CLOEXEC);
  ASSERT_GE(memory, 0);
  ASSERT_EQ(::write(memory, "shared", 6), 6);
  MessageWriter writer;
  writer.string(u"mapping").descriptor(memory);
  ::close(memory); // the message holds its own copy
  Message sent;
  ASSERT_TRUE(writer.finish(+MessageType::CreateMapping, 42, 183, sent));
  ASSERT_EQ(PacketSocket::send(left.get(), sent), PacketSocket::Result::Ok);

  Message got;
  std::vector<std::uint8_t> buffer;
  ASSERT_EQ(PacketSocket::receive(right.get(), got, buffer), PacketSocket::Result::Ok);
  EXPECT_EQ(got.type(), MessageType::CreateMapping);
  EXPECT_EQ(got.header.requestId, 42u);
  EXPECT_EQ(got.header.status, 183u);
  ASSERT_EQ(got.descriptors.size(), 1u);
  char text[7] = {};
  EXPECT_EQ(::pread(got.descriptors[0].get(), text, 6, 0), 6);
  EXPECT_STREQ(text, "shared");

  // A raw packet whose header lies about its length is refused, and the next one still reads.
  const auto liar = packetOf({1, 1, 100, 0}, {1, 2});
  ASSERT_EQ(::send(left.get(), liar.data(), liar.size(), 0), static_cast<ssize_t>(liar.size()));
  EXPECT_EQ(PacketSocket::receive(right.get(), got, buffer), PacketSocket::Result::Malformed);
  ASSERT_EQ(PacketSocket::send(left.get(), sent), PacketSocket::Result::Ok);
  EXPECT_EQ(PacketSocket::receive(right.get(), got, buffer), PacketSocket::Result::Ok);

  left.reset();
  EXPECT_EQ(PacketSocket::receive(right.get(), got, buffer), PacketSocket::Result::Closed);
}

TEST(ProtocolSocket, ListensAtLongPathsWithOwnerOnlyMode) {
  char pattern[] = "/tmp/ce-protocol-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  std::filesystem::path dir = std::filesystem::path(pattern) / std::string(120, 'd');
  std::filesystem::create_directories(dir);
  const auto path = dir / "host.sock";
  UniqueFd listener = PacketSocket::listenAt(path);
  ASSERT_TRUE(listener) << std::strerror(errno);
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
  UniqueFd client = PacketSocket::connectTo(path);
  EXPECT_TRUE(client);
  std::filesystem::remove_all(pattern);
}
