#include "kernel/local_memory.h"

#include <ce/errors.h>
#include <ce/kernel.h>

#include <cstdlib>
#include <new>

namespace ce {

LocalMemory &LocalMemory::instance() {
  static auto *memory = new LocalMemory; // lives until exit; blocks may be freed during it
  return *memory;
}

void *LocalMemory::allocate(SIZE_T bytes, bool zeroFill) {
  const SIZE_T size = bytes == 0 ? 1 : bytes;
  void *block = zeroFill ? std::calloc(1, size) : std::malloc(size);
  if (!block)
    return nullptr;
  try {
    std::lock_guard lock(mutex_);
    live_.insert(block);
  } catch (const std::bad_alloc &) {
    std::free(block);
    return nullptr;
  }
  return block;
}

bool LocalMemory::release(void *block) {
  {
    std::lock_guard lock(mutex_);
    if (live_.erase(block) == 0)
      return false;
  }
  std::free(block);
  return true;
}

} // namespace ce

HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) {
  void *block = ce::LocalMemory::instance().allocate(bytes, (flags & LMEM_ZEROINIT) != 0);
  if (!block)
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return block;
}

HLOCAL LocalFree(HLOCAL memory) {
  if (!memory)
    return nullptr;
  if (!ce::LocalMemory::instance().release(memory)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return memory;
  }
  return nullptr;
}
