// What each process that loads the service library keeps of it: its view of the shared record,
// its hooked-window table, its hook thread (in the process that started it) and its workers.
#pragma once

#include "hook_table.h"
#include "worker_threads.h"

#include <hook/shared_global_values.h>

#include <atomic>
#include <cstdint>

struct ServiceState {
  static ServiceState &instance();

  GlobalValues *record() const { return shared.record(); }

  SharedGlobalValues shared;
  HookTable hookTable;
  WorkerThreads workers;
  HMODULE module = nullptr;
  // The hook thread started by Register in this process, until UnRegister saw it end.
  std::atomic<HANDLE> hookThread{nullptr};
  // The number of the latest Start request; a worker raises the menu only for the latest one.
  std::atomic<std::uintptr_t> latestRequest{0};
  // Replacement window procedures running right now, on any thread.
  std::atomic<int> proceduresRunning{0};
};

// Keeps the library loaded for the rest of the process's life: used when a thread that runs its
// code could not be stopped, so that unloading never pulls code from under it.
void keepLibraryLoaded();
