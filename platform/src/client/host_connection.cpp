#include "host_connection.h"

#include "../kernel/poll_deadline.h"
#include "../kernel/thread_message_queue.h"
#include "../protocol/packet_socket.h"
#include "../protocol/process_messages.h"
#include "../protocol/thread_messages.h"
#include "../windowing/message_marshaller.h"
#include "post_connection.h"
#include "sync_probe.h"

#include <ce/core/device_root.h>
#include <ce/core/utf.h>
#include <ce/errors.h>
#include <ce/host/host_lock.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace ce {

using protocol::Message;
using protocol::MessageType;
using protocol::PacketSocket;

struct HostConnection::Link {
  Link(protocol::UniqueFd socket, std::uint64_t number) : fd(std::move(socket)), serial(number) {}
  protocol::UniqueFd fd;
  const std::uint64_t serial;
  std::atomic<bool> alive{true};
  // Set by the reader thread as it lets go of the link (leave() waits for it).
  std::mutex readerMutex;
  std::condition_variable readerEnded;
  bool readerDone = false;

  bool send(const Message &message) {
    return alive.load() && PacketSocket::send(fd.get(), message) == PacketSocket::Result::Ok;
  }
};

struct HostConnection::PendingCall {
  const Link *link = nullptr;
  int notifyFd = -1; // written when the call completes, for waits that also poll their queue
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool lost = false;
  Message answer;

  void complete(Message *message, bool connectionLost) {
    {
      std::lock_guard lock(mutex);
      if (message)
        answer = std::move(*message);
      lost = connectionLost;
      finished = true;
    }
    done.notify_all();
    if (notifyFd >= 0) {
      const std::uint64_t one = 1;
      [[maybe_unused]] const auto written = ::write(notifyFd, &one, sizeof one);
    }
  }
};

namespace {

// A window value no window has: a filter with it lets PeekMessageW run sent work and take
// nothing else.
const HWND kNoWindow = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-2));

HostConnection *g_instance = nullptr;
// The serial of the connection whose reader thread this is.
thread_local std::uint64_t t_readerSerial = 0;
// Set while the thread is the host's loop thread: the handler of refused calls.
thread_local HostConnection::RefusedCallHandler *t_loopThreadRefusal = nullptr;

// The calling thread's descriptor for "my call has completed", created on first need.
int threadNotifyFd() {
  thread_local struct Holder {
    int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    ~Holder() {
      if (fd >= 0)
        ::close(fd);
    }
  } holder;
  return holder.fd;
}

void drain(int fd) {
  std::uint64_t count;
  [[maybe_unused]] const auto got = ::read(fd, &count, sizeof count);
}

std::u16string ownExecutable() {
  char buffer[4096];
  const ssize_t size = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (size <= 0)
    return {};
  return ce::toUtf16(std::string(buffer, static_cast<std::size_t>(size)));
}

// Answers a sent message exactly once: with the result when it ran, or with a failure when the
// work was dropped unrun (its thread ended first).
class SendTicket {
public:
  SendTicket(std::weak_ptr<void> link, std::function<bool(const Message &)> send, std::uint32_t id)
      : link_(std::move(link)), send_(std::move(send)), id_(id) {}
  ~SendTicket() {
    if (!answered_)
      answer(ERROR_INVALID_PARAMETER, 0);
  }
  void answer(DWORD status, LRESULT result, std::vector<std::uint8_t> reply = {}) {
    answered_ = true;
    if (link_.expired())
      return;
    Message message;
    if (protocol::encode(message, protocol::typeOf<protocol::SendResultNotice>(), 0, 0,
                         protocol::SendResultNotice{id_, status, result, std::move(reply)}))
      send_(message);
  }

private:
  std::weak_ptr<void> link_;
  std::function<bool(const Message &)> send_;
  std::uint32_t id_;
  bool answered_ = false;
};

} // namespace

