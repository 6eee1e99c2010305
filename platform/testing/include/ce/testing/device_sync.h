// Waits until the booted device the test process works on has settled: every input played so
// far handled by the thread it went to, and every paint that resulted done (the host's barrier,
// as `device sync` runs it). A test waits for this instead of sleeping after a tap or a key.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

namespace ce::testing {

// Waits from the calling thread, which is left out of the barrier: it handles nothing of its own
// while it waits (messages sent to it still run). A failure says what is still pending. A test
// whose own thread must handle the input waits with MessagePump::sync instead.
::testing::AssertionResult syncDevice(std::uint32_t timeoutMs = 10000);

} // namespace ce::testing
