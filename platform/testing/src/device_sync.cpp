#include <ce/testing/device_sync.h>

#include <ce/errors.h>
#include <ce/host/device_barrier.h>

namespace ce::testing {

::testing::AssertionResult syncDevice(std::uint32_t timeoutMs) {
  const DeviceBarrier barrier = DeviceBarrier::wait(timeoutMs);
  switch (barrier.outcome) {
  case DeviceBarrier::Outcome::Settled:
    return ::testing::AssertionSuccess();
  case DeviceBarrier::Outcome::TimedOut:
    return ::testing::AssertionFailure()
           << "the device did not settle within " << timeoutMs << " ms; still pending:\n"
           << barrier.pending;
  case DeviceBarrier::Outcome::Refused:
    return ::testing::AssertionFailure() << "the host refused the barrier";
  case DeviceBarrier::Outcome::Unreachable:
    break;
  }
  return ::testing::AssertionFailure()
         << "the device's host cannot be reached (error " << GetLastError() << ")";
}

} // namespace ce::testing
