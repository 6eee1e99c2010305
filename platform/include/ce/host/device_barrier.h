// Waiting for the device barrier (host/device_sync.h) from a device process or a tool: the
// call returns once every input queued before it has been handled and every resulting paint is
// done, or once the timeout has passed. From a device process the calling thread is left out,
// since it cannot handle anything while it waits.
#pragma once

#include <ce/export.h>

#include <ce/types.h>

#include <cstdint>
#include <string>

CE_EXPORT_BEGIN

namespace ce {

struct DeviceBarrier {
  enum class Outcome {
    Settled,     // the device settled
    TimedOut,    // `pending` says what had not settled
    Refused,     // the host refused the request (a timeout out of range)
    Unreachable, // no host, or it went away (the last error says which)
  };
  Outcome outcome = Outcome::Unreachable;
  std::uint32_t rounds = 0; // rounds of probes the host ran
  std::string pending;      // one line per thing still pending, for a person to read

  // Asks the host and waits, up to `timeoutMs` (1 to 3600000) plus the connection's answer
  // limit when it has one.
  static DeviceBarrier wait(std::uint32_t timeoutMs);

  // A thread of a test watches the device rather than being part of it: from now on a barrier
  // leaves it out, except while it pumps its messages (setPumping(true)); when a pump ends, the
  // marks it left are answered. The calling thread's message queue is made when it has none.
  static void becomeWatcher();
  static void setPumping(bool pumping);
  // The descriptor that becomes readable when something is queued for the calling thread (an
  // eventfd: read it to empty it); -1 when the thread can have no queue.
  static int queueWakeDescriptor();
};

} // namespace ce
CE_EXPORT_END
