#include "kernel/event.h"

#include "kernel/timed_wait.h"

#include <ce/kernel.h>

#include <map>

namespace ce {
namespace {

struct NameTable {
  std::mutex mutex;
  std::map<std::u16string, std::weak_ptr<Event>> events;
};

NameTable &names() {
  static auto *table = new NameTable; // lives until exit; detached threads may still use it
  return *table;
}

} // namespace

Event::Event(bool manualReset, bool initialState)
    : manualReset_(manualReset), signalled_(initialState) {}

Event::~Event() {
  if (name_.empty())
    return;
  auto &table = names();
  std::lock_guard lock(table.mutex);
  // A new event may already have taken the name after this one's last handle closed.
  auto it = table.events.find(name_);
  if (it != table.events.end() && it->second.expired())
    table.events.erase(it);
}

std::shared_ptr<Event> Event::openOrCreate(const std::u16string &name, bool manualReset,
                                           bool initialState, bool *existed) {
  auto &table = names();
  std::lock_guard lock(table.mutex);
  auto &slot = table.events[name];
  if (auto event = slot.lock()) {
    *existed = true;
    return event;
  }
  auto event = std::make_shared<Event>(manualReset, initialState);
  event->name_ = name;
  slot = event;
  *existed = false;
  return event;
}

void Event::set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  if (manualReset_)
    changed_.notify_all();
  else
    changed_.notify_one();
}

void Event::reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

void Event::pulse() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = false;
    if (manualReset_)
      ++pulses_;
    else if (waiters_ > pulseReleases_)
      ++pulseReleases_;
  }
  changed_.notify_all();
}

bool Event::signalled() const {
  std::lock_guard lock(mutex_);
  return signalled_;
}

int Event::waiting() const {
  std::lock_guard lock(mutex_);
  return waiters_;
}

DWORD Event::wait(DWORD milliseconds) {
  std::unique_lock lock(mutex_);
  const auto pulsesAtStart = pulses_;
  bool byPulse = false;
  ++waiters_;
  const bool released = waitWithLimit(changed_, lock, milliseconds, [&] {
    if (signalled_)
      return true;
    if (manualReset_ && pulses_ != pulsesAtStart)
      return true;
    if (!manualReset_ && pulseReleases_ > 0)
      return byPulse = true;
    return false;
  });
  --waiters_;
  if (!released)
    return WAIT_TIMEOUT;
  if (byPulse)
    --pulseReleases_;
  else if (!manualReset_)
    signalled_ = false; // an automatic-reset event releases one waiter
  return WAIT_OBJECT_0;
}

} // namespace ce
