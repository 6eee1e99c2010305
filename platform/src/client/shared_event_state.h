// The state of a named event, in a memfd page that every process holding the event maps.
//
// Lock-free, so a process killed in the middle of an operation leaves nothing locked. Waiters
// sleep on `sequence` with a shared futex; every change that may release a waiter bumps it.
// - set: signalled = 1, then wake all (an automatic-reset event lets one of them take it).
// - wait: manual reset passes while signalled; automatic reset takes the signal (1 -> 0).
// - pulse: releases the threads waiting at that moment and leaves the event non-signalled. A
//   waiter notes `pulses` when it starts; a later change of it means a pulse came while it
//   waited. For automatic reset the pulse leaves one ticket, which only such a waiter may take.
#pragma once

#include <atomic>
#include <cstdint>

namespace ce {

struct SharedEventState {
  std::atomic<std::uint32_t> signalled{0};
  std::atomic<std::uint32_t> sequence{0};
  std::atomic<std::uint32_t> pulses{0};
  std::atomic<std::uint32_t> pulseTicket{0};
  std::atomic<std::uint32_t> waiters{0};
  std::uint32_t manualReset = 0;
};
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

} // namespace ce
