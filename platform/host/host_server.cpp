#include "host_server.h"

#include "../src/client/host_connection.h"
#include "../src/protocol/packet_socket.h"
#include "request_name.h"

#include <ce/errors.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/timerfd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ce::host {
namespace {

using protocol::MessageType;
using protocol::PacketSocket;

// epoll tags: the kind in the top byte, the peer id or pid below.
constexpr std::uint64_t kListenerTag = 1ull << 56;
constexpr std::uint64_t kWakeTag = 2ull << 56;
constexpr std::uint64_t kPeerTag = 3ull << 56;
constexpr std::uint64_t kChildTag = 4ull << 56;
constexpr std::uint64_t kRestTag = 5ull << 56;
constexpr std::uint64_t kKindMask = 0xFFull << 56;

} // namespace

HostServer::HostServer(protocol::UniqueFd listener, HostLog &log)
    : listener_(std::move(listener)), log_(log),
      // Created here, not in run(), so other threads may wake the loop at any time.
      wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)),
      spare_(::open("/dev/null", O_RDONLY | O_CLOEXEC)),
      restTimer_(::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {}

HostServer::~HostServer() = default;

void HostServer::registerHandler(MessageType type, RequestHandler handler) {
  handlers_[+type] = std::move(handler);
}

void HostServer::acceptDescriptors(MessageType type) {
  takesDescriptors_[static_cast<std::uint32_t>(type)] = true;
}

void HostServer::addObserver(ProcessObserver *observer) { observers_.push_back(observer); }

void HostServer::stop() {
  stopping_.store(true);
  if (wake_) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
  }
}

void HostServer::runOnLoop(std::function<void()> work) {
  {
    std::lock_guard lock(loopWorkMutex_);
    loopWork_.push_back(std::move(work));
  }
  if (wake_) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wake_.get(), &one, sizeof one);
  }
}

void HostServer::runLoopWork() {
  std::uint64_t count = 0;
  [[maybe_unused]] const auto drained = ::read(wake_.get(), &count, sizeof count);
  std::vector<std::function<void()>> work;
  {
    std::lock_guard lock(loopWorkMutex_);
    work.swap(loopWork_);
  }
  for (auto &item : work)
    item();
}

bool HostServer::run() {
  // A platform call made on this thread that needs the host's answer would wait for this very
  // loop: it fails at once instead, and the log names it.
  const HostConnection::LoopThreadMark loopThread([this](protocol::MessageType type) {
    log_.line("refused " + requestName(type) +
              " on the host's loop thread: the loop cannot wait for its own answer");
  });
  epoll_.reset(::epoll_create1(EPOLL_CLOEXEC));
  if (!wake_)
    wake_.reset(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
  if (!epoll_ || !wake_ || !listener_)
    return false;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kListenerTag;
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, listener_.get(), &event);
  listening_ = true;
  event.data.u64 = kWakeTag;
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, wake_.get(), &event);
  if (restTimer_) {
    event.data.u64 = kRestTag;
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, restTimer_.get(), &event);
  }
  for (auto &[id, peer] : peers_)
    updateInterest(*peer, true);
  for (auto &[fd, pid] : childFds_) {
    event.data.u64 = kChildTag | pid;
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, fd, &event);
  }

  runLoopWork(); // work handed over before the loop started
  epoll_event ready[32];
  while (!stopping_.load()) {
    const int count = ::epoll_wait(epoll_.get(), ready, 32, -1);
    if (count < 0) {
      if (errno == EINTR)
        continue;
      log_.line(std::string("epoll_wait failed: ") + std::strerror(errno));
      return false;
    }
    for (int i = 0; i < count && !stopping_.load(); ++i) {
      const std::uint64_t tag = ready[i].data.u64;
      const std::uint64_t low = tag & ~kKindMask;
      switch (tag & kKindMask) {
      case kListenerTag:
        acceptAll();
        break;
      case kWakeTag:
        runLoopWork();
        break;
      case kPeerTag:
        if (ready[i].events & EPOLLOUT)
          writeTo(low);
        if (ready[i].events & (EPOLLIN | EPOLLHUP | EPOLLERR | EPOLLRDHUP))
          readFrom(low);
        break;
      case kChildTag:
        reap(static_cast<DWORD>(low));
        break;
      case kRestTag:
        resumeListener();
        break;
      }
    }
  }
  return true;
}

void HostServer::acceptAll() {
  while (listening_) {
    protocol::UniqueFd socket(
        ::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!socket) {
      if (errno == EINTR || errno == ECONNABORTED)
        continue;
      if (errno == EAGAIN || errno == EWOULDBLOCK)
        return;
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        if (refuseOnePending())
          continue;
        noteRefusal("out of descriptors");
        restListener();
        return;
      }
      noteRefusal(std::string("accept failed: ") + std::strerror(errno));
      restListener();
      return;
    }
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(socket.get(), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        credentials.uid != ::getuid()) {
      log_.line("refused a connection from another user");
      continue;
    }
    const DWORD pid = static_cast<DWORD>(credentials.pid);
    if (connectionsOf_[pid] >= kMaxConnectionsPerProcess) {
      noteRefusal("process " + std::to_string(pid) + " holds " +
                  std::to_string(kMaxConnectionsPerProcess) + " connections already");
      continue; // the socket closes here
    }
    adopt(std::move(socket), pid, credentials.uid);
  }
}

