// The service library's entry points: the services host's stream-style exports under the prefix
// "SMC", and Register / UnRegister for programs that load the library themselves. None does
// stream work; they start and stop the hook thread.
#include "global_values_initialiser.h"
#include "hook_thread.h"
#include "launcher.h"
#include "service_state.h"

#include <ce/kernel.h>
#include <ce/loader.h>
#include <ce/messages.h>

#include <cstdint>

namespace {

// How long a stop waits for the hook thread and the workers before it keeps the library loaded
// rather than unload code that may still run.
constexpr DWORD StopWaitMs = 5000;
constexpr DWORD PollMs = 10;

std::uint32_t low32(const void *pointer) {
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(pointer));
}

BOOL attach(HMODULE module) {
  ServiceState &state = ServiceState::instance();
  state.module = module;
  state.shared = SharedGlobalValues::createOrOpen();
  if (!state.shared) {
    // Without its record the service cannot work: its registration is removed.
    const int errorNumber = state.shared.failure() == SharedGlobalValues::Failure::Create ? 1 : 2;
    launchProgram(u"Ostrel.exe", u" uninstall", errorNumber);
    return FALSE;
  }
  GlobalValues &record = *state.record();
  if (state.shared.existed() && GlobalValues::load(record.serviceStarted) != 0)
    return TRUE; // a running service owns the record
  GlobalValuesInitialiser::initialise(record, low32(module));
  state.hookTable.reset();
  return TRUE;
}

void detach() {
  ServiceState &state = ServiceState::instance();
  state.workers.stopAll(StopWaitMs);
  state.hookTable.unhookAll();
  state.shared.release();
}

// Waits until no replacement procedure runs any more (they were all taken off before).
bool proceduresLeft(DWORD ms) {
  const DWORD start = GetTickCount();
  while (ServiceState::instance().proceduresRunning.load() != 0) {
    if (GetTickCount() - start >= ms)
      return false;
    Sleep(PollMs);
  }
  return true;
}

// Waits until the hook thread cleared its id in the record, as it does when it ends.
bool hookThreadIdCleared(const GlobalValues &record, DWORD ms) {
  const DWORD start = GetTickCount();
  while (GlobalValues::load(record.hookThreadId) != 0) {
    if (GetTickCount() - start >= ms)
      return false;
    Sleep(PollMs);
  }
  return true;
}

} // namespace

extern "C" {

BOOL DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH)
    return attach(reinterpret_cast<HMODULE>(module));
  if (reason == DLL_PROCESS_DETACH)
    detach();
  return TRUE;
}

DWORD Register() {
  ServiceState &state = ServiceState::instance();
  GlobalValues *record = state.record();
  if (!record)
    return 0;
  if (GlobalValues::exchange(record->serviceStarted, 1) != 0)
    return 1;
  state.workers.allowRunning();
  DWORD threadId = 0;
  const HANDLE thread = CreateThread(nullptr, 0, &hookThreadMain, nullptr, 0, &threadId);
  if (!thread) {
    // No thread, no service: say so rather than claim a start that a stop would wait on.
    GlobalValues::store(record->serviceStarted, 0);
    return 0;
  }
  GlobalValues::store(record->hookThreadId, threadId);
  GlobalValues::store(record->hookThreadHandle, low32(thread));
  state.hookThread.store(thread);
  return 1;
}

DWORD UnRegister() {
  ServiceState &state = ServiceState::instance();
  GlobalValues *record = state.record();
  if (!record || GlobalValues::load(record->serviceStarted) == 0)
    return 0;
  GlobalValues::store(record->serviceStarted, 0);
  const DWORD threadId = GlobalValues::load(record->hookThreadId);
  if (threadId)
    PostThreadMessageW(threadId, WM_QUIT, 0, 0);

  const HANDLE ownThread = state.hookThread.exchange(nullptr);
  bool ended = false;
  if (ownThread) {
    // The hook thread runs in this process: its end is its handle's signal, and nothing of the
    // library may run after this returns, since the host unloads it next.
    const bool workersEnded = state.workers.stopAll(StopWaitMs);
    ended = WaitForSingleObject(ownThread, StopWaitMs) == WAIT_OBJECT_0;
    const bool proceduresEnded = proceduresLeft(StopWaitMs);
    if (ended)
      CloseHandle(ownThread);
    if (!ended || !workersEnded || !proceduresEnded)
      keepLibraryLoaded();
  } else if (threadId) {
    // The hook thread runs in another process (the services host): it clears its id as it ends.
    ended = hookThreadIdCleared(*record, StopWaitMs);
  }
  return ended ? 1 : 0;
}

DWORD SMC_Init(DWORD) { return Register(); }

BOOL SMC_Deinit(DWORD) {
  UnRegister();
  return 1;
}

BOOL SMC_Close(DWORD) {
  UnRegister();
  return 1;
}

BOOL SMC_IOControl(DWORD, DWORD, BYTE *, DWORD, BYTE *, DWORD, DWORD *) { return TRUE; }

DWORD SMC_Open(DWORD, DWORD, DWORD) { return 0; }
DWORD SMC_Read(DWORD, void *, DWORD) { return 0; }
DWORD SMC_Write(DWORD, const void *, DWORD) { return 0; }
DWORD SMC_Seek(DWORD, long, DWORD) { return 0; }

} // extern "C"
