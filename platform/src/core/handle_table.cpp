#include <ce/core/handle_table.h>
#include <ce/errors.h>
#include <ce/kernel.h>

namespace ce {

DWORD KernelObject::wait(DWORD) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

HandleTable& HandleTable::instance() {
  static HandleTable* table = new HandleTable; // lives until exit; threads may outlive statics
  return *table;
}

HANDLE HandleTable::add(std::shared_ptr<KernelObject> object) {
  std::lock_guard lock(mutex_);
  // Handles are multiples of 4, as on the device, so callers can tell them from small integers.
  next_ += 4;
  const auto value = next_;
  objects_.emplace(value, std::move(object));
  return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> HandleTable::get(HANDLE handle) const {
  std::lock_guard lock(mutex_);
  auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
  return it == objects_.end() ? nullptr : it->second;
}

bool HandleTable::close(HANDLE handle) {
  std::shared_ptr<KernelObject> object;
  {
    std::lock_guard lock(mutex_);
    auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
    if (it == objects_.end()) return false;
    object = std::move(it->second);
    objects_.erase(it);
  }
  object->onHandleClosed();
  return true;
}

std::size_t HandleTable::size() const {
  std::lock_guard lock(mutex_);
  return objects_.size();
}

} // namespace ce

BOOL CloseHandle(HANDLE handle) {
  if (!ce::HandleTable::instance().close(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}
