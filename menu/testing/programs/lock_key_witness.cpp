// A device program for the menu's tests: a full window of class "LockKeyWitness" that takes the
// foreground and appends one line per key message it gets, "down 0xNN <tick>" or
// "up 0xNN <tick>", to \Temp\lock_keys.txt; "ready" once its window is up.
#include <ce/entry.h>
#include <ce/windows.h>

#include <cstdio>
#include <string>

namespace {

void note(const char *what, WPARAM key) {
  char line[64];
  std::snprintf(line, sizeof line, "%s 0x%02x %lu\n", what, static_cast<unsigned>(key),
                static_cast<unsigned long>(GetTickCount()));
  CreateDirectoryW(u"\\Temp", nullptr);
  const HANDLE file = CreateFileW(u"\\Temp\\lock_keys.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  SetFilePointer(file, 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file, line, static_cast<DWORD>(std::string(line).size()), &written, nullptr);
  CloseHandle(file);
}

LRESULT procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_KEYDOWN:
    note("down", wParam);
    return 0;
  case WM_KEYUP:
    note("up", wParam);
    return 0;
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = u"LockKeyWitness";
  if (!RegisterClassW(&windowClass))
    return 1;
  const HWND hwnd = CreateWindowExW(0, u"LockKeyWitness", u"LockKeyWitness", WS_VISIBLE,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    nullptr, nullptr, instance, nullptr);
  if (!hwnd)
    return 1;
  SetForegroundWindow(hwnd);
  SetFocus(hwnd);
  note("ready", 0);
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
