// The declared protocol's codec: the bytes it writes are the wire format the hand-written
// readers and writers used, every declared limit holds at its boundary on both ends, and a
// message that is short, has bytes or descriptors left over, or lacks a descriptor is refused.
#include "../fuzz/declared_messages.h"
#include "../src/protocol/named_object_messages.h"
#include "../src/protocol/process_messages.h"
#include "../src/protocol/sync_messages.h"
#include "../src/protocol/thread_messages.h"

#include <ce/errors.h>

#include <gtest/gtest.h>

#include <set>
#include <sys/mman.h>
#include <unistd.h>

using namespace ce;
using namespace ce::protocol;

namespace {

template <class... Parts> std::vector<std::uint8_t> bytesOf(const Parts &...parts) {
  Message message;
  EXPECT_TRUE(encode(message, 1, 0, 0, parts...));
  return message.payload;
}

std::vector<std::uint8_t> bytesOf(MessageWriter &writer) {
  Message message;
  EXPECT_TRUE(writer.finish(1, 0, 0, message));
  return message.payload;
}

template <class T> bool writes(const T &value) {
  Message message;
  return encode(message, 1, 0, 0, value);
}

template <class T> std::optional<T> read(std::span<const std::uint8_t> bytes) {
  T value;
  if (!decode(bytes, value))
    return std::nullopt;
  return value;
}

template <class T> std::optional<T> read(MessageWriter &writer) { return read<T>(bytesOf(writer)); }

} // namespace

TEST(ProtocolCodec, WritesTheWireFormatTheProcessesShare) {
  MessageWriter start;
  start.string(u"\\Windows\\x.exe").string(u"-a b").u32(5);
  EXPECT_EQ(bytesOf(StartProcessRequest{u"\\Windows\\x.exe", u"-a b", 5}), bytesOf(start));

  const HWND window = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
  MessageWriter send;
  send.u32(7).u32(99).u64(0x1234).u32(0x400).u64(3).i64(-4).u32(1).blob(
      std::vector<std::uint8_t>{9, 8});
  EXPECT_EQ(bytesOf(DeliverSendEvent{7, {99, window, 0x400, 3, -4}, {true, {9, 8}}}),
            bytesOf(send));

  MessageWriter marked;
  marked.u32(2).u64(1ull << 40).u32(2).u32(10).u32(1).u32(2).u32(3).u32(11).u32(0).u32(0).u32(1);
  EXPECT_EQ(bytesOf(SyncMarkedNotice{2, 1ull << 40, {{10, 1, 2, 3}, {11, 0, 0, 1}}}),
            bytesOf(marked));

  // Parts follow each other: a reply, then whatever the call layer adds after it.
  MessageWriter two;
  two.u32(1).u32(0).string(u"").u32(8).u32(42);
  EXPECT_EQ(bytesOf(QueryProcessRequest::Reply{true, 0, u"", 8}, StartProcessRequest::Reply{42}),
            bytesOf(two));
  EXPECT_EQ(encodedSize(StartProcessRequest{u"ab", u"", 0}),
            bytesOf(StartProcessRequest{u"ab", u"", 0}).size());
}

TEST(ProtocolCodec, ReadsBackWhatItWrote) {
  const StartProcessRequest start{u"\\Program Files\\é😀.exe", u"x", 3};
  const auto back = read<StartProcessRequest>(bytesOf(start));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->devicePath, start.devicePath);
  EXPECT_EQ(back->arguments, u"x");
  EXPECT_EQ(back->show, 3u);

  ListProcessesRequest::Reply list;
  list.processes = {{1, 0, 5, u"\\a.exe"}, {2, 1, 6, u""}};
  const auto listed = read<ListProcessesRequest::Reply>(bytesOf(list));
  ASSERT_TRUE(listed);
  ASSERT_EQ(listed->processes.size(), 2u);
  EXPECT_EQ(listed->processes[1].parent, 1u);
  EXPECT_EQ(listed->processes[0].devicePath, u"\\a.exe");
}

