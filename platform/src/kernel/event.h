// An event kernel object: manual or automatic reset, set, reset and pulse.
//
// Named events are shared within this process: the same name gives the same object for as long
// as a handle to it is open. Names are compared exactly, as the device compares object names.
#pragma once

#include <ce/core/kernel_object.h>

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace ce {

class Event : public KernelObject {
public:
  Event(bool manualReset, bool initialState);
  ~Event() override;

  // The event with this name, or a new one; *existed tells which.
  static std::shared_ptr<Event> openOrCreate(const std::u16string &name, bool manualReset,
                                             bool initialState, bool *existed);

  void set();
  void reset();
  // Releases the threads waiting right now (all of them for manual reset, one for automatic
  // reset) and leaves the event non-signalled.
  void pulse();
  bool signalled() const;
  // How many threads are blocked in wait() right now.
  int waiting() const;

  DWORD wait(DWORD milliseconds) override;

private:
  const bool manualReset_;
  std::u16string name_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool signalled_;
  int waiters_ = 0;
  // Counts pulses of a manual-reset event: a waiter that saw it change was released by one.
  std::uint64_t pulses_ = 0;
  // Waiters an automatic-reset pulse still owes a release to (at most one per pulse).
  int pulseReleases_ = 0;
};

} // namespace ce
