// The reference count behind AddRef/Release of the imaging objects.
#pragma once

#include <ce/types.h>

#include <atomic>

namespace ce {

class RefCounted {
public:
  ULONG addRef() { return count_.fetch_add(1, std::memory_order_relaxed) + 1; }
  // True when the last reference went away and the owner must delete itself.
  bool release(ULONG &remaining) {
    remaining = count_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    return remaining == 0;
  }

private:
  std::atomic<ULONG> count_{1};
};

// Implements the three IUnknown calls of `Class` for the listed interface ids.
#define CE_IMPLEMENT_REFCOUNT(Class)                                                               \
  ULONG AddRef() override { return refs_.addRef(); }                                               \
  ULONG Release() override {                                                                       \
    ULONG remaining = 0;                                                                           \
    if (refs_.release(remaining))                                                                  \
      delete this;                                                                                 \
    return remaining;                                                                              \
  }

} // namespace ce
