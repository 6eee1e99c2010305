#include <ce/testing/message_pump.h>

#include <ce/host/device_barrier.h>
#include <ce/testing/device_sync.h>
#include <ce/windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <poll.h>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>

namespace ce::testing {
namespace {

using Clock = std::chrono::steady_clock;

void drain(int fd) {
  std::uint64_t count;
  [[maybe_unused]] const auto got = ::read(fd, &count, sizeof count);
}

int msLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

} // namespace

class MessagePump::Pumping {
public:
  Pumping() { DeviceBarrier::setPumping(true); }
  ~Pumping() { DeviceBarrier::setPumping(false); }
  Pumping(const Pumping &) = delete;
  Pumping &operator=(const Pumping &) = delete;
};

MessagePump::MessagePump(WindowMessages windowMessages)
    : windowMessages_(windowMessages), wakeFd_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  DeviceBarrier::becomeWatcher();
}

MessagePump::~MessagePump() {
  if (wakeFd_ >= 0)
    ::close(wakeFd_);
}

void MessagePump::wake() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
}

std::optional<MSG> MessagePump::take(const std::function<bool(const MSG &)> &accept) {
  if (accept) {
    const auto kept = std::find_if(kept_.begin(), kept_.end(), accept);
    if (kept != kept_.end()) {
      const MSG found = *kept;
      kept_.erase(kept);
      return found;
    }
  }
  // The queue's wake descriptor is emptied before looking, so that whatever comes after the
  // look wakes the next block().
  if (const int queueWake = DeviceBarrier::queueWakeDescriptor(); queueWake >= 0)
    drain(queueWake);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (accept && accept(msg))
      return msg;
    if (msg.hwnd && (windowMessages_ == WindowMessages::Dispatch || msg.message == WM_PAINT)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    } else {
      kept_.push_back(msg);
    }
  }
  return std::nullopt;
}

void MessagePump::dispatchWaiting() {
  const Pumping pumping;
  take(nullptr);
}

void MessagePump::block(int ms) {
  pollfd fds[2] = {{wakeFd_, POLLIN, 0}, {DeviceBarrier::queueWakeDescriptor(), POLLIN, 0}};
  ::poll(fds, 2, std::min(ms, kRecheckMs));
  if (fds[0].revents & POLLIN)
    drain(wakeFd_);
}

std::optional<MSG> MessagePump::waitFor(const std::function<bool(const MSG &)> &accept, int ms) {
  const Pumping pumping;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    if (auto found = take(accept))
      return found;
    const int left = msLeft(deadline);
    if (left == 0)
      return std::nullopt;
    block(left);
  }
}

std::optional<MSG> MessagePump::waitFor(UINT message, int ms) {
  return waitFor([message](const MSG &msg) { return msg.message == message; }, ms);
}

bool MessagePump::until(const std::function<bool()> &condition, int ms) {
  const Pumping pumping;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    take(nullptr);
    if (condition())
      return true;
    const int left = msLeft(deadline);
    if (left == 0)
      return false;
    block(left);
  }
}

::testing::AssertionResult MessagePump::sync(std::uint32_t timeoutMs) {
  std::atomic<bool> done{false};
  ::testing::AssertionResult result = ::testing::AssertionFailure();
  std::thread helper([&] {
    result = syncDevice(timeoutMs);
    done = true;
    wake();
  });
  // The helper always ends: the host answers by the timeout, or the connection fails.
  until([&] { return done.load(); }, static_cast<int>(timeoutMs) + 60000);
  helper.join();
  return result;
}

} // namespace ce::testing
