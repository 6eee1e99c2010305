#include "service_state.h"

#include <ce/loader.h>
#include <ce/processes.h>

ServiceState &ServiceState::instance() {
  static ServiceState state;
  return state;
}

void keepLibraryLoaded() {
  static std::atomic<bool> kept{false};
  const HMODULE module = ServiceState::instance().module;
  if (!module || kept.exchange(true))
    return;
  char16_t path[MAX_PATH] = {};
  if (GetModuleFileNameW(module, path, MAX_PATH))
    LoadLibraryW(path);
}
