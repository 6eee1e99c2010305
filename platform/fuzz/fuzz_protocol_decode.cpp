// Every declared message decoded from arbitrary bytes through the one codec. An input is a u32
// message type, a byte that says request (0) or answer (1), a byte with the number of
// descriptors that come with it (0 to 2), then the payload. What decodes must encode again, and
// what that gives must decode and encode to the very same bytes and descriptors: the codec never
// writes what it would refuse, and never reads two meanings into one message.
#include "declared_messages.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

using namespace ce::protocol;

template <class... Parts> void encodeAll(Message &out, const std::tuple<Parts...> &parts) {
  if (!std::apply([&](const auto &...p) { return encode(out, 1, 0, 0, p...); }, parts))
    __builtin_trap(); // what was read must be writable
}

template <class... Parts> bool decodeAll(Message &message, std::tuple<Parts...> &parts) {
  return std::apply([&](auto &...p) { return decode(message, p...); }, parts);
}

template <class... Parts>
void roundTrip(const declared::Sample<Parts...> &, std::span<const std::uint8_t> payload,
               std::size_t descriptors) {
  Message message;
  message.payload.assign(payload.begin(), payload.end());
  for (std::size_t i = 0; i < descriptors; ++i)
    message.descriptors.emplace_back(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  std::tuple<Parts...> first;
  if (!decodeAll(message, first))
    return;
  Message again;
  encodeAll(again, first);
  std::tuple<Parts...> second;
  Message copy;
  copy.payload = again.payload;
  for (const UniqueFd &fd : again.descriptors)
    copy.descriptors.emplace_back(::fcntl(fd.get(), F_DUPFD_CLOEXEC, 0));
  if (!decodeAll(copy, second))
    __builtin_trap(); // what was written must read back
  Message last;
  encodeAll(last, second);
  if (last.payload != again.payload || last.descriptors.size() != again.descriptors.size())
    __builtin_trap(); // one meaning per message
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  if (size < 6)
    return 0;
  std::uint32_t type = 0;
  std::memcpy(&type, data, 4);
  const bool reply = data[4] != 0;
  const std::size_t descriptors = std::min<std::size_t>(data[5], 2);
  const std::span<const std::uint8_t> payload(data + 6, size - 6);
  static const int kSampleFd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  static const auto samples = declared::samples(kSampleFd);
  std::apply(
      [&](const auto &...sample) {
        ((sample.type == type && sample.reply == reply ? roundTrip(sample, payload, descriptors)
                                                       : void()),
         ...);
      },
      samples);
  return 0;
}
