#include "shared_event.h"

#include "../protocol/named_object_messages.h"
#include "host_connection.h"

#include <ce/kernel.h>

#include <cerrno>
#include <chrono>
#include <climits>
#include <linux/futex.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ce {
namespace {

// Sleeps while *word == expected, at most `timeout` (null: no limit). Shared between processes,
// so not FUTEX_PRIVATE.
void futexWait(std::atomic<std::uint32_t> *word, std::uint32_t expected, const timespec *timeout) {
  ::syscall(SYS_futex, reinterpret_cast<std::uint32_t *>(word), FUTEX_WAIT, expected, timeout,
            nullptr, 0);
}

void futexWakeAll(std::atomic<std::uint32_t> *word) {
  ::syscall(SYS_futex, reinterpret_cast<std::uint32_t *>(word), FUTEX_WAKE, INT_MAX, nullptr,
            nullptr, 0);
}

} // namespace

SharedEvent::SharedEvent(int memory, std::uint32_t hostId) : hostId_(hostId) {
  void *page =
      ::mmap(nullptr, sizeof(SharedEventState), PROT_READ | PROT_WRITE, MAP_SHARED, memory, 0);
  if (page != MAP_FAILED)
    state_ = static_cast<SharedEventState *>(page);
}

SharedEvent::~SharedEvent() {
  if (state_)
    ::munmap(state_, sizeof(SharedEventState));
}

void SharedEvent::wakeAll() {
  state_->sequence.fetch_add(1);
  futexWakeAll(&state_->sequence);
}

void SharedEvent::set() {
  state_->signalled.store(1);
  wakeAll();
}

void SharedEvent::reset() { state_->signalled.store(0); }

void SharedEvent::pulse() {
  state_->signalled.store(0);
  if (state_->waiters.load() == 0)
    return;
  if (!state_->manualReset)
    state_->pulseTicket.store(1);
  state_->pulses.fetch_add(1);
  wakeAll();
}

DWORD SharedEvent::wait(DWORD milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
  const std::uint32_t pulsesAtStart = state_->pulses.load();
  for (;;) {
    // Read the sequence first: a change after this read makes the futex wait return at once.
    const std::uint32_t sequence = state_->sequence.load();
    if (state_->manualReset) {
      if (state_->signalled.load())
        return WAIT_OBJECT_0;
    } else {
      std::uint32_t one = 1;
      if (state_->signalled.compare_exchange_strong(one, 0))
        return WAIT_OBJECT_0;
    }
    if (state_->pulses.load() != pulsesAtStart) {
      if (state_->manualReset)
        return WAIT_OBJECT_0;
      std::uint32_t ticket = 1;
      if (state_->pulseTicket.compare_exchange_strong(ticket, 0))
        return WAIT_OBJECT_0;
    }
    timespec timeout{};
    const timespec *limit = nullptr;
    if (milliseconds != INFINITE) {
      const auto left =
          std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
      if (left.count() <= 0)
        return WAIT_TIMEOUT;
      timeout.tv_sec = static_cast<time_t>(left.count() / 1000000000);
      timeout.tv_nsec = static_cast<long>(left.count() % 1000000000);
      limit = &timeout;
    }
    state_->waiters.fetch_add(1);
    futexWait(&state_->sequence, sequence, limit);
    state_->waiters.fetch_sub(1);
  }
}

void SharedEvent::onHandleClosed() {
  HostConnection::instance().notify(protocol::CloseEventNotice{hostId_});
}

} // namespace ce