HostConnection &HostConnection::instance() {
  static const bool registered = [] {
    g_instance = new HostConnection; // lives until exit: the reader thread may outlive statics
    ::pthread_atfork(nullptr, nullptr, &HostConnection::afterFork);
    return true;
  }();
  (void)registered;
  return *g_instance;
}

void HostConnection::afterFork() {
  // The child has none of the parent's threads: leave the parent's state (its locks may be
  // held) and start without a connection.
  g_instance = new HostConnection;
}

void HostConnection::setAnswerLimit(int milliseconds) {
  answerLimitMs_.store(std::max(milliseconds, 0));
}

void HostConnection::endProcessWithHost() { endWithHost_.store(true); }

void HostConnection::actAsTool() {
  std::lock_guard lock(mutex_);
  tool_ = true;
}

bool HostConnection::isTool() const {
  std::lock_guard lock(mutex_);
  return tool_;
}

bool HostConnection::isConnected() const {
  std::lock_guard lock(mutex_);
  return link_ && link_->alive.load();
}

std::uint64_t HostConnection::connectionSerial() const {
  std::lock_guard lock(mutex_);
  return link_ && link_->alive.load() ? link_->serial : 0;
}

std::uint64_t HostConnection::eventConnectionSerial() { return t_readerSerial; }

DWORD HostConnection::hostPid() const {
  std::lock_guard lock(mutex_);
  return hostPid_;
}

std::u16string HostConnection::devicePath() const {
  std::lock_guard lock(mutex_);
  return devicePath_;
}

void HostConnection::setSentMessageHandler(SentMessageHandler handler) {
  std::lock_guard lock(mutex_);
  sentHandler_ = std::move(handler);
}

void HostConnection::setEventHandler(std::uint32_t type, EventHandler handler) {
  std::lock_guard lock(mutex_);
  eventHandlers_[type] = std::move(handler);
}

std::shared_ptr<HostConnection::Link> HostConnection::currentLink() {
  {
    std::lock_guard lock(mutex_);
    if (link_ && link_->alive.load())
      return link_;
  }
  if (!connect())
    return nullptr;
  std::lock_guard lock(mutex_);
  return link_;
}

HostConnection::LoopThreadMark::LoopThreadMark(RefusedCallHandler refused)
    : previous_(t_loopThreadRefusal), refused_(std::move(refused)) {
  t_loopThreadRefusal = &refused_;
}

HostConnection::LoopThreadMark::~LoopThreadMark() { t_loopThreadRefusal = previous_; }

bool HostConnection::refusedOnLoopThread(MessageType type) {
  RefusedCallHandler *refused = t_loopThreadRefusal;
  if (!refused)
    return false;
  if (*refused)
    (*refused)(type);
  SetLastError(ERROR_POSSIBLE_DEADLOCK);
  return true;
}

