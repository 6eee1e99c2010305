// A device program with three overlapping windows of solid colours, for the end-to-end tests.
// Command line: "TID": the thread of the test to report to.
//
// Windows (screen pixels): 0 red at 20,40 200x200; 1 green at 120,140 200x200, created after
// (so above) window 0; 2 blue at 260,300 150x150, above window 1. Each paints its client area in
// its colour through BeginPaint. Once all are shown it tells the test each handle
// (kReady, wParam = window, lParam = index), then:
//   kRaise (posted)      the window goes to the top of the Z order without activation
//   kFocus (posted)      the window becomes the foreground window and takes the focus
//   stylus and key messages are reported as kInput + index, wParam = message << 16 | low 16
//   bits of wParam, lParam = lParam; after the report of a WM_LBUTTONUP or WM_KEYUP comes
//   kFlushed (wParam = message), so the test knows everything before it has been reported
//   kSync (posted)       answers kFlushed (wParam = kSync): what was queued before is handled
//   kCapture (posted)    wParam 1: SetCapture(window), 0: ReleaseCapture(), 2: SetCapture then
//                        DestroyWindow; answers kCaptured (wParam = what SetCapture returned or
//                        ReleaseCapture's result, lParam = GetLastError())
//   WM_CAPTURECHANGED    reported as kCaptureChanged (wParam = index, lParam = lParam)
// It ends on WM_CLOSE to any of them with exit code 5.
#include <ce/entry.h>
#include <ce/gdi.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <string>

namespace {

constexpr UINT kReady = WM_USER + 100;
constexpr UINT kRaise = WM_USER + 110;
constexpr UINT kFocus = WM_USER + 111;
constexpr UINT kFlushed = WM_USER + 112;
constexpr UINT kSync = WM_USER + 113;
constexpr UINT kCapture = WM_USER + 114;
constexpr UINT kCaptured = WM_USER + 115;
constexpr UINT kCaptureChanged = WM_USER + 116;
constexpr UINT kInput = WM_USER + 120; // + window index

struct SceneWindow {
  RECT rect;
  COLORREF colour;
  HWND hwnd;
};

SceneWindow windows[] = {
    {{20, 40, 220, 240}, RGB(255, 0, 0), nullptr},
    {{120, 140, 320, 340}, RGB(0, 255, 0), nullptr},
    {{260, 300, 410, 450}, RGB(0, 0, 255), nullptr},
};

DWORD testThread = 0;

int indexOf(HWND hwnd) {
  for (int i = 0; i < 3; ++i)
    if (windows[i].hwnd == hwnd)
      return i;
  return -1;
}

void report(int index, UINT message, WPARAM wParam, LPARAM lParam) {
  PostThreadMessageW(testThread, kInput + static_cast<UINT>(index),
                     static_cast<WPARAM>(message) << 16 | (wParam & 0xFFFF), lParam);
  if (message == WM_LBUTTONUP || message == WM_KEYUP)
    PostThreadMessageW(testThread, kFlushed, message, 0);
}

LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  const int index = indexOf(hwnd);
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (dc && index >= 0) {
      RECT client;
      GetClientRect(hwnd, &client);
      HBRUSH brush = CreateSolidBrush(windows[index].colour);
      FillRect(dc, &client, brush);
      DeleteObject(brush);
    }
    EndPaint(hwnd, &paint);
    return 0;
  }
  case kRaise:
    SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    return 0;
  case kSync:
    PostThreadMessageW(testThread, kFlushed, kSync, 0);
    return 0;
  case kCapture: {
    SetLastError(0);
    WPARAM answer = 0;
    if (wParam == 0) {
      answer = ReleaseCapture();
    } else {
      answer = reinterpret_cast<WPARAM>(SetCapture(hwnd));
      if (wParam == 2)
        DestroyWindow(hwnd);
    }
    PostThreadMessageW(testThread, kCaptured, answer, static_cast<LPARAM>(GetLastError()));
    return 0;
  }
  case WM_CAPTURECHANGED:
    PostThreadMessageW(testThread, kCaptureChanged, static_cast<WPARAM>(index), lParam);
    return 0;
  case kFocus:
    SetForegroundWindow(hwnd);
    SetFocus(hwnd);
    return 0;
  case WM_LBUTTONDOWN:
  case WM_LBUTTONUP:
  case WM_MOUSEMOVE:
  case WM_KEYDOWN:
  case WM_KEYUP:
  case WM_CHAR:
    report(index, message, wParam, lParam);
    return 0;
  case WM_CLOSE:
    for (auto &w : windows)
      if (w.hwnd)
        DestroyWindow(w.hwnd);
    PostQuitMessage(5);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  const std::u16string line(commandLine ? commandLine : u"");
  testThread = static_cast<DWORD>(std::stoul(line.empty() ? std::string("0")
                                                          : std::string(line.begin(), line.end())));
  WNDCLASSW wc{};
  wc.lpfnWndProc = &procedure;
  wc.hInstance = instance;
  wc.lpszClassName = u"SceneWindow";
  if (!RegisterClassW(&wc))
    return 2;
  for (auto &w : windows) {
    w.hwnd = CreateWindowExW(0, u"SceneWindow", u"scene", 0, w.rect.left, w.rect.top,
                             w.rect.right - w.rect.left, w.rect.bottom - w.rect.top, nullptr,
                             nullptr, instance, nullptr);
    if (!w.hwnd)
      return 3;
    ShowWindow(w.hwnd, SW_SHOW);
  }
  for (int i = 0; i < 3; ++i)
    if (!PostThreadMessageW(testThread, kReady, reinterpret_cast<WPARAM>(windows[i].hwnd), i))
      return 4;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
