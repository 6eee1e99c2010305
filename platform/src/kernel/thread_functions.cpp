// Thread, wait, time and process-identity functions.
#include "kernel/thread.h"

#include <ce/core/handle_table.h>
#include <ce/errors.h>
#include <ce/host/process_identity.h>
#include <ce/kernel.h>

#include <chrono>
#include <sched.h>
#include <thread>
#include <time.h>
#include <unistd.h>

namespace {

const HANDLE currentProcessPseudoHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));
const HANDLE currentThreadPseudoHandle = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2));

// The thread behind a handle (the pseudo handle included); null with ERROR_INVALID_HANDLE.
std::shared_ptr<ce::Thread> threadFor(HANDLE handle) {
  if (handle == currentThreadPseudoHandle)
    return ce::Thread::current();
  auto thread = ce::HandleTable::instance().getAs<ce::Thread>(handle);
  if (!thread)
    SetLastError(ERROR_INVALID_HANDLE);
  return thread;
}

} // namespace

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, DWORD stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID parameter, DWORD flags, LPDWORD threadId) {
  if (!start) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (flags & CREATE_SUSPENDED) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  DWORD error = 0;
  auto thread = ce::Thread::start(start, parameter, stackSize, &error);
  if (!thread) {
    SetLastError(error);
    return nullptr;
  }
  if (threadId)
    *threadId = thread->id();
  HANDLE handle = ce::HandleTable::instance().add(thread);
  thread->release(); // only now may the routine run: its id is where the caller wanted it
  return handle;
}

BOOL SetThreadPriority(HANDLE handle, int priority) {
  auto thread = threadFor(handle);
  if (!thread)
    return FALSE;
  if (priority < THREAD_PRIORITY_TIME_CRITICAL || priority > THREAD_PRIORITY_IDLE) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  thread->setPriority(priority);
  return TRUE;
}

int GetThreadPriority(HANDLE handle) {
  auto thread = threadFor(handle);
  return thread ? thread->priority() : THREAD_PRIORITY_ERROR_RETURN;
}

BOOL GetExitCodeThread(HANDLE handle, LPDWORD exitCode) {
  auto thread = threadFor(handle);
  if (!thread)
    return FALSE;
  if (!exitCode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exitCode = thread->exitCode();
  return TRUE;
}

HANDLE GetCurrentThread() { return currentThreadPseudoHandle; }
DWORD GetCurrentThreadId() { return ce::Thread::currentId(); }
HANDLE GetCurrentProcess() { return currentProcessPseudoHandle; }
DWORD GetCurrentProcessId() {
  // Threads of the device host answer for the device process their code belongs to.
  if (const ce::DeviceProcess *identity = ce::ProcessIdentity::current())
    return identity->pid;
  return static_cast<DWORD>(::getpid());
}

void ExitThread(DWORD exitCode) { ce::Thread::exitCurrent(exitCode); }

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  if (handle == currentThreadPseudoHandle)
    return ce::Thread::current()->wait(milliseconds);
  if (handle == currentProcessPseudoHandle) {
    // The calling process does not end while it waits: the wait can only time out.
    if (milliseconds == INFINITE)
      for (;;)
        std::this_thread::sleep_for(std::chrono::hours(24));
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    return WAIT_TIMEOUT;
  }
  auto object = ce::HandleTable::instance().get(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return object->wait(milliseconds);
}

void Sleep(DWORD milliseconds) {
  if (milliseconds == 0) {
    sched_yield(); // gives up the rest of the time slice, as on the device
    return;
  }
  if (milliseconds == INFINITE)
    for (;;)
      std::this_thread::sleep_for(std::chrono::hours(24));
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

DWORD GetTickCount() {
  // Milliseconds since the host booted, like the device's count since its boot; wraps after
  // 49.7 days as a 32-bit count does.
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<DWORD>(static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                            static_cast<std::uint64_t>(now.tv_nsec) / 1000000u);
}
