// Named mappings and events across processes of a booted device: existing names, handle counts,
// a process killed while holding a mapping, and waits on a named event.
#include "host_test_device.h"

#include "../src/protocol/named_object_messages.h"

#include <ce/kernel.h>
#include <ce/mappings.h>

#include <cstring>

using namespace hosttest;

namespace {

// The host's view of a mapping: whether it exists and how many handles the device holds.
std::pair<bool, std::uint32_t> mappingState(const std::u16string &name) {
  const auto state =
      ce::HostConnection::instance().request(ce::protocol::QueryMappingRequest{name});
  EXPECT_TRUE(state);
  return state ? std::make_pair(state->exists, state->handles) : std::make_pair(false, 0u);
}

} // namespace

TEST(HostMappings, SharedAcrossProcessesAndGoneWithTheLastHandleOfAKilledProcess) {
  HostDevice device;
  ASSERT_TRUE(ce::HostConnection::instance().connect());
  const pid_t peer = device.startOutside(kPeerProgram, {"map", "globalValuesMapTest"});
  ASSERT_TRUE(eventually([] { return mappingState(u"globalValuesMapTest").first; }));

  // Opening the existing one, smaller: ERROR_ALREADY_EXISTS and the peer's bytes.
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 588,
                                      u"globalValuesMapTest");
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  auto *view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(eventually([&] { return std::strcmp(view, "peer") == 0; }));
  EXPECT_EQ(mappingState(u"globalValuesMapTest").second, 2u);

  ::kill(peer, SIGKILL);
  EXPECT_EQ(waitExit(peer), -1);
  ASSERT_TRUE(eventually([] { return mappingState(u"globalValuesMapTest").second == 1; }));
  EXPECT_STREQ(view, "peer") << "memory stays while this process holds it";

  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
  EXPECT_TRUE(CloseHandle(mapping));
  ASSERT_TRUE(eventually([] { return !mappingState(u"globalValuesMapTest").first; }));

  // A new mapping of the same name starts zeroed and new.
  mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 588,
                               u"globalValuesMapTest");
  ASSERT_NE(mapping, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 588));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view[0], 0);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 589), nullptr);
  EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 100, 0), nullptr);
  EXPECT_EQ(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, u"zero"),
            nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  UnmapViewOfFile(view);
  CloseHandle(mapping);
}

TEST(HostMappings, NamedEventsWaitAcrossHandles) {
  HostDevice device;
  HANDLE first = CreateEventW(nullptr, FALSE, FALSE, u"deviceEvent");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  HANDLE second = CreateEventW(nullptr, FALSE, FALSE, u"deviceEvent");
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  EXPECT_EQ(WaitForSingleObject(second, 20), WAIT_TIMEOUT);
  // Set from another thread through the other handle, before or during the wait: either way the
  // wait takes the signal.
  std::thread setter([&] { SetEvent(first); });
  EXPECT_EQ(WaitForSingleObject(second, 5000), WAIT_OBJECT_0);
  setter.join();
  EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_TIMEOUT) << "automatic reset took the signal";
  EXPECT_TRUE(PulseEvent(first));
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT) << "a pulse with nobody waiting is lost";
  CloseHandle(first);
  CloseHandle(second);
}
