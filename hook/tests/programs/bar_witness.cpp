// A device program for the tests: a window of class "BarWitness" with a soft-key bar whose left
// key is command 101 and right key command 102; each WM_COMMAND it gets is appended to
// \Temp\bar_witness.txt ("command N"), after a first line "ready" once the bar exists.
#include <ce/entry.h>
#include <ce/windows.h>

#include <string>

namespace {

void note(const std::string &line) {
  CreateDirectoryW(u"\\Temp", nullptr);
  const HANDLE file = CreateFileW(u"\\Temp\\bar_witness.txt", GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return;
  SetFilePointer(file, 0, nullptr, FILE_END);
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

LRESULT procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COMMAND:
    note("command " + std::to_string(LOWORD(wParam)));
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
  windowClass.lpszClassName = u"BarWitness";
  if (!RegisterClassW(&windowClass))
    return 1;
  const HWND hwnd =
      CreateWindowExW(0, u"BarWitness", u"BarWitness", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (!hwnd)
    return 1;
  const HMENU menu = CreateMenu();
  AppendMenuW(menu, MF_STRING, 101, u"Left");
  AppendMenuW(menu, MF_STRING, 102, u"Right");
  SHMENUBARINFO bar{};
  bar.cbSize = sizeof bar;
  bar.hwndParent = hwnd;
  bar.dwFlags = SHCMBF_HMENU;
  bar.nToolBarId = static_cast<UINT>(reinterpret_cast<UINT_PTR>(menu));
  if (!SHCreateMenuBar(&bar))
    return 1;
  DestroyMenu(menu);
  note("ready");
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
