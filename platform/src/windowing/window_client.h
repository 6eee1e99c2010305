// The window side of a device process: its window classes (with their procedures and
// backgrounds), which of its windows belong to which of its threads, and the handlers that the
// host connection calls for messages sent to its windows, WM_PAINT becoming due or not, and
// input for its threads.
#pragma once

#include <ce/windows_api.h>

#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace ce {

class WindowClient {
public:
  struct ClassInfo {
    std::u16string name;
    WNDPROC procedure = nullptr;
    HBRUSH background = nullptr;
  };

  static WindowClient &instance();

  bool addClass(const ClassInfo &info);
  bool removeClass(std::u16string_view name);
  std::optional<ClassInfo> findClass(std::u16string_view name) const;

  void addWindow(HWND hwnd, DWORD thread, HBRUSH background);
  void removeWindow(HWND hwnd);
  // The thread of a window of this process; nothing for other windows.
  std::optional<DWORD> threadOf(HWND hwnd) const;
  HBRUSH backgroundOf(HWND hwnd) const;

  // Calls the window's procedure here; 0 for a window without one in this process.
  LRESULT dispatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
  WindowClient();
  // A thread of this process has ended: its windows go, as on the device. The host destroys
  // them (WM_DESTROY goes to the windows of other threads that go with them, none to the ended
  // thread's), and this process forgets them.
  static void threadEnded(DWORD thread);

  mutable std::mutex mutex_;
  std::unordered_map<std::u16string, ClassInfo> classes_; // by folded name
  struct Local {
    DWORD thread = 0;
    HBRUSH background = nullptr;
  };
  std::unordered_map<HWND, Local> windows_;
};

} // namespace ce
