// The window procedures and user data of this process's windows. They live in the process that
// owns the window, never in the host: GWL_WNDPROC and GWL_USERDATA are answered here, and a
// window of another process has no entry (SetWindowLongW(GWL_WNDPROC) on it fails).
#pragma once

#include <ce/windows_api.h>

#include <mutex>
#include <optional>
#include <unordered_map>

namespace ce {

class WindowProcedureTable {
public:
  static WindowProcedureTable &instance();

  void add(HWND hwnd, WNDPROC procedure);
  void remove(HWND hwnd);
  bool contains(HWND hwnd) const;

  std::optional<WNDPROC> procedure(HWND hwnd) const;
  // The previous procedure; nothing when the window is not one of this process.
  std::optional<WNDPROC> setProcedure(HWND hwnd, WNDPROC procedure);
  std::optional<LONG_PTR> userData(HWND hwnd) const;
  std::optional<LONG_PTR> setUserData(HWND hwnd, LONG_PTR value);

private:
  struct Entry {
    WNDPROC procedure = nullptr;
    LONG_PTR userData = 0;
  };
  mutable std::mutex mutex_;
  std::unordered_map<HWND, Entry> entries_;
};

} // namespace ce
