// A service library for the message box and soft-key bar tests; it runs in the services host,
// inside the device host. Its entry points write what happened to journal.txt in the device root.
//   MBX_Init  shows a message box on the services host's worker ("Service", MB_OKCANCEL) and
//             journals "answer N"
//   MBH_Init  subclasses every "ToolbarWindow32" found below the top-level windows, the way a
//             taskbar hook does: a lift of the stylus on the left half of a bar is passed on with
//             lParam -1 (a point off the bar), so the left key does not fire, and journaled as
//             "swallowed"; it journals "hooked N"
//   MBH_Deinit gives the bars their procedures back
#include <ce/core/device_root.h>
#include <ce/kernel.h>
#include <ce/menus.h>
#include <ce/windows.h>

#include <fstream>
#include <map>
#include <mutex>
#include <string>

namespace {

void note(const std::string &event) {
  std::ofstream(ce::DeviceRoot::path() / "journal.txt", std::ios::app) << event << '\n';
}

std::mutex hooksMutex;
std::map<HWND, WNDPROC> hooks;

LRESULT hookProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = nullptr;
  {
    std::lock_guard lock(hooksMutex);
    const auto it = hooks.find(hwnd);
    if (it != hooks.end())
      previous = it->second;
  }
  if (!previous)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  if (message == WM_LBUTTONUP) {
    RECT rect{};
    GetClientRect(hwnd, &rect);
    const int x = static_cast<short>(lParam & 0xFFFF);
    if (x >= 0 && x < rect.right / 2) {
      note("swallowed");
      lParam = -1;
    }
  }
  return CallWindowProcW(previous, hwnd, message, wParam, lParam);
}

void hookBelow(HWND parent, int &count) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    WCHAR name[80] = {};
    GetClassNameW(child, name, 80);
    if (std::u16string(name) != u"ToolbarWindow32") {
      hookBelow(child, count);
      continue;
    }
    const LONG_PTR previous =
        SetWindowLongPtrW(child, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&hookProcedure));
    if (previous) {
      std::lock_guard lock(hooksMutex);
      hooks[child] = reinterpret_cast<WNDPROC>(previous);
      ++count;
    }
  }
}

} // namespace

extern "C" {

DWORD MBX_Init(DWORD context) {
  const int answer =
      MessageBoxW(nullptr, u"Shown by a service.", u"Service", MB_OKCANCEL | MB_ICONINFORMATION);
  note("answer " + std::to_string(answer));
  return context + 1;
}

BOOL MBX_Deinit(DWORD) { return TRUE; }

DWORD MBH_Init(DWORD context) {
  int count = 0;
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        hookBelow(hwnd, *reinterpret_cast<int *>(param));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  note("hooked " + std::to_string(count));
  return context + 1;
}

BOOL MBH_Deinit(DWORD) {
  std::lock_guard lock(hooksMutex);
  for (const auto &[hwnd, previous] : hooks)
    SetWindowLongPtrW(hwnd, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  hooks.clear();
  return TRUE;
}

} // extern "C"
