// The windows whose procedure the service replaced, with the procedure each had before: ten
// slots, the taskbar first. The table of the services host is the one in use; a table that was
// never reset (in a process that found the service already running) hooks nothing.
//
// The hook thread, the rescan worker and the window procedures (on the hooked windows' threads)
// use the table at once; a lock keeps each operation whole, and is never held while a saved
// procedure runs.
#pragma once

#include <ce/windows_api.h>

#include <array>
#include <mutex>

class HookTable {
public:
  static constexpr int Capacity = 10;

  // Empties every slot and marks the table as initialised.
  void reset();
  bool initialised() const;

  // Gives `window` the procedure `procedure`, keeping the one it had in a free slot (or in the
  // slot it already holds, whose saved procedure stays). Nothing happens for a null window, an
  // uninitialised or full table, a window that already has `procedure`, or a window whose
  // procedure this process cannot read or replace. True when the window got `procedure`.
  bool hookWindow(HWND window, WNDPROC procedure);
  // The saved procedure's answer to the message, or 0 when the window is not in the table.
  LRESULT callOldProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  // Gives the slot's window (when it still exists) its saved procedure back and frees the slot.
  void unhookWindow(int slot);
  // Frees the slots of windows that were destroyed.
  void pruneHookTable();
  // Gives every window its saved procedure back and empties the table.
  void unhookAll();

  bool contains(HWND window) const;
  // One more than the highest slot in use (1 when the last window went; 0 after unhookAll).
  int count() const;
  // Slots below count() that hold a window.
  int hookedCount() const;

private:
  struct Slot {
    HWND window = nullptr;
    LONG_PTR procedure = 0;
  };
  // count = highest slot below the old count that holds a window, plus one; 1 when none does.
  void recount();

  mutable std::mutex mutex_;
  std::array<Slot, Capacity> slots_{};
  int count_ = 0;
  bool initialised_ = false;
};