bool HostConnection::connect() {
  if (isConnected())
    return true;
  if (refusedOnLoopThread(MessageType::Hello))
    return false;
  std::lock_guard connecting(connectMutex_);
  bool tool;
  {
    std::lock_guard lock(mutex_);
    if (link_ && link_->alive.load())
      return true;
    tool = tool_;
  }
  const auto root = DeviceRoot::path();
  if (root.empty()) {
    SetLastError(ERROR_BROKEN_PIPE);
    return false;
  }
  const int limit = answerLimitMs_.load();
  protocol::UniqueFd socket =
      PacketSocket::connectTo(DeviceRoot::runDirectory() / "host.sock", limit > 0 ? limit : -1);
  if (!socket) {
    SetLastError(errno == ETIMEDOUT ? ERROR_TIMEOUT : ERROR_BROKEN_PIPE);
    return false;
  }
  std::uint64_t serial;
  {
    // With the process id in its high half, no connection of a child made by fork has the
    // number of one of its parent's.
    std::lock_guard lock(mutex_);
    serial = (static_cast<std::uint64_t>(::getpid()) << 32) | nextSerial_++;
  }
  auto link = std::make_shared<Link>(std::move(socket), serial);
  std::thread([this, link] { readerLoop(link); }).detach();

  // Hello goes out on the new link before anyone else may use it.
  auto pending = std::make_shared<PendingCall>();
  pending->link = link.get();
  std::uint32_t id;
  {
    std::lock_guard lock(mutex_);
    id = nextRequest_++;
    if (id == 0)
      id = nextRequest_++;
    pending_[id] = pending;
  }
  Message message;
  if (!protocol::encode(message, protocol::typeOf<protocol::HelloRequest>(), id, 0,
                        protocol::HelloRequest{tool ? protocol::kHelloTool : 0, ownExecutable()})) {
    linkLost(link);
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (!link->send(message)) {
    linkLost(link);
    SetLastError(ERROR_BROKEN_PIPE);
    return false;
  }
  const Wait greeted = waitFor(*pending, false);
  protocol::HelloRequest::Reply greeting;
  if (greeted != Wait::Answered || pending->answer.header.status != ERROR_SUCCESS ||
      !protocol::decode(pending->answer, greeting)) {
    linkLost(link);
    SetLastError(greeted == Wait::TimedOut ? ERROR_TIMEOUT : ERROR_BROKEN_PIPE);
    return false;
  }
  std::lock_guard lock(mutex_);
  hostPid_ = greeting.hostPid;
  if (!tool)
    devicePath_ = greeting.devicePath;
  link_ = link;
  return true;
}

void HostConnection::disconnect() {
  std::shared_ptr<Link> link;
  {
    std::lock_guard lock(mutex_);
    link = link_;
  }
  if (link)
    linkLost(link);
}

bool HostConnection::leave(int limitMs) {
  std::shared_ptr<Link> link;
  {
    std::lock_guard lock(mutex_);
    link = link_;
  }
  if (!link)
    return true;
  // From here the end of the link is this process's doing: nothing more goes out, and the
  // reader does not take the host's close for the host's end.
  link->alive.store(false);
  bool gone = false;
  if (t_readerSerial != link->serial) {
    // Closing only the sending side lets the host read the end of the stream, forget the
    // process and close its side, which ends the reader.
    ::shutdown(link->fd.get(), SHUT_WR);
    std::unique_lock lock(link->readerMutex);
    gone = link->readerEnded.wait_for(lock, std::chrono::milliseconds(std::max(limitMs, 0)),
                                      [&] { return link->readerDone; });
  }
  linkLost(link);
  return gone;
}

void HostConnection::linkLost(const std::shared_ptr<Link> &link) {
  std::vector<std::shared_ptr<PendingCall>> failed;
  {
    std::lock_guard lock(mutex_);
    link->alive.store(false);
    if (link_ == link)
      link_.reset();
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (it->second->link == link.get()) {
        failed.push_back(it->second);
        it = pending_.erase(it);
      } else {
        ++it;
      }
    }
  }
  // Wakes the reader thread, which then lets go of the link.
  ::shutdown(link->fd.get(), SHUT_RDWR);
  for (auto &pending : failed)
    pending->complete(nullptr, true);
}

void HostConnection::readerLoop(std::shared_ptr<Link> link) {
  t_readerSerial = link->serial;
  std::vector<std::uint8_t> buffer;
  for (;;) {
    Message message;
    const auto result = PacketSocket::receive(link->fd.get(), message, buffer);
    if (result == PacketSocket::Result::Malformed)
      continue;
    if (result != PacketSocket::Result::Ok)
      break;
    if (message.isReply()) {
      std::shared_ptr<PendingCall> pending;
      {
        std::lock_guard lock(mutex_);
        auto it = pending_.find(message.header.requestId);
        if (it != pending_.end() && it->second->link == link.get()) {
          pending = it->second;
          pending_.erase(it);
        }
      }
      if (pending)
        pending->complete(&message, false);
    } else {
      dispatchEvent(message, link);
    }
  }
  // Still alive: the host closed the connection (disconnect() clears the flag first).
  const bool closedByHost = link->alive.load();
  linkLost(link);
  {
    std::lock_guard lock(link->readerMutex);
    link->readerDone = true;
  }
  link->readerEnded.notify_all();
  if (closedByHost && endWithHost_.load())
    endIfHostGone();
}

