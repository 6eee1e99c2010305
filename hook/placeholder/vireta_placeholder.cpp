// A stand-in for the menu program that the service's launcher tests install by hand (the package
// carries the real Vireta.exe). It has the menu's window class and lifetime, and nothing else:
// - a second start posts WM_COMMAND 1012 to the first and ends;
// - WM_COMMAND 1012, or being made the foreground window, shows the window;
// - a WM_QUIT that reaches its loop (the service's "leave the screen", or a deactivation) hides
//   the window; the program stays resident;
// - message 0x420 with wParam 1, or WM_USER with wParam 1056, ends it.
// The window covers the screen below the taskbar in one plain colour with a caption.
#include <hook/system_names.h>

#include <ce/entry.h>
#include <ce/windows.h>

namespace {

constexpr COLORREF Background = RGB(0x1F, 0x5C, 0x3A);
constexpr COLORREF Caption = RGB(0xFF, 0xFF, 0xFF);

bool ending = false;

void paint(HWND hwnd) {
  PAINTSTRUCT ps{};
  const HDC dc = BeginPaint(hwnd, &ps);
  if (dc) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const HBRUSH brush = CreateSolidBrush(Background);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, Caption);
    DrawTextW(dc, u"Vireta (placeholder)", -1, &client,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  }
  EndPaint(hwnd, &ps);
}

void show(HWND hwnd) {
  ShowWindow(hwnd, SW_SHOW);
  SetForegroundWindow(hwnd);
  UpdateWindow(hwnd);
}

void end(HWND hwnd) {
  ending = true;
  DestroyWindow(hwnd);
}

LRESULT procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT:
    paint(hwnd);
    return 0;
  case WM_ERASEBKGND:
    return 1;
  case WM_COMMAND:
    if (wParam == MenuShowCommand)
      show(hwnd);
    return 0;
  case WM_USER:
    if (wParam == MenuReloadCommand)
      end(hwnd);
    return 0;
  case MenuEndMessage:
    if (wParam == 1)
      end(hwnd);
    return 0;
  case WM_ACTIVATE:
    // Taken to the front (by the service), the menu shows; sent away, it hides.
    ShowWindow(hwnd, LOWORD(wParam) == WA_INACTIVE ? SW_HIDE : SW_SHOW);
    return 0;
  case WM_DESTROY:
    PostQuitMessage(0);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

RECT belowTaskbar() {
  RECT screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  RECT taskbar{};
  if (const HWND bar = FindWindowW(TaskbarClass, nullptr); bar && GetWindowRect(bar, &taskbar))
    screen.top = taskbar.bottom;
  return screen;
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  if (const HWND running = FindWindowW(MenuWindowClass, nullptr)) {
    PostMessageW(running, WM_COMMAND, MenuShowCommand, 0);
    return 0;
  }
  WNDCLASSW windowClass{};
  windowClass.lpfnWndProc = procedure;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = MenuWindowClass;
  if (!RegisterClassW(&windowClass))
    return 1;
  const RECT area = belowTaskbar();
  const HWND hwnd = CreateWindowExW(0, MenuWindowClass, MenuWindowClass, WS_POPUP, area.left,
                                    area.top, area.right - area.left, area.bottom - area.top,
                                    nullptr, nullptr, instance, nullptr);
  if (!hwnd)
    return 1;
  show(hwnd);
  MSG msg{};
  for (;;) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got < 0)
      break;
    if (got == 0) {
      if (ending)
        break;
      ShowWindow(hwnd, SW_HIDE); // resident: leaving the screen only hides the window
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