bool HostServer::refuseOnePending() {
  // The spare descriptor makes room for exactly one accept, whose socket is closed at once: the
  // peer sees its connection closed instead of waiting in the backlog.
  if (!spare_)
    return false;
  spare_.reset();
  protocol::UniqueFd refused(::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC));
  const bool accepted = static_cast<bool>(refused);
  refused.reset();
  spare_.reset(::open("/dev/null", O_RDONLY | O_CLOEXEC));
  if (!accepted)
    return false;
  noteRefusal("out of descriptors");
  return true;
}

void HostServer::restListener() {
  if (!listening_ || !epoll_)
    return;
  if (!restTimer_) {
    // Without a timer the listener stays on: better a busy loop than a deaf host.
    return;
  }
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, listener_.get(), nullptr);
  listening_ = false;
  itimerspec rest{};
  rest.it_value.tv_sec = kListenerRestMs / 1000;
  rest.it_value.tv_nsec = static_cast<long>(kListenerRestMs % 1000) * 1000000L;
  ::timerfd_settime(restTimer_.get(), 0, &rest, nullptr);
}

void HostServer::resumeListener() {
  std::uint64_t expirations = 0;
  [[maybe_unused]] const auto drained = ::read(restTimer_.get(), &expirations, sizeof expirations);
  if (listening_ || !epoll_)
    return;
  epoll_event event{};
  event.events = EPOLLIN;
  event.data.u64 = kListenerTag;
  ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, listener_.get(), &event);
  listening_ = true;
  acceptAll();
}

void HostServer::noteRefusal(const std::string &why) {
  const auto now = std::chrono::steady_clock::now();
  const auto interval = std::chrono::milliseconds(kRefusalLogIntervalMs);
  // Reasons quiet for a whole interval are forgotten, so the table stays small.
  std::erase_if(refusals_, [&](const auto &entry) {
    return entry.first != why && entry.second.unlogged == 0 &&
           now - entry.second.logged >= interval;
  });
  auto [it, fresh] = refusals_.try_emplace(why);
  RefusalLog &record = it->second;
  if (!fresh && now - record.logged < interval) {
    ++record.unlogged;
    return;
  }
  std::string line = "refusing connections: " + why;
  if (record.unlogged > 0)
    line += " (and " + std::to_string(record.unlogged) + " times since the last such line)";
  log_.line(line);
  record.logged = now;
  record.unlogged = 0;
}

PeerConnection &HostServer::adopt(protocol::UniqueFd socket, DWORD pid, std::uint32_t uid) {
  const std::uint64_t id = nextPeerId_++;
  ++connectionsOf_[pid];
  auto peer = std::make_unique<PeerConnection>(id, std::move(socket), pid, uid);
  PeerConnection &ref = *peer;
  peers_.emplace(id, std::move(peer));
  if (epoll_ && ref.socket() >= 0) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLRDHUP;
    event.data.u64 = kPeerTag | id;
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, ref.socket(), &event);
  }
  return ref;
}

void HostServer::updateInterest(PeerConnection &peer, bool registering) {
  if (!epoll_ || peer.socket() < 0)
    return;
  // Most sends leave nothing queued: the interest stays as it was and costs no system call.
  const bool writing = peer.hasQueued();
  if (!registering && writing == peer.watchedForWriting())
    return;
  peer.setWatchedForWriting(writing);
  epoll_event event{};
  event.events = EPOLLIN | EPOLLRDHUP | (writing ? EPOLLOUT : 0u);
  event.data.u64 = kPeerTag | peer.id();
  if (::epoll_ctl(epoll_.get(), EPOLL_CTL_MOD, peer.socket(), &event) != 0)
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, peer.socket(), &event);
}

PeerConnection *HostServer::peer(std::uint64_t id) {
  auto it = peers_.find(id);
  return it == peers_.end() ? nullptr : it->second.get();
}

PeerConnection *HostServer::peerOfProcess(DWORD pid) {
  PeerConnection *best = nullptr;
  for (auto &[id, peer] : peers_)
    if (peer->pid() == pid && peer->greeted() && !peer->isTool() && !peer->isPostConnection() &&
        (!best || id < best->id()))
      best = peer.get();
  return best;
}

void HostServer::readFrom(std::uint64_t peerId) {
  // One message per turn of the loop: the socket stays ready while more wait (epoll is level
  // triggered), so every peer gets its turn, and a lone request costs no read that finds
  // nothing.
  PeerConnection *peer = this->peer(peerId);
  if (!peer)
    return;
  protocol::Message message;
  switch (PacketSocket::receive(peer->socket(), message, buffer_, MSG_DONTWAIT)) {
  case PacketSocket::Result::Ok:
    handle(*peer, message);
    return;
  case PacketSocket::Result::WouldBlock:
    return;
  case PacketSocket::Result::Malformed:
    log_.line("process " + std::to_string(peer->pid()) +
              " sent a packet that is not a message; dropping its connection");
    drop(peerId);
    return;
  case PacketSocket::Result::Closed:
  case PacketSocket::Result::Failed:
    drop(peerId);
    return;
  }
}