void HostConnection::endIfHostGone() {
  const auto root = DeviceRoot::path();
  if (root.empty())
    return;
  // The host's end closes its sockets and its lock together, but the lock may go a moment later:
  // a host still holding it after a second has only dropped this connection.
  if (!HostLock::waitUntilReleased(root, 1000))
    return;
  ::kill(::getpid(), SIGKILL);
}

void HostConnection::dispatchEvent(Message &message, const std::shared_ptr<Link> &link) {
  switch (message.type()) {
  case MessageType::DeliverPost:
    deliverPost(message);
    return;
  case MessageType::DeliverSend:
    deliverSend(message, link);
    return;
  case MessageType::SyncProbe: {
    std::weak_ptr<Link> weak = link;
    answerSyncProbe(message, [weak](const Message &notice) {
      auto strong = weak.lock();
      return strong && strong->send(notice);
    });
    return;
  }
  default:
    break;
  }
  EventHandler handler;
  {
    std::lock_guard lock(mutex_);
    auto it = eventHandlers_.find(message.header.type);
    if (it != eventHandlers_.end())
      handler = it->second;
  }
  if (handler)
    handler(message);
}

void HostConnection::deliverPost(Message &message) {
  protocol::DeliverPostEvent event;
  if (!protocol::decode(message, event))
    return;
  const protocol::ThreadMessage &posted = event.message;
  // A thread without a queue drops it, as a queue's messages go when its thread ends.
  if (auto queue = ThreadMessageQueue::find(posted.thread))
    queue->post(posted.hwnd, posted.message, posted.wParam, posted.lParam);
}

void HostConnection::deliverSend(Message &message, const std::shared_ptr<Link> &link) {
  protocol::DeliverSendEvent event;
  if (!protocol::decode(message, event))
    return;
  const protocol::ThreadMessage sent = event.message;
  auto queue = ThreadMessageQueue::find(sent.thread);
  std::weak_ptr<Link> weak = link;
  auto ticket = std::make_shared<SendTicket>(
      std::weak_ptr<void>(link),
      [weak](const Message &packet) {
        auto strong = weak.lock();
        return strong && strong->send(packet);
      },
      event.sendId);
  // A message with data is rebuilt here; the procedure gets pointers into this copy.
  std::shared_ptr<UnpackedMessage> unpacked;
  if (event.data.packed)
    unpacked = MessageMarshaller::unpack(
        PackedMessage{sent.message, sent.wParam, sent.lParam, std::move(event.data.bytes)});
  if (!queue || (event.data.packed && !unpacked)) {
    ticket->answer(ERROR_INVALID_PARAMETER, 0);
    return;
  }
  queue->deliverSent([this, ticket, sent, unpacked] {
    SentMessageHandler handler;
    {
      std::lock_guard lock(mutex_);
      handler = sentHandler_;
    }
    if (!handler) {
      ticket->answer(ERROR_SUCCESS, 0);
      return;
    }
    if (!unpacked) {
      ticket->answer(ERROR_SUCCESS, handler(sent.hwnd, sent.message, sent.wParam, sent.lParam));
      return;
    }
    const LRESULT result =
        handler(sent.hwnd, unpacked->message(), unpacked->wParam(), unpacked->lParam());
    ticket->answer(ERROR_SUCCESS, result, unpacked->reply(result));
  });
}

