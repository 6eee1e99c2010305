// A shared_ptr kept in thread-local storage without a destructor of its own. It stays usable
// while the thread's other thread-local objects are destroyed at its end (their destructors may
// still need it), and it lives in the thread's own storage, not in a separate heap block.
#pragma once

#include <memory>
#include <new>
#include <utility>

namespace ce {

template <class T> class ThreadSlot {
public:
  bool empty() const { return !set_; }
  const std::shared_ptr<T> &get() const {
    return *std::launder(reinterpret_cast<const std::shared_ptr<T> *>(storage_));
  }

  void put(std::shared_ptr<T> value) {
    take();
    new (storage_) std::shared_ptr<T>(std::move(value));
    set_ = true;
  }

  // Empties the slot and hands its pointer over (null when it was empty).
  std::shared_ptr<T> take() {
    if (!set_)
      return nullptr;
    auto *held = std::launder(reinterpret_cast<std::shared_ptr<T> *>(storage_));
    std::shared_ptr<T> value = std::move(*held);
    held->~shared_ptr();
    set_ = false;
    return value;
  }

private:
  alignas(std::shared_ptr<T>) unsigned char storage_[sizeof(std::shared_ptr<T>)];
  bool set_ = false;
};

} // namespace ce
