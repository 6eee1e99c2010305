#include "packet_socket.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>

namespace ce::protocol {
namespace {

// A socket address for `path`. Paths too long for sun_path go through the directory's open
// descriptor (/proc/self/fd/N/name), which the kernel resolves like the full path; `dirFd`
// keeps that descriptor open while it is needed.
bool makeAddress(const std::filesystem::path &path, sockaddr_un &address, UniqueFd &dirFd) {
  std::memset(&address, 0, sizeof address);
  address.sun_family = AF_UNIX;
  std::string text = path.string();
  if (text.size() >= sizeof address.sun_path) {
    dirFd.reset(::open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!dirFd)
      return false;
    text = "/proc/self/fd/" + std::to_string(dirFd.get()) + "/" + path.filename().string();
    if (text.size() >= sizeof address.sun_path) {
      errno = ENAMETOOLONG;
      return false;
    }
  }
  std::memcpy(address.sun_path, text.c_str(), text.size() + 1);
  return true;
}

} // namespace

PacketSocket::Result PacketSocket::decode(std::span<const std::uint8_t> packet, Message &out) {
  if (packet.size() < kHeaderSize || packet.size() > kMaxMessageSize)
    return Result::Malformed;
  std::memcpy(&out.header, packet.data(), kHeaderSize);
  if (out.header.payloadLength != packet.size() - kHeaderSize)
    return Result::Malformed;
  out.payload.assign(packet.begin() + kHeaderSize, packet.end());
  return Result::Ok;
}

PacketSocket::Result PacketSocket::send(int fd, const Message &message, int flags) {
  if (message.payload.size() > kMaxPayloadSize || message.descriptors.size() > kMaxDescriptors)
    return Result::Malformed;
  MessageHeader header = message.header;
  header.payloadLength = static_cast<std::uint32_t>(message.payload.size());
  iovec parts[2] = {{&header, kHeaderSize},
                    {const_cast<std::uint8_t *>(message.payload.data()), message.payload.size()}};
  msghdr packet{};
  packet.msg_iov = parts;
  packet.msg_iovlen = message.payload.empty() ? 1 : 2;
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptors)];
  if (!message.descriptors.empty()) {
    const std::size_t bytes = sizeof(int) * message.descriptors.size();
    packet.msg_control = control;
    packet.msg_controllen = CMSG_SPACE(bytes);
    cmsghdr *rights = CMSG_FIRSTHDR(&packet);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(bytes);
    int *fds = reinterpret_cast<int *>(CMSG_DATA(rights));
    for (std::size_t i = 0; i < message.descriptors.size(); ++i)
      fds[i] = message.descriptors[i].get();
  }
  for (;;) {
    const ssize_t sent = ::sendmsg(fd, &packet, flags | MSG_NOSIGNAL);
    if (sent >= 0)
      return Result::Ok;
    if (errno == EINTR)
      continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK)
      return Result::WouldBlock;
    if (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN)
      return Result::Closed;
    return Result::Failed;
  }
}

PacketSocket::Result PacketSocket::receive(int fd, Message &out, std::vector<std::uint8_t> &buffer,
                                           int flags) {
  buffer.resize(kMaxMessageSize);
  iovec part{buffer.data(), buffer.size()};
  alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int) * kMaxDescriptors)];
  msghdr packet{};
  packet.msg_iov = &part;
  packet.msg_iovlen = 1;
  packet.msg_control = control;
  packet.msg_controllen = sizeof control;
  ssize_t got;
  for (;;) {
    got = ::recvmsg(fd, &packet, flags | MSG_CMSG_CLOEXEC);
    if (got >= 0)
      break;
    if (errno == EINTR)
      continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK)
      return Result::WouldBlock;
    if (errno == ECONNRESET)
      return Result::Closed;
    return Result::Failed;
  }
  out.descriptors.clear();
  // Take ownership of every descriptor first, so that none leaks whatever else is wrong.
  for (cmsghdr *c = CMSG_FIRSTHDR(&packet); c; c = CMSG_NXTHDR(&packet, c)) {
    if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
      continue;
    const std::size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
    const int *fds = reinterpret_cast<const int *>(CMSG_DATA(c));
    for (std::size_t i = 0; i < count; ++i) {
      int value;
      std::memcpy(&value, fds + i, sizeof value);
      out.descriptors.emplace_back(value);
    }
  }
  if (got == 0 && out.descriptors.empty())
    return Result::Closed;
  if ((packet.msg_flags & (MSG_TRUNC | MSG_CTRUNC)) || out.descriptors.size() > kMaxDescriptors) {
    out.descriptors.clear();
    return Result::Malformed;
  }
  const Result decoded =
      decode(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)), out);
  if (decoded != Result::Ok)
    out.descriptors.clear();
  return decoded;
}

UniqueFd PacketSocket::listenAt(const std::filesystem::path &path) {
  sockaddr_un address;
  UniqueFd dirFd;
  if (!makeAddress(path, address, dirFd))
    return UniqueFd();
  UniqueFd socket(::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
  if (!socket)
    return socket;
  ::unlink(address.sun_path);
  // Bind under a umask that leaves the socket to its owner alone, then make sure of the mode.
  const mode_t previous = ::umask(0077);
  const int bound = ::bind(socket.get(), reinterpret_cast<sockaddr *>(&address), sizeof address);
  ::umask(previous);
  if (bound != 0 || ::chmod(address.sun_path, 0600) != 0 || ::listen(socket.get(), 64) != 0)
    return UniqueFd();
  return socket;
}

UniqueFd PacketSocket::connectTo(const std::filesystem::path &path, int limitMs) {
  sockaddr_un address;
  UniqueFd dirFd;
  if (!makeAddress(path, address, dirFd))
    return UniqueFd();
  // Non-blocking while connecting when there is a limit: a listener that does not accept (a
  // stopped host with a full backlog) answers EAGAIN instead of holding the caller.
  UniqueFd socket(
      ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | (limitMs >= 0 ? SOCK_NONBLOCK : 0), 0));
  if (!socket)
    return socket;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
  for (;;) {
    if (::connect(socket.get(), reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
      break;
    if (errno == EINTR)
      continue;
    if (limitMs >= 0 && (errno == EAGAIN || errno == EWOULDBLOCK) &&
        std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      continue;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK)
      errno = ETIMEDOUT;
    return UniqueFd();
  }
  if (limitMs >= 0) {
    const int flags = ::fcntl(socket.get(), F_GETFL);
    if (flags < 0 || ::fcntl(socket.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
      return UniqueFd();
  }
  return socket;
}

} // namespace ce::protocol
