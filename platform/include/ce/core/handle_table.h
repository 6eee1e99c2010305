// The process's kernel handle table: HANDLE values map to shared kernel objects.
#pragma once

#include <ce/export.h>

#include <ce/core/kernel_object.h>

#include <memory>
#include <mutex>
#include <unordered_map>

CE_EXPORT_BEGIN

namespace ce {

class HandleTable {
public:
  static HandleTable& instance();

  // A new handle for the object; never null and never INVALID_HANDLE_VALUE.
  HANDLE add(std::shared_ptr<KernelObject> object);
  std::shared_ptr<KernelObject> get(HANDLE handle) const;
  template <class T> std::shared_ptr<T> getAs(HANDLE handle) const {
    return std::dynamic_pointer_cast<T>(get(handle));
  }
  // Removes the handle; false when it was not open.
  bool close(HANDLE handle);
  std::size_t size() const;

private:
  mutable std::mutex mutex_;
  std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> objects_;
  std::uintptr_t next_ = 0x100;
};

} // namespace ce
CE_EXPORT_END
