#include <ce/codepages.h>
#include <ce/errors.h>
#include <ce/kernel.h>
#include <ce/messages.h>
#include <ce/testing/eventually.h>

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Gate {
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::atomic<DWORD> seenId{0};
  ~Gate() { CloseHandle(release); }
};

DWORD waitForGateThenReturn(LPVOID parameter) {
  auto *gate = static_cast<Gate *>(parameter);
  gate->seenId = GetCurrentThreadId();
  WaitForSingleObject(gate->release, INFINITE);
  return 42;
}

TEST(KernelThreads, HandleIsSignalledWhenTheThreadEndsAndKeepsItsExitCode) {
  Gate gate;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, waitForGateThenReturn, &gate, 0, &id);
  ASSERT_NE(thread, nullptr);
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, GetCurrentThreadId());

  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, STILL_ACTIVE);
  EXPECT_EQ(WaitForSingleObject(thread, 20), WAIT_TIMEOUT);

  SetEvent(gate.release);
  EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(gate.seenId.load(), id); // the id given out is the one the thread sees
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 42u);
  EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0); // stays signalled
  EXPECT_TRUE(CloseHandle(thread));
}

// A routine may read the variable that CreateThread filled with its id: the id is there before
// the routine runs (a thread that publishes its own id for others relies on it).
TEST(KernelThreads, TheIdIsFilledInBeforeTheRoutineRuns) {
  struct Slot {
    DWORD id = 0;
    DWORD readAtStart = 0;
    DWORD own = 0;
  };
  std::vector<Slot> slots(32);
  std::vector<HANDLE> threads;
  for (Slot &slot : slots)
    threads.push_back(CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
          auto *slot = static_cast<Slot *>(parameter);
          slot->readAtStart = slot->id;
          slot->own = GetCurrentThreadId();
          return 0;
        },
        &slot, 0, &slot.id));
  for (HANDLE thread : threads) {
    ASSERT_NE(thread, nullptr);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
  }
  for (const Slot &slot : slots) {
    EXPECT_NE(slot.id, 0u);
    EXPECT_EQ(slot.readAtStart, slot.id);
    EXPECT_EQ(slot.own, slot.id);
  }
}

TEST(KernelThreads, ClosingTheHandleDoesNotStopTheThread) {
  static std::atomic<bool> finished{false};
  finished = false;
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID event) -> DWORD {
        WaitForSingleObject(event, INFINITE);
        finished = true;
        return 0;
      },
      release, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  EXPECT_TRUE(CloseHandle(thread));
  SetEvent(release);
  EXPECT_TRUE(ce::testing::eventually([] { return finished.load(); }));
  CloseHandle(release);
}

TEST(KernelThreads, ExitThreadEndsWithItsCodeAndUnwinds) {
  static std::atomic<bool> unwound{false};
  unwound = false;
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        struct Guard {
          ~Guard() { unwound = true; }
        } guard;
        ExitThread(7);
      },
      nullptr, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  DWORD code = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &code));
  EXPECT_EQ(code, 7u);
  EXPECT_TRUE(unwound);
  CloseHandle(thread);

  // A thread the platform did not start can end itself the same way.
  std::atomic<bool> after{false};
  std::thread host([&] {
    HANDLE self = GetCurrentThread();
    SetThreadPriority(self, THREAD_PRIORITY_LOWEST);
    ExitThread(3);
    after = true;
  });
  host.join();
  EXPECT_FALSE(after);
}

TEST(KernelThreads, PrioritiesAreRecordedPerThread) {
  HANDLE self = GetCurrentThread();
  const int before = GetThreadPriority(self);
  EXPECT_EQ(before, THREAD_PRIORITY_NORMAL);
  EXPECT_TRUE(SetThreadPriority(self, THREAD_PRIORITY_HIGHEST));
  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_HIGHEST);

  Gate gate;
  HANDLE other = CreateThread(nullptr, 0, waitForGateThenReturn, &gate, 0, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(GetThreadPriority(other), THREAD_PRIORITY_NORMAL);
  EXPECT_TRUE(SetThreadPriority(other, THREAD_PRIORITY_ABOVE_NORMAL));
  EXPECT_EQ(GetThreadPriority(other), THREAD_PRIORITY_ABOVE_NORMAL);
  EXPECT_EQ(GetThreadPriority(self), THREAD_PRIORITY_HIGHEST);

  SetLastError(0);
  EXPECT_FALSE(SetThreadPriority(other, 8));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
  SetEvent(gate.release);
  WaitForSingleObject(other, 10000);
  CloseHandle(other);
  EXPECT_TRUE(SetThreadPriority(self, before));
}

