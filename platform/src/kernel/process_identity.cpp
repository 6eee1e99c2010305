#include <ce/host/process_identity.h>

#include "kernel/thread.h"

#include <mutex>
#include <optional>
#include <unistd.h>
#include <unordered_map>

namespace ce {
namespace {

// Identities by thread id, for the host to answer about its threads' windows.
struct Registry {
  std::mutex mutex;
  std::unordered_map<DWORD, DWORD> processOfThread;
};

Registry &registry() {
  // Lives until exit: threads may end while statics are destroyed.
  static Registry *instance = new Registry;
  return *instance;
}

// The calling thread's identity; leaves the registry when the thread ends.
struct ThreadIdentity {
  std::optional<DeviceProcess> process;
  DWORD tid = 0;
  ~ThreadIdentity() {
    if (!process)
      return;
    Registry &all = registry();
    std::lock_guard lock(all.mutex);
    all.processOfThread.erase(tid);
  }
};
thread_local ThreadIdentity own;

} // namespace

DeviceProcess ProcessIdentity::shell() { return {kShellProcessId, u"\\Windows\\shell32.exe"}; }

DeviceProcess ProcessIdentity::services() {
  return {kServicesProcessId, u"\\Windows\\services.exe"};
}

DeviceProcess ProcessIdentity::windowSystem() {
  return {static_cast<DWORD>(::getpid()), u"\\Windows\\gwes.exe"};
}

void ProcessIdentity::adopt(const DeviceProcess &process) {
  own.process = process;
  own.tid = Thread::currentId();
  Registry &all = registry();
  std::lock_guard lock(all.mutex);
  all.processOfThread[own.tid] = process.pid;
}

const DeviceProcess *ProcessIdentity::current() { return own.process ? &*own.process : nullptr; }

DWORD ProcessIdentity::deviceProcessOf(DWORD pid, DWORD tid) {
  if (pid != static_cast<DWORD>(::getpid()))
    return pid;
  Registry &all = registry();
  std::lock_guard lock(all.mutex);
  const auto it = all.processOfThread.find(tid);
  return it == all.processOfThread.end() ? pid : it->second;
}

} // namespace ce
