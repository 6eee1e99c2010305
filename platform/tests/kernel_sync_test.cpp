// The event class is private to the platform; the pulse test asks it how many threads wait.
#include "../src/kernel/event.h"

#include <ce/core/handle_table.h>
#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/testing/eventually.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(KernelEvents, AutoResetReleasesOneWaiterPerSet) {
  HANDLE event = CreateEventW(nullptr, FALSE, TRUE, nullptr);
  ASSERT_NE(event, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0); // initial state consumed
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (WaitForSingleObject(event, 10000) == WAIT_OBJECT_0)
        ++released;
    });
  for (int i = 1; i <= 3; ++i) {
    SetEvent(event);
    EXPECT_TRUE(ce::testing::eventually([&] { return released >= i; }));
    EXPECT_EQ(released.load(), i);
  }
  for (auto &t : waiters)
    t.join();
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT); // every set was consumed
  CloseHandle(event);
}

TEST(KernelEvents, ManualResetStaysSignalledUntilReset) {
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  EXPECT_EQ(WaitForSingleObject(event, 10), WAIT_TIMEOUT);
  std::atomic<int> released{0};
  std::vector<std::thread> waiters;
  for (int i = 0; i < 3; ++i)
    waiters.emplace_back([&] {
      if (WaitForSingleObject(event, 10000) == WAIT_OBJECT_0)
        ++released;
    });
  auto object = ce::HandleTable::instance().getAs<ce::Event>(event);
  ASSERT_NE(object, nullptr);
  EXPECT_TRUE(ce::testing::eventually([&] { return object->waiting() == 3; }))
      << "all three blocked in the wait";
  EXPECT_TRUE(SetEvent(event));
  for (auto &t : waiters)
    t.join();
  EXPECT_EQ(released.load(), 3);
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
  EXPECT_TRUE(ResetEvent(event));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
  CloseHandle(event);
}

TEST(KernelEvents, PulseReleasesCurrentWaitersAndLeavesTheEventReset) {
  for (BOOL manual : {TRUE, FALSE}) {
    SCOPED_TRACE(manual ? "manual" : "auto");
    HANDLE event = CreateEventW(nullptr, manual, FALSE, nullptr);
    // Nobody waits: the pulse is lost.
    EXPECT_TRUE(PulseEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);

    std::atomic<int> released{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 2; ++i)
      waiters.emplace_back([&] {
        if (WaitForSingleObject(event, 1000) == WAIT_OBJECT_0)
          ++released;
      });
    auto object = ce::HandleTable::instance().getAs<ce::Event>(event);
    ASSERT_NE(object, nullptr);
    EXPECT_TRUE(ce::testing::eventually([&] { return object->waiting() == 2; }))
        << "both blocked in the wait";
    EXPECT_TRUE(EventModify(event, EVENT_PULSE));
    for (auto &t : waiters)
      t.join();
    EXPECT_EQ(released.load(), manual ? 2 : 1);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);
  }
}

TEST(KernelEvents, NamedEventsAreSharedWhileAHandleIsOpen) {
  SetLastError(1234);
  HANDLE first = CreateEventW(nullptr, TRUE, FALSE, u"ViretaReady");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  HANDLE second = CreateEventW(nullptr, FALSE, TRUE, u"ViretaReady"); // flags of the existing one
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
  EXPECT_NE(first, second);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_TIMEOUT);
  SetEvent(first);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0); // still manual reset

  HANDLE other = CreateEventW(nullptr, TRUE, FALSE, u"viretaready"); // names are exact
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(WaitForSingleObject(other, 0), WAIT_TIMEOUT);
  CloseHandle(other);

  // Once every handle is closed the name is free again.
  CloseHandle(first);
  CloseHandle(second);
  HANDLE fresh = CreateEventW(nullptr, FALSE, FALSE, u"ViretaReady");
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SUCCESS));
  EXPECT_EQ(WaitForSingleObject(fresh, 0), WAIT_TIMEOUT);
  CloseHandle(fresh);

  const std::u16string tooLong(MAX_PATH + 1, u'x');
  EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, tooLong.c_str()), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_FILENAME_EXCED_RANGE));
}

TEST(KernelEvents, ModifyRefusesBadHandlesAndFunctions) {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  SetLastError(0);
  EXPECT_FALSE(EventModify(event, 99));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  CloseHandle(event);
  EXPECT_FALSE(SetEvent(event)); // closed
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_FAILED);
  EXPECT_FALSE(SetEvent(nullptr));
}

TEST(KernelCriticalSections, RecursiveOwnershipExcludesOtherThreads) {
  CRITICAL_SECTION section;
  InitializeCriticalSection(&section);
  EnterCriticalSection(&section);
  EnterCriticalSection(&section);
  EXPECT_TRUE(TryEnterCriticalSection(&section));
  EXPECT_EQ(section.recursionCount, 3u);
  EXPECT_EQ(section.ownerThread, GetCurrentThreadId());

  std::atomic<int> phase{0};
  std::thread other([&] {
    EXPECT_FALSE(TryEnterCriticalSection(&section));
    LeaveCriticalSection(&section); // not the owner: changes nothing
    phase = 1;
    EnterCriticalSection(&section); // blocks until the main thread has left three times
    phase = 2;
    LeaveCriticalSection(&section);
  });
  EXPECT_TRUE(ce::testing::eventually([&] { return phase >= 1; }));
  EXPECT_EQ(section.recursionCount, 3u);
  LeaveCriticalSection(&section);
  LeaveCriticalSection(&section);
  // Deliberate: the other thread gets a while to take the section, which it must not do while
  // it is still held once (a wrong answer here can only be missed, never made up).
  Sleep(30);
  EXPECT_EQ(phase.load(), 1); // still held once
  LeaveCriticalSection(&section);
  other.join();
  EXPECT_EQ(phase.load(), 2);
  EXPECT_EQ(section.recursionCount, 0u);
  DeleteCriticalSection(&section);
  EXPECT_EQ(section.lock, nullptr);
}

TEST(KernelCriticalSections, GuardsSharedDataAcrossThreads) {
  // A zero-filled record works without InitializeCriticalSection.
  CRITICAL_SECTION section{};
  long counter = 0; // deliberately not atomic: only the section protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 20000; ++i) {
        EnterCriticalSection(&section);
        EnterCriticalSection(&section);
        ++counter;
        LeaveCriticalSection(&section);
        LeaveCriticalSection(&section);
      }
    });
  for (auto &t : threads)
    t.join();
  EXPECT_EQ(counter, 80000);
  DeleteCriticalSection(&section);
}

} // namespace