TEST(ProtocolCodec, NamesAreRefusedPastTheirLimitAndWhenMalformed) {
  const std::u16string longest(MAX_PATH, u'n');
  EXPECT_TRUE(writes(CreateMappingRequest{longest, 1}));
  EXPECT_TRUE(read<CreateMappingRequest>(bytesOf(CreateMappingRequest{longest, 1})));
  for (const std::u16string &bad : {longest + u"n", std::u16string(), std::u16string(u"a\0b", 3),
                                    std::u16string(u"x\xD800"), std::u16string(u"\xDC00")}) {
    EXPECT_FALSE(writes(CreateMappingRequest{bad, 1})) << bad.size();
    MessageWriter raw;
    raw.string(bad).u64(1);
    EXPECT_FALSE(read<CreateMappingRequest>(raw)) << bad.size();
  }
}

TEST(ProtocolCodec, TextsBlobsAndListsHoldTheirLimits) {
  const std::u16string path(HelloRequest::kMaxPathUnits, u'p');
  EXPECT_TRUE(read<HelloRequest>(bytesOf(HelloRequest{0, path})));
  EXPECT_FALSE(writes(HelloRequest{0, path + u"p"}));
  MessageWriter longPath;
  longPath.u32(0).string(path + u"p");
  EXPECT_FALSE(read<HelloRequest>(longPath));

  // A blob may fill what a packet holds after the fields before it, and not one byte more.
  const std::size_t room = kMaxPayloadSize - 4 - 4 - 8 - 4;
  SendResultNotice result{1, 0, 0, std::vector<std::uint8_t>(room)};
  EXPECT_TRUE(writes(result));
  result.data.push_back(0);
  EXPECT_FALSE(writes(result));

  SyncMarkedNotice marked{1, 0, std::vector<MarkedThread>(SyncMarkedNotice::kMaxThreads)};
  EXPECT_TRUE(read<SyncMarkedNotice>(bytesOf(marked)));
  marked.threads.emplace_back();
  EXPECT_FALSE(writes(marked));
  MessageWriter tooMany;
  tooMany.u32(1).u64(0).u32(SyncMarkedNotice::kMaxThreads + 1);
  for (std::uint32_t i = 0; i <= SyncMarkedNotice::kMaxThreads; ++i)
    tooMany.u32(i).u32(0).u32(0).u32(0);
  EXPECT_FALSE(read<SyncMarkedNotice>(tooMany));
  // A count the rest of the payload cannot hold is refused, whatever the limit.
  MessageWriter hollow;
  hollow.u32(0xFFFFFFFF).u32(1).u32(2).u32(3).u32(4).u64(5).string(u"x");
  EXPECT_FALSE(read<ListProcessesRequest::Reply>(hollow));
}

TEST(ProtocolCodec, NumbersAndFlagsHoldTheirRanges) {
  for (const std::uint32_t timeout : {1u, SyncRequest::kMaxTimeoutMs}) {
    EXPECT_TRUE(writes(SyncRequest{timeout, 0})) << timeout;
    EXPECT_TRUE(read<SyncRequest>(bytesOf(SyncRequest{timeout, 0}))) << timeout;
  }
  for (const std::uint32_t timeout : {0u, SyncRequest::kMaxTimeoutMs + 1}) {
    EXPECT_FALSE(writes(SyncRequest{timeout, 0})) << timeout;
    MessageWriter raw;
    raw.u32(timeout).u32(0);
    EXPECT_FALSE(read<SyncRequest>(raw)) << timeout;
  }
  EXPECT_TRUE(writes(CreateMappingRequest{u"m", CreateMappingRequest::kMaxSize}));
  EXPECT_FALSE(writes(CreateMappingRequest{u"m", CreateMappingRequest::kMaxSize + 1}));

  // A flag is 0 or 1.
  for (const std::uint32_t flag : {0u, 1u, 2u}) {
    MessageWriter raw;
    raw.string(u"e").u32(flag).u32(0);
    EXPECT_EQ(read<CreateEventRequest>(raw).has_value(), flag < 2) << flag;
  }
}