TEST(KernelThreads, BadHandlesAndRefusedRequestsFailWithCodes) {
  HANDLE bogus = reinterpret_cast<HANDLE>(0x7777770);
  SetLastError(0);
  EXPECT_EQ(WaitForSingleObject(bogus, 0), WAIT_FAILED);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetThreadPriority(bogus), THREAD_PRIORITY_ERROR_RETURN);
  DWORD code = 0;
  EXPECT_FALSE(GetExitCodeThread(bogus, &code));
  EXPECT_FALSE(CloseHandle(bogus));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));

  // An event is no thread.
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  EXPECT_FALSE(GetExitCodeThread(event, &code));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
  CloseHandle(event);

  EXPECT_EQ(CreateThread(nullptr, 0, waitForGateThenReturn, nullptr, CREATE_SUSPENDED, nullptr),
            nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

// The child's part of the next test: this test program started again with CE_KERNEL_EXIT_CHILD
// set runs it from a static initializer, before gtest starts, and exits.
std::atomic<int> childThreadsStarted{0};
HANDLE childThreadsRunning = nullptr;
void childThreadStarted() {
  if (++childThreadsStarted == 3)
    SetEvent(childThreadsRunning);
}

void runChildThatReturnsWithThreadsRunning() {
  HANDLE never = CreateEventW(nullptr, TRUE, FALSE, u"NeverSet");
  childThreadsRunning = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  CreateThread(
      nullptr, 0,
      [](LPVOID event) -> DWORD {
        childThreadStarted();
        return WaitForSingleObject(event, INFINITE);
      },
      never, 0, nullptr);
  CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        MSG msg{};
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        childThreadStarted();
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        }
        return 0;
      },
      nullptr, 0, nullptr);
  CreateThread(
      nullptr, 0,
      [](LPVOID) -> DWORD {
        MSG msg{};
        for (bool first = true;; first = false) {
          WCHAR wide[8];
          MultiByteToWideChar(CP_ACP, 0, "busy", -1, wide, 8);
          PostThreadMessageW(GetCurrentThreadId(), WM_USER, 0, 0);
          PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
          LPWSTR text = nullptr;
          FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                             FORMAT_MESSAGE_IGNORE_INSERTS,
                         nullptr, ERROR_TIMEOUT, 0, reinterpret_cast<LPWSTR>(&text), 0, nullptr);
          LocalFree(text);
          if (first)
            childThreadStarted();
        }
      },
      nullptr, 0, nullptr);
  if (WaitForSingleObject(childThreadsRunning, 10000) != WAIT_OBJECT_0)
    std::exit(2);
  std::exit(37); // static destructors and exit handlers run while the threads still work
}

const bool exitChildRan = [] {
  if (std::getenv("CE_KERNEL_EXIT_CHILD")) runChildThatReturnsWithThreadsRunning();
  return false;
}();

TEST(KernelThreads, ProcessEndsCleanlyWhileItsThreadsStillRun) {
  // The system never joins its worker threads: a process that ends with threads blocked or busy
  // must still exit normally, without a crash in exit-time cleanup. The child is this test
  // program running the body above. Leak checking is off there: threads alive at exit
  // hold memory by design.
  std::string options = "ASAN_OPTIONS=detect_leaks=0";
  if (const char *asan = std::getenv("ASAN_OPTIONS"))
    options += std::string(":") + asan;
  char self[] = "/proc/self/exe";
  char marker[] = "CE_KERNEL_EXIT_CHILD=1";
  char *argv[] = {self, nullptr};
  char *envp[] = {options.data(), marker, nullptr};
  pid_t child = 0;
  ASSERT_EQ(posix_spawn(&child, "/proc/self/exe", nullptr, nullptr, argv, envp), 0);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status)) << "status " << status;
  EXPECT_EQ(WEXITSTATUS(status), 37); // the body ran to its end
}

TEST(KernelThreads, IdentityAndTime) {
  EXPECT_EQ(GetCurrentProcessId(), DWORD(::getpid()));
  DWORD other = 0;
  std::thread([&] { other = GetCurrentThreadId(); }).join();
  EXPECT_NE(other, 0u);
  EXPECT_NE(other, GetCurrentThreadId());
  EXPECT_EQ(GetCurrentProcess(), INVALID_HANDLE_VALUE);
  EXPECT_NE(GetCurrentThread(), GetCurrentProcess());
  // Waiting on oneself can only time out.
  EXPECT_EQ(WaitForSingleObject(GetCurrentThread(), 1), WAIT_TIMEOUT);
  EXPECT_EQ(WaitForSingleObject(GetCurrentProcess(), 1), WAIT_TIMEOUT);

  const DWORD start = GetTickCount();
  Sleep(30); // deliberate: the time that passes is what is checked
  const DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 29u);
  EXPECT_LT(elapsed, 60000u); // monotonic, not wrapped backwards
}

} // namespace
