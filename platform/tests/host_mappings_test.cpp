// Named mappings and events across processes of a booted device: existing names, a process killed
// while holding a mapping, waits on a named event, and registered window messages.
#include "host_test_device.h"

#include <ce/kernel.h>
#include <ce/mappings.h>
#include <ce/windows_api.h>

#include <cstring>

using namespace hosttest;

namespace {

// Creates the named mapping until the call finds one that exists (`existing`) or makes a new one
// (not `existing`): a mapping made meanwhile by this process goes again with its handle.
HANDLE createUntil(const char16_t *name, bool existing) {
  HANDLE found = nullptr;
  eventually([&] {
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 588, name);
    if (mapping && (GetLastError() == ERROR_ALREADY_EXISTS) == existing) {
      found = mapping;
      return true;
    }
    if (mapping)
      CloseHandle(mapping);
    return false;
  });
  return found;
}

} // namespace

TEST(HostMappings, SharedAcrossProcessesAndGoneWithTheLastHandleOfAKilledProcess) {
  HostDevice device;
  ASSERT_TRUE(ce::HostConnection::instance().connect());
  const pid_t peer = device.startOutside(kPeerProgram, {"map", "globalValuesMapTest"});

  // Opening the existing one, smaller: ERROR_ALREADY_EXISTS and the peer's bytes.
  HANDLE mapping = createUntil(u"globalValuesMapTest", true);
  ASSERT_NE(mapping, nullptr);
  auto *view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  ASSERT_NE(view, nullptr);
  ASSERT_TRUE(eventually([&] { return std::strcmp(view, "peer") == 0; }));

  ::kill(peer, SIGKILL);
  EXPECT_EQ(waitExit(peer), -1);
  EXPECT_STREQ(view, "peer") << "memory stays while this process holds it";
  EXPECT_TRUE(UnmapViewOfFile(view));
  EXPECT_FALSE(UnmapViewOfFile(view));
  EXPECT_TRUE(CloseHandle(mapping));

  // Once the host has dropped the killed process's handle, this one was the last: a mapping of
  // the same name is new and starts zeroed.
  mapping = createUntil(u"globalValuesMapTest", false);
  ASSERT_NE(mapping, nullptr);
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

TEST(HostMappings, RegisteredMessagesAreDeviceWideByNameWithoutRegardToCase) {
  HostDevice device;
  const UINT start = RegisterWindowMessageW(u"SHWMActivateStart");
  EXPECT_GE(start, 0xC000u);
  EXPECT_EQ(RegisterWindowMessageW(u"shwmactivatestart"), start);
  const UINT other = RegisterWindowMessageW(u"Another");
  EXPECT_GE(other, 0xC000u);
  EXPECT_NE(other, start);
  EXPECT_EQ(RegisterWindowMessageW(u""), 0u);
  EXPECT_EQ(RegisterWindowMessageW(nullptr), 0u);
}
