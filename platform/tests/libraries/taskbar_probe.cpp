// A service library for the shell tests that does to the taskbar what a taskbar hook service
// does. TBP_Init starts a thread that waits for the host's "HHTaskBar" window and replaces its
// window procedure with SetWindowLongPtrW(GWLP_WNDPROC). The replacement writes one line per
// stylus, key and command message to taskbar_probe.txt in the device root and passes the message
// on with CallWindowProcW. HKEY_LOCAL_MACHINE\Software\TaskbarProbe\Swallow (REG_DWORD, read at
// _Init) keeps some messages from the taskbar:
//   1  WM_COMMAND 0x47A is answered 1 and goes no further;
//   2  WM_LBUTTONDOWN and WM_LBUTTONUP go on with lParam -1, a point off the bar.
// Lines: "hooked WxH", "down X Y", "up X Y", "keydown 0xNN", "keyup 0xNN", "char 0xNN",
// "command 0xNNN", then "command done" or "command swallowed"; "unhooked" at _Deinit.
#include <ce/core/device_root.h>
#include <ce/kernel.h>
#include <ce/registry.h>
#include <ce/windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>

namespace {

constexpr DWORD kSwallowCommand = 1;
constexpr DWORD kPressOffTheBar = 2;

std::mutex fileMutex;
std::atomic<bool> stopping{false};
std::atomic<HWND> taskbar{nullptr};
std::atomic<LONG_PTR> original{0};
DWORD swallow = 0;
std::thread watcher;

void note(const std::string &line) {
  std::lock_guard lock(fileMutex);
  std::ofstream(ce::DeviceRoot::path() / "taskbar_probe.txt", std::ios::app) << line << '\n';
}

std::string hex(WPARAM value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

LRESULT passOn(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  return CallWindowProcW(reinterpret_cast<WNDPROC>(original.load()), hwnd, message, wParam, lParam);
}

LRESULT CALLBACK probe(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const int x = static_cast<short>(LOWORD(lParam)), y = static_cast<short>(HIWORD(lParam));
  switch (message) {
  case WM_LBUTTONDOWN:
  case WM_LBUTTONUP:
    note(std::string(message == WM_LBUTTONDOWN ? "down " : "up ") + std::to_string(x) + " " +
         std::to_string(y));
    return passOn(hwnd, message, wParam, (swallow & kPressOffTheBar) ? LPARAM(-1) : lParam);
  case WM_KEYDOWN:
    note("keydown " + hex(wParam));
    break;
  case WM_KEYUP:
    note("keyup " + hex(wParam));
    break;
  case WM_CHAR:
    note("char " + hex(wParam));
    break;
  case WM_COMMAND: {
    note("command " + hex(wParam));
    if ((swallow & kSwallowCommand) && wParam == 0x47A) {
      note("command swallowed");
      return 1;
    }
    const LRESULT result = passOn(hwnd, message, wParam, lParam);
    note("command done");
    return result;
  }
  default:
    break;
  }
  return passOn(hwnd, message, wParam, lParam);
}

DWORD readSwallow() {
  HKEY key = nullptr;
  DWORD value = 0, size = sizeof value, type = 0;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\TaskbarProbe", 0, KEY_READ, &key) ==
      ERROR_SUCCESS) {
    if (RegQueryValueExW(key, u"Swallow", nullptr, &type, reinterpret_cast<BYTE *>(&value),
                         &size) != ERROR_SUCCESS)
      value = 0;
    RegCloseKey(key);
  }
  return value;
}

// Looks for the taskbar every 50 ms for up to 30 s: a service loads before the shell has made it,
// and nothing tells a service when it has.
void watch() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!stopping.load() && std::chrono::steady_clock::now() < deadline) {
    if (HWND bar = FindWindowW(u"HHTaskBar", nullptr)) {
      RECT rect{};
      GetWindowRect(bar, &rect);
      const LONG_PTR previous =
          SetWindowLongPtrW(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&probe));
      if (!previous) {
        note("hook failed " + std::to_string(GetLastError()));
        return;
      }
      original.store(previous);
      taskbar.store(bar);
      note("hooked " + std::to_string(rect.right - rect.left) + "x" +
           std::to_string(rect.bottom - rect.top));
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

} // namespace

extern "C" {

DWORD TBP_Init(DWORD) {
  swallow = readSwallow();
  stopping.store(false);
  watcher = std::thread(watch);
  return 1;
}

BOOL TBP_Deinit(DWORD) {
  stopping.store(true);
  if (watcher.joinable())
    watcher.join();
  if (HWND bar = taskbar.exchange(nullptr)) {
    SetWindowLongPtrW(bar, GWLP_WNDPROC, original.load());
    note("unhooked");
  }
  return TRUE;
}

} // extern "C"
