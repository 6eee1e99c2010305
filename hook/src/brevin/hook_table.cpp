#include "hook_table.h"

#include <algorithm>

namespace {

LONG_PTR procedureOf(HWND window) { return GetWindowLongPtrW(window, GWLP_WNDPROC); }

} // namespace

void HookTable::reset() {
  std::lock_guard lock(mutex_);
  slots_ = {};
  count_ = 0;
  initialised_ = true;
}

bool HookTable::initialised() const {
  std::lock_guard lock(mutex_);
  return initialised_;
}

bool HookTable::hookWindow(HWND window, WNDPROC procedure) {
  const auto wanted = reinterpret_cast<LONG_PTR>(procedure);
  std::lock_guard lock(mutex_);
  if (!window || !initialised_)
    return false;
  const LONG_PTR current = procedureOf(window);
  if (current == 0 || current == wanted)
    return false;
  for (int slot = 0; slot < Capacity; ++slot) {
    Slot &entry = slots_[slot];
    if (entry.window == window) {
      // Someone put another procedure over ours: ours goes back on, the saved one stays.
      return SetWindowLongPtrW(window, GWLP_WNDPROC, wanted) != 0;
    }
    if (!entry.window) {
      if (SetWindowLongPtrW(window, GWLP_WNDPROC, wanted) == 0)
        return false;
      entry.window = window;
      entry.procedure = current;
      count_ = std::max(count_, slot + 1);
      return true;
    }
  }
  return false;
}

LRESULT HookTable::callOldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  LONG_PTR saved = 0;
  {
    std::lock_guard lock(mutex_);
    for (int slot = 0; slot < std::min(count_, Capacity); ++slot) {
      if (slots_[slot].window == window) {
        saved = slots_[slot].procedure;
        break;
      }
    }
  }
  if (!saved)
    return 0;
  return CallWindowProcW(reinterpret_cast<WNDPROC>(saved), window, message, wParam, lParam);
}

void HookTable::unhookWindow(int slot) {
  std::lock_guard lock(mutex_);
  if (slot < 0 || slot >= Capacity)
    return;
  Slot &entry = slots_[slot];
  if (entry.window) {
    if (procedureOf(entry.window) != 0)
      SetWindowLongPtrW(entry.window, GWLP_WNDPROC, entry.procedure);
    entry = Slot{};
  }
  recount();
}

void HookTable::pruneHookTable() {
  std::lock_guard lock(mutex_);
  for (int slot = 0; slot < std::min(count_, Capacity); ++slot) {
    if (slots_[slot].window && procedureOf(slots_[slot].window) == 0)
      slots_[slot] = Slot{};
  }
  recount();
}

void HookTable::unhookAll() {
  std::lock_guard lock(mutex_);
  for (int slot = 0; slot < std::min(count_, Capacity); ++slot) {
    Slot &entry = slots_[slot];
    if (entry.window && procedureOf(entry.window) != 0)
      SetWindowLongPtrW(entry.window, GWLP_WNDPROC, entry.procedure);
    entry = Slot{};
  }
  count_ = 0;
}

bool HookTable::contains(HWND window) const {
  std::lock_guard lock(mutex_);
  return window && std::any_of(slots_.begin(), slots_.end(),
                               [&](const Slot &entry) { return entry.window == window; });
}

int HookTable::count() const {
  std::lock_guard lock(mutex_);
  return count_;
}

int HookTable::hookedCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(slots_.begin(), slots_.begin() + std::min(count_, Capacity),
                                        [](const Slot &entry) { return entry.window != nullptr; }));
}

void HookTable::recount() {
  int highest = -1;
  for (int slot = 0; slot < std::min(count_, Capacity); ++slot) {
    if (slots_[slot].window)
      highest = slot;
  }
  count_ = highest + 1 > 0 ? highest + 1 : 1;
}
