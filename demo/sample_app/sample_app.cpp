// The demo's sample program. One binary is installed in \Windows under many names (calc.exe,
// tmail.exe, ...); each copy shows a window titled with the name that belongs to its own file
// name (the name of the Start menu shortcut that starts it) and ends when the window is closed.
#include "demo_catalog.h"

#include <ce/entry.h>
#include <ce/windows.h>

#include <string>

namespace {

const WCHAR kClassName[] = u"DemoSampleProgram";
std::u16string gTitle;

void paint(HWND hwnd) {
  PAINTSTRUCT ps{};
  HDC dc = BeginPaint(hwnd, &ps);
  if (!dc)
    return;
  RECT client{};
  GetClientRect(hwnd, &client);
  HBRUSH background = CreateSolidBrush(RGB(0xF4, 0xF7, 0xFB));
  FillRect(dc, &client, background);
  DeleteObject(background);
  LOGFONTW font{};
  font.lfHeight = -(client.right - client.left) / 12;
  font.lfWeight = FW_BOLD;
  HFONT handle = CreateFontIndirectW(&font);
  HGDIOBJ previous = SelectObject(dc, handle);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0x1A, 0x3A, 0x5C));
  DrawTextW(dc, gTitle.c_str(), int(gTitle.size()), &client,
            DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(dc, previous);
  DeleteObject(handle);
  EndPaint(hwnd, &ps);
}

LRESULT windowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT:
    paint(hwnd);
    return 0;
  case WM_CLOSE:
    DestroyWindow(hwnd);
    return 0;
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int show) {
  WCHAR path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  gTitle = ce::demo::displayNameForFile(path);

  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = windowProcedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = kClassName;
  if (!RegisterClassW(&windowClass))
    return 1;
  HWND hwnd =
      CreateWindowExW(0, kClassName, gTitle.c_str(), WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
  if (!hwnd)
    return 1;
  ShowWindow(hwnd, show);
  UpdateWindow(hwnd);
  MSG msg{};
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return int(msg.wParam);
}