HostConnection::Wait HostConnection::waitFor(PendingCall &pending, bool handleSent) {
  const int limit = answerLimitMs_.load();
  if (!handleSent) {
    std::unique_lock lock(pending.mutex);
    const auto finished = [&] { return pending.finished; };
    if (limit <= 0)
      pending.done.wait(lock, finished);
    else if (!pending.done.wait_for(lock, std::chrono::milliseconds(limit), finished))
      return Wait::TimedOut;
    return pending.lost ? Wait::Lost : Wait::Answered;
  }
  const auto deadline = PollDeadline::forLimit(limit);
  auto queue = ThreadMessageQueue::current();
  for (;;) {
    {
      std::lock_guard lock(pending.mutex);
      if (pending.finished)
        return pending.lost ? Wait::Lost : Wait::Answered;
    }
    const auto timeout = deadline.pollTimeout();
    if (!timeout)
      return Wait::TimedOut;
    pollfd fds[2] = {{pending.notifyFd, POLLIN, 0},
                     {queue ? queue->wakeDescriptor() : -1, POLLIN, 0}};
    ::poll(fds, queue ? 2 : 1, *timeout);
    if (fds[0].revents & POLLIN)
      drain(pending.notifyFd);
    if (queue && (fds[1].revents & POLLIN)) {
      // Draining is safe: GetMessageW looks at the queue before it waits on the descriptor.
      drain(queue->wakeDescriptor());
      MSG ignored;
      queue->peek(ignored, ThreadMessageQueue::Filter{kNoWindow, 0, 0}, false);
    }
  }
}

void HostConnection::abandon(std::uint32_t id) {
  std::lock_guard lock(mutex_);
  pending_.erase(id);
}

bool HostConnection::call(Message &request, Message &answer, bool handleSent) {
  if (refusedOnLoopThread(request.type()))
    return false;
  auto link = currentLink();
  if (!link)
    return false;
  auto pending = std::make_shared<PendingCall>();
  pending->link = link.get();
  if (handleSent) {
    pending->notifyFd = threadNotifyFd();
    if (pending->notifyFd < 0) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return false;
    }
  }
  std::uint32_t id;
  {
    std::lock_guard lock(mutex_);
    if (!link->alive.load()) {
      SetLastError(ERROR_BROKEN_PIPE);
      return false;
    }
    id = nextRequest_++;
    if (id == 0)
      id = nextRequest_++;
    pending_[id] = pending;
  }
  request.header.requestId = id;
  if (!link->send(request)) {
    linkLost(link);
    SetLastError(ERROR_BROKEN_PIPE);
    return false;
  }
  switch (waitFor(*pending, handleSent)) {
  case Wait::Answered:
    break;
  case Wait::Lost:
    SetLastError(ERROR_BROKEN_PIPE);
    return false;
  case Wait::TimedOut:
    abandon(id);
    SetLastError(ERROR_TIMEOUT);
    return false;
  }
  std::lock_guard lock(pending->mutex); // an answer may have raced the deadline
  answer = std::move(pending->answer);
  return true;
}

bool HostConnection::notify(Message &notice) {
  auto link = currentLink();
  if (!link)
    return false;
  notice.header.requestId = 0;
  if (!link->send(notice)) {
    linkLost(link);
    SetLastError(ERROR_BROKEN_PIPE);
    return false;
  }
  return true;
}

bool HostConnection::post(Message &request) {
  if (refusedOnLoopThread(request.type()))
    return false;
  std::optional<DWORD> status;
  if (!isTool() && (isConnected() || connect()))
    status = PostConnection::call(request);
  if (!status) {
    Message answer;
    if (!call(request, answer))
      return false;
    status = answer.header.status;
  }
  if (*status != ERROR_SUCCESS) {
    SetLastError(*status);
    return false;
  }
  return true;
}

bool HostConnection::postToThread(DWORD tid, HWND hwnd, UINT message, WPARAM wParam,
                                  LPARAM lParam) {
  return post(protocol::PostToThreadRequest{{tid, hwnd, message, wParam, lParam}});
}

} // namespace ce
