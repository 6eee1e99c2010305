// The blocks handed out by LocalAlloc. Every live block is known, so LocalFree can refuse a
// pointer that is not one (freed twice, or never allocated here) instead of corrupting the heap.
#pragma once

#include <ce/types.h>

#include <mutex>
#include <unordered_set>

namespace ce {

class LocalMemory {
public:
  static LocalMemory &instance();

  // A block of at least one byte, zero-filled when asked; null when the host has no memory.
  void *allocate(SIZE_T bytes, bool zeroFill);
  // Frees a live block; false, touching nothing, for any other pointer.
  bool release(void *block);

private:
  std::mutex mutex_;
  std::unordered_set<void *> live_;
};

} // namespace ce