void HostServer::writeTo(std::uint64_t peerId) {
  PeerConnection *peer = this->peer(peerId);
  if (!peer)
    return;
  if (!peer->flush()) {
    drop(peerId);
    return;
  }
  updateInterest(*peer);
}

bool HostServer::send(PeerConnection &peer, protocol::Message message) {
  if (!message.isReply() && message.type() != MessageType::SyncProbe)
    ++eventsSent_;
  const bool wasIdle = !peer.hasQueued();
  if (!peer.queue(std::move(message))) {
    log_.line("process " + std::to_string(peer.pid()) +
              " does not read its messages; dropping its connection");
    drop(peer.id());
    return false;
  }
  if (peer.socket() < 0)
    return true; // a socketless peer (fuzzing) only collects
  if (wasIdle) {
    if (!peer.flush()) {
      drop(peer.id());
      return false;
    }
  }
  updateInterest(peer);
  return true;
}

bool HostServer::sendAfterAnswer(PeerConnection &peer, protocol::Message message) {
  if (!handling_)
    return send(peer, std::move(message));
  ++eventsSent_;
  if (!peer.queue(std::move(message))) {
    log_.line("process " + std::to_string(peer.pid()) +
              " does not read its messages; dropping its connection");
    drop(peer.id());
    return false;
  }
  heldBack_.push_back(peer.id());
  return true;
}

void HostServer::flushHeldBack() {
  std::vector<std::uint64_t> peers;
  peers.swap(heldBack_);
  for (std::uint64_t id : peers) {
    PeerConnection *target = peer(id);
    if (!target || target->socket() < 0)
      continue;
    if (!target->flush()) {
      drop(id);
      continue;
    }
    updateInterest(*target);
  }
}

void HostServer::handle(PeerConnection &peer, protocol::Message &message) {
  handling_ = true;
  handleRequest(peer, message);
  handling_ = false;
  flushHeldBack();
}

void HostServer::handleRequest(PeerConnection &peer, protocol::Message &message) {
  HostRequest request(*this, peer, message);
  // Descriptors from a process are refused except on the few requests made to carry them.
  if ((!message.descriptors.empty() && !takesDescriptors_.count(message.header.type)) ||
      message.isReply()) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  if (!peer.greeted() && message.type() != MessageType::Hello) {
    request.reply(ERROR_INVALID_PARAMETER);
    return;
  }
  auto it = handlers_.find(message.header.type);
  if (it == handlers_.end()) {
    request.reply(ERROR_INVALID_FUNCTION);
    return;
  }
  it->second(request);
  if (!request.answered())
    request.reply(ERROR_SUCCESS);
}

void HostServer::drop(std::uint64_t peerId) {
  auto it = peers_.find(peerId);
  if (it == peers_.end())
    return;
  std::unique_ptr<PeerConnection> peer = std::move(it->second);
  peers_.erase(it);
  if (auto count = connectionsOf_.find(peer->pid());
      count != connectionsOf_.end() && --count->second <= 0)
    connectionsOf_.erase(count);
  if (epoll_ && peer->socket() >= 0)
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, peer->socket(), nullptr);
  if (!peer->greeted() || peer->isTool() || peer->isPostConnection())
    return;
  ProcessRecord *record = processes_.find(peer->pid());
  if (!record || --record->connections > 0)
    return;
  processGone(peer->pid());
  record = processes_.find(peer->pid());
  if (record && !record->startedByHost)
    processes_.remove(peer->pid(), record->requestedExitCode.value_or(0));
}

void HostServer::processGone(DWORD pid) {
  ProcessRecord *record = processes_.find(pid);
  if (record) {
    if (record->goneNotified)
      return;
    record->goneNotified = true;
  }
  for (ProcessObserver *observer : observers_)
    observer->onProcessExit(pid);
}

void HostServer::watchChild(DWORD pid, int pidfd) {
  childFds_[pidfd] = pid;
  if (epoll_) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u64 = kChildTag | pid;
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_ADD, pidfd, &event);
  }
}

void HostServer::reap(DWORD pid) {
  ProcessRecord *record = processes_.find(pid);
  if (!record || record->pidfd < 0)
    return;
  siginfo_t info{};
  if (::waitid(P_PIDFD, static_cast<id_t>(record->pidfd), &info, WEXITED | WNOHANG) != 0 ||
      info.si_pid == 0)
    return;
  DWORD code = info.si_code == CLD_EXITED ? static_cast<DWORD>(info.si_status)
                                          : 128u + static_cast<DWORD>(info.si_status);
  if (record->requestedExitCode)
    code = *record->requestedExitCode;
  if (epoll_)
    ::epoll_ctl(epoll_.get(), EPOLL_CTL_DEL, record->pidfd, nullptr);
  childFds_.erase(record->pidfd);
  log_.line("process " + std::to_string(pid) + " ended with " + std::to_string(code));
  processGone(pid);
  processes_.remove(pid, code);
}

} // namespace ce::host
