// The device barrier (0x016x, event 0x0182): see host/device_sync.h and client/sync_probe.h.
#pragma once

#include "message_codec.h"
#include "message_type.h"

namespace ce::protocol {

// Answered once the device has settled or the time is up.
struct SyncRequest {
  static constexpr MessageType kType = MessageType::Sync;
  static constexpr std::uint32_t kMaxTimeoutMs = 3600000;
  std::uint32_t timeoutMs = 0;
  DWORD thread = 0; // the caller's, left out of the barrier (0: none)
  static constexpr auto fields() {
    using S = SyncRequest;
    return std::tuple{wire::bounded(&S::timeoutMs, 1, kMaxTimeoutMs), wire::field(&S::thread)};
  }
  struct Reply {
    bool settled = false;     // else the time ran out
    std::uint32_t rounds = 0; // rounds of probes it took
    std::u16string pending;   // what still held the device when the time ran out
    static constexpr auto fields() {
      return std::tuple{wire::field(&Reply::settled), wire::field(&Reply::rounds),
                        wire::text(&Reply::pending)};
    }
  };
};

// Event: marks every message queue of the process but the named thread's.
struct SyncProbeEvent {
  static constexpr MessageType kType = MessageType::SyncProbe;
  std::uint32_t probe = 0;
  DWORD leftOut = 0; // 0: none
  static constexpr auto fields() {
    return std::tuple{wire::field(&SyncProbeEvent::probe), wire::field(&SyncProbeEvent::leftOut)};
  }
};

// A thread the probe marked, and the work it held.
struct MarkedThread {
  DWORD thread = 0;
  std::uint32_t posted = 0;
  std::uint32_t input = 0;
  std::uint32_t paint = 0; // windows to paint
  static constexpr auto fields() {
    using S = MarkedThread;
    return std::tuple{wire::field(&S::thread), wire::field(&S::posted), wire::field(&S::input),
                      wire::field(&S::paint)};
  }
};

// The answer to a probe: the threads it marked, with the process's queue activity (notice).
struct SyncMarkedNotice {
  static constexpr MessageType kType = MessageType::SyncMarked;
  static constexpr std::uint32_t kMaxThreads = 4096;
  std::uint32_t probe = 0;
  std::uint64_t activity = 0;
  std::vector<MarkedThread> threads;
  static constexpr auto fields() {
    using S = SyncMarkedNotice;
    return std::tuple{wire::field(&S::probe), wire::field(&S::activity),
                      wire::list(&S::threads, kMaxThreads)};
  }
};

// A marked thread is back in its message loop with nothing left it would take (notice).
struct SyncReachedNotice {
  static constexpr MessageType kType = MessageType::SyncReached;
  std::uint32_t probe = 0;
  DWORD thread = 0;
  std::uint64_t activity = 0;
  static constexpr auto fields() {
    using S = SyncReachedNotice;
    return std::tuple{wire::field(&S::probe), wire::field(&S::thread), wire::field(&S::activity)};
  }
};

} // namespace ce::protocol
