// Recursive critical sections over a host mutex. The owner and the recursion count live in the
// caller's record, as on the device; other threads read the owner atomically.

#include <ce/kernel.h>

#include <atomic>
#include <mutex>

namespace {

// The record's lock, created on first use when the record was only zero-filled. Two threads
// racing to create it agree on one.
std::recursive_mutex &lockOf(LPCRITICAL_SECTION section) {
  std::atomic_ref<void *> slot(section->lock);
  void *existing = slot.load(std::memory_order_acquire);
  if (existing)
    return *static_cast<std::recursive_mutex *>(existing);
  auto *created = new std::recursive_mutex;
  if (slot.compare_exchange_strong(existing, created, std::memory_order_acq_rel))
    return *created;
  delete created;
  return *static_cast<std::recursive_mutex *>(existing);
}

void becomeOwner(LPCRITICAL_SECTION section) {
  std::atomic_ref<DWORD>(section->ownerThread).store(GetCurrentThreadId());
  ++section->recursionCount;
}

} // namespace

void InitializeCriticalSection(LPCRITICAL_SECTION section) {
  if (!section)
    return;
  section->lock = new std::recursive_mutex;
  section->ownerThread = 0;
  section->recursionCount = 0;
}

void DeleteCriticalSection(LPCRITICAL_SECTION section) {
  if (!section || !section->lock)
    return;
  auto *lock = static_cast<std::recursive_mutex *>(section->lock);
  // A section deleted by its owner while held is released first; destroying a held host
  // mutex is undefined.
  if (std::atomic_ref<DWORD>(section->ownerThread).load() == GetCurrentThreadId())
    for (DWORD n = section->recursionCount; n > 0; --n)
      lock->unlock();
  delete lock;
  section->lock = nullptr;
  section->ownerThread = 0;
  section->recursionCount = 0;
}

void EnterCriticalSection(LPCRITICAL_SECTION section) {
  if (!section)
    return;
  lockOf(section).lock();
  becomeOwner(section);
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION section) {
  if (!section || !lockOf(section).try_lock())
    return FALSE;
  becomeOwner(section);
  return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION section) {
  if (!section || !section->lock)
    return;
  std::atomic_ref<DWORD> owner(section->ownerThread);
  // Unlocking a host mutex the caller does not hold is undefined; such a call changes nothing.
  if (owner.load() != GetCurrentThreadId() || section->recursionCount == 0)
    return;
  if (--section->recursionCount == 0)
    owner.store(0);
  static_cast<std::recursive_mutex *>(section->lock)->unlock();
}
