// A named event of the device: its state lives in a memfd page shared by every process that
// holds it (see SharedEventState); waits sleep on a shared futex, so they work across processes
// without a round trip through the host.
#pragma once

#include "shared_event_state.h"

#include <ce/core/kernel_object.h>

#include <cstdint>

namespace ce {

class SharedEvent : public KernelObject {
public:
  // Maps the page; state() is null when that failed.
  SharedEvent(int memory, std::uint32_t hostId);
  ~SharedEvent() override;

  bool valid() const { return state_ != nullptr; }
  void set();
  void reset();
  void pulse();
  DWORD wait(DWORD milliseconds) override;
  void onHandleClosed() override;

private:
  void wakeAll();

  SharedEventState *state_ = nullptr;
  const std::uint32_t hostId_;
};

} // namespace ce
