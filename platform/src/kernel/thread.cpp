#include "kernel/thread.h"

#include "kernel/thread_message_queue.h"
#include "kernel/thread_slot.h"
#include "kernel/timed_wait.h"

#include <ce/errors.h>
#include <ce/host/process_identity.h>

#include <functional>
#include <optional>
#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace ce {
namespace {

struct StartRecord {
  std::shared_ptr<Thread> thread;
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  std::optional<DeviceProcess> identity; // the starting thread's, inherited
};

// The calling thread's object.
thread_local ThreadSlot<Thread> ownThread;

// Ends the object of a thread the platform did not start, when its thread-local storage goes.
struct AdoptedThreadEnd {
  std::function<void()> onEnd;
  ~AdoptedThreadEnd() {
    if (onEnd)
      onEnd();
  }
};
thread_local AdoptedThreadEnd adoptedEnd;

} // namespace

DWORD Thread::currentId() {
  thread_local const DWORD id = static_cast<DWORD>(::syscall(SYS_gettid));
  return id;
}

std::shared_ptr<Thread> Thread::current() {
  if (!ownThread.empty())
    return ownThread.get();
  std::shared_ptr<Thread> thread(new Thread);
  thread->id_ = currentId();
  ownThread.put(thread);
  // A thread that simply returns has no exit code of its own; it ends with 0.
  adoptedEnd.onEnd = [] {
    ThreadMessageQueue::retireCurrentThread();
    std::shared_ptr<Thread> self = ownThread.take();
    const DWORD requested = self->requestedExit_.load();
    self->markFinished(requested == STILL_ACTIVE ? 0 : requested);
  };
  return thread;
}

std::shared_ptr<Thread> Thread::start(LPTHREAD_START_ROUTINE start, LPVOID parameter,
                                      DWORD stackSize, DWORD *error) {
  std::shared_ptr<Thread> thread(new Thread);
  auto *record = new StartRecord{thread, start, parameter, std::nullopt};
  if (const DeviceProcess *identity = ProcessIdentity::current())
    record->identity = *identity;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  // The requested size only ever enlarges the host's default stack; small device sizes would
  // overflow on the host.
  std::size_t defaultSize = 0;
  pthread_attr_getstacksize(&attributes, &defaultSize);
  if (stackSize > defaultSize)
    pthread_attr_setstacksize(&attributes, stackSize);
  pthread_t handle;
  const int result = pthread_create(&handle, &attributes, &Thread::run, record);
  pthread_attr_destroy(&attributes);
  if (result != 0) {
    delete record;
    *error = ERROR_NOT_ENOUGH_MEMORY;
    return nullptr;
  }
  std::unique_lock lock(thread->mutex_);
  thread->changed_.wait(lock, [&] { return thread->id_.load() != 0; });
  return thread;
}

void *Thread::run(void *raw) {
  std::unique_ptr<StartRecord> record(static_cast<StartRecord *>(raw));
  const std::shared_ptr<Thread> thread = record->thread;
  ownThread.put(thread);
  if (record->identity)
    ProcessIdentity::adopt(*record->identity);
  {
    std::unique_lock lock(thread->mutex_);
    thread->id_ = currentId();
    thread->changed_.notify_all();
    // The creator fills in the id and makes the handle before the routine runs.
    thread->changed_.wait(lock, [&] { return thread->released_; });
  }

  // Runs on return and on ExitThread's unwinding alike: the queue goes first, so that nobody
  // posts to a thread that waiters already saw ending.
  struct Finish {
    Thread &thread;
    DWORD returned = STILL_ACTIVE;
    bool returnedNormally = false;
    ~Finish() {
      ThreadMessageQueue::retireCurrentThread();
      thread.markFinished(returnedNormally ? returned : thread.requestedExit_.load());
      ownThread.take();
    }
  } finish{*thread};
  finish.returned = record->start(record->parameter);
  finish.returnedNormally = true;
  return nullptr;
}

void Thread::release() {
  {
    std::lock_guard lock(mutex_);
    released_ = true;
  }
  changed_.notify_all();
}

void Thread::exitCurrent(DWORD exitCode) {
  current()->requestedExit_ = exitCode;
  pthread_exit(nullptr);
}

void Thread::markFinished(DWORD exitCode) {
  {
    std::lock_guard lock(mutex_);
    if (finished_)
      return;
    finished_ = true;
    exitCode_ = exitCode;
  }
  changed_.notify_all();
}

DWORD Thread::exitCode() const {
  std::lock_guard lock(mutex_);
  return exitCode_;
}

bool Thread::finished() const {
  std::lock_guard lock(mutex_);
  return finished_;
}

DWORD Thread::wait(DWORD milliseconds) {
  std::unique_lock lock(mutex_);
  return waitWithLimit(changed_, lock, milliseconds, [this] { return finished_; }) ? WAIT_OBJECT_0
                                                                                   : WAIT_TIMEOUT;
}

} // namespace ce