TEST(ProtocolCodec, RefusesShortMessagesTrailingBytesAndBrokenRecords) {
  const auto whole = bytesOf(TerminateProcessRequest{4, 5});
  EXPECT_TRUE(read<TerminateProcessRequest>(whole));
  EXPECT_FALSE(read<TerminateProcessRequest>(std::span(whole).first(whole.size() - 1)));
  auto trailing = whole;
  trailing.push_back(0);
  EXPECT_FALSE(read<TerminateProcessRequest>(trailing));
  EXPECT_FALSE(read<PingRequest>(std::vector<std::uint8_t>{0}));
  EXPECT_TRUE(read<PingRequest>(std::vector<std::uint8_t>{}));

  // Data without its packed flag is not a message's data.
  MessageWriter loose;
  loose.u32(1).u32(2).u64(3).u32(4).u64(5).i64(6).u32(0).blob(std::vector<std::uint8_t>{1});
  EXPECT_FALSE(read<DeliverSendEvent>(loose));
  EXPECT_FALSE(writes(DeliverSendEvent{1, {}, {false, {1}}}));
}

TEST(ProtocolCodec, CountsDescriptorsExactly) {
  const int memory = ::memfd_create("codec-test", MFD_CLOEXEC);
  ASSERT_GE(memory, 0);
  ASSERT_EQ(::write(memory, "shared", 6), 6);
  Message message;
  ASSERT_TRUE(encode(message, 1, 0, 0, NamedObjectReply{3, true, 6, Descriptor::borrow(memory)}));
  ::close(memory); // the message holds its own copy
  ASSERT_EQ(message.descriptors.size(), 1u);

  NamedObjectReply reply;
  ASSERT_TRUE(decode(message, reply));
  EXPECT_EQ(reply.id, 3u);
  EXPECT_TRUE(reply.existed);
  UniqueFd kept = reply.memory.take();
  char text[7] = {};
  EXPECT_EQ(::pread(kept.get(), text, 6, 0), 6);
  EXPECT_STREQ(text, "shared");

  // The same payload without its descriptor, or with one more, is refused.
  Message without;
  without.payload = message.payload;
  EXPECT_FALSE(decode(without, reply));
  Message extra;
  extra.payload = message.payload;
  extra.descriptors.emplace_back(::dup(kept.get()));
  extra.descriptors.emplace_back(::dup(kept.get()));
  EXPECT_FALSE(decode(extra, reply));
  // A request that declares none takes none.
  Message stray;
  ASSERT_TRUE(encode(stray, 1, 0, 0, CloseMappingNotice{3}));
  stray.descriptors.emplace_back(::dup(kept.get()));
  CloseMappingNotice notice;
  EXPECT_FALSE(decode(stray, notice));
  // And nothing is sent without the descriptor it declares.
  EXPECT_FALSE(writes(NamedObjectReply{3, false, 6, Descriptor()}));
  EXPECT_TRUE(kCarriesDescriptors<NamedObjectReply>);
  EXPECT_FALSE(kCarriesDescriptors<CreateMappingRequest>);
}

// Every declaration: its sample writes, reads back and writes the same bytes again, and no two
// declarations claim the same message.
TEST(ProtocolCodec, EveryDeclaredMessageReadsBackWhatItWrote) {
  const int fd = ::memfd_create("codec-samples", MFD_CLOEXEC);
  ASSERT_GE(fd, 0);
  std::set<std::pair<std::uint32_t, bool>> seen;
  std::apply(
      [&](const auto &...sample) {
        (
            [&] {
              const auto key = std::make_pair(sample.type, sample.reply);
              EXPECT_TRUE(seen.insert(key).second) << std::hex << sample.type << " twice";
              const auto encodeAll = [](Message &out, const auto &parts) {
                return std::apply([&](const auto &...p) { return encode(out, 1, 0, 0, p...); },
                                  parts);
              };
              Message first;
              ASSERT_TRUE(encodeAll(first, sample.parts)) << std::hex << sample.type;
              const std::vector<std::uint8_t> written = first.payload;
              const std::size_t descriptors = first.descriptors.size();
              std::remove_cvref_t<decltype(sample.parts)> back;
              ASSERT_TRUE(std::apply([&](auto &...p) { return decode(first, p...); }, back))
                  << std::hex << sample.type;
              Message again;
              ASSERT_TRUE(encodeAll(again, back)) << std::hex << sample.type;
              EXPECT_EQ(again.payload, written) << std::hex << sample.type;
              EXPECT_EQ(again.descriptors.size(), descriptors) << std::hex << sample.type;
            }(),
            ...);
      },
      declared::samples(fd));
  ::close(fd);
}
