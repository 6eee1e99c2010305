// A device program with an "EDIT" window and a pad that runs the press-and-hold recogniser, for
// the controls' end-to-end tests. Command line: "TID [single|multi]": the test thread to report
// to (0: none, for trying it by hand) and the kind of edit (single-line by default).
//
// Windows (screen pixels): the frame at 0,100 480x400, a top-level window; in it the edit at
// 10,10 460x60 (single-line: WS_BORDER | ES_AUTOHSCROLL) or 460x200 (multi-line:
// ES_MULTILINE | ES_AUTOVSCROLL), and the pad at 10,250 460x140. The frame comes to the front
// and the edit takes the focus; then the test hears kReady (wParam the edit, lParam the pad).
//   A press on the pad calls SHRecognizeGesture (SHRG_RETURNCMD) and reports kGesture: wParam
//   its answer, lParam bit 0 set when a WM_LBUTTONUP waits in the queue afterwards and bits
//   16.. the first stylus message waiting (0 for none). Its WM_LBUTTONUP reports kPadUp.
//   The edit's EN_CHANGE reports kChanged (wParam the text's length).
//   kSync (posted to the frame) answers kSynced: everything queued before is handled.
//   kFocusEdit (posted to the frame) gives the edit the focus again.
// It ends on WM_CLOSE to the frame with exit code 7.
#include <ce/entry.h>
#include <ce/gdi.h>
#include <ce/windows.h>

#include <string>

namespace {

constexpr UINT kReady = WM_USER + 200;
constexpr UINT kGesture = WM_USER + 201;
constexpr UINT kPadUp = WM_USER + 202;
constexpr UINT kSynced = WM_USER + 203;
constexpr UINT kChanged = WM_USER + 204;
constexpr UINT kSync = WM_USER + 210;
constexpr UINT kFocusEdit = WM_USER + 211;
constexpr int kEditId = 102;

DWORD testThread = 0;
HWND frame = nullptr;
HWND edit = nullptr;
HWND pad = nullptr;

void report(UINT message, WPARAM wParam, LPARAM lParam) {
  if (testThread)
    PostThreadMessageW(testThread, message, wParam, lParam);
}

LRESULT CALLBACK padProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (dc) {
      RECT client;
      GetClientRect(hwnd, &client);
      HBRUSH brush = CreateSolidBrush(RGB(200, 220, 255));
      FillRect(dc, &client, brush);
      DeleteObject(brush);
      SetBkMode(dc, TRANSPARENT);
      DrawTextW(dc, u"Hold here", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    EndPaint(hwnd, &paint);
    return 0;
  }
  case WM_LBUTTONDOWN: {
    SHRGINFO info{};
    info.cbSize = sizeof info;
    info.hwndClient = hwnd;
    info.ptDown = POINT{static_cast<short>(lParam & 0xFFFF), static_cast<short>(lParam >> 16)};
    info.dwFlags = SHRG_RETURNCMD;
    const DWORD answer = SHRecognizeGesture(&info);
    MSG waiting;
    const bool upWaits = PeekMessageW(&waiting, hwnd, WM_LBUTTONUP, WM_LBUTTONUP, PM_NOREMOVE);
    const bool anyWaits = PeekMessageW(&waiting, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE);
    report(kGesture, answer, (upWaits ? 1 : 0) | (anyWaits ? LPARAM(waiting.message) << 16 : 0));
    return 0;
  }
  case WM_LBUTTONUP:
    report(kPadUp, 0, lParam);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

LRESULT CALLBACK frameProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (dc) {
      RECT client;
      GetClientRect(hwnd, &client);
      FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(LTGRAY_BRUSH)));
    }
    EndPaint(hwnd, &paint);
    return 0;
  }
  case WM_COMMAND:
    if (LOWORD(wParam) == kEditId && HIWORD(wParam) == EN_CHANGE)
      report(kChanged, static_cast<WPARAM>(GetWindowTextLengthW(edit)), 0);
    return 0;
  case kSync:
    report(kSynced, 0, 0);
    return 0;
  case kFocusEdit:
    SetForegroundWindow(frame);
    SetFocus(edit);
    return 0;
  case WM_CLOSE:
    DestroyWindow(hwnd);
    PostQuitMessage(7);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  const std::u16string line(commandLine ? commandLine : u"");
  const std::string ascii(line.begin(), line.end());
  testThread = static_cast<DWORD>(std::strtoul(ascii.c_str(), nullptr, 10));
  const bool multi = ascii.find("multi") != std::string::npos;

  WNDCLASSW wc{};
  wc.lpfnWndProc = &frameProcedure;
  wc.hInstance = instance;
  wc.lpszClassName = u"ControlsFrame";
  if (!RegisterClassW(&wc))
    return 2;
  wc.lpfnWndProc = &padProcedure;
  wc.lpszClassName = u"HoldPad";
  if (!RegisterClassW(&wc))
    return 2;
  frame = CreateWindowExW(0, u"ControlsFrame", u"Controls", WS_POPUP, 0, 100, 480, 400, nullptr,
                          nullptr, instance, nullptr);
  if (!frame)
    return 3;
  const DWORD style = multi ? (ES_MULTILINE | ES_AUTOVSCROLL) : (WS_BORDER | ES_AUTOHSCROLL);
  edit =
      CreateWindowExW(0, u"edit", u"", WS_CHILD | WS_VISIBLE | style, 10, 10, 460, multi ? 200 : 60,
                      frame, reinterpret_cast<HMENU>(kEditId), instance, nullptr);
  pad = CreateWindowExW(0, u"HoldPad", u"", WS_CHILD | WS_VISIBLE, 10, 250, 460, 140, frame,
                        nullptr, instance, nullptr);
  if (!edit || !pad)
    return 4;
  ShowWindow(frame, SW_SHOW);
  SetFocus(edit);
  if (ascii.find("sip") != std::string::npos)
    SipShowIM(SIPF_ON);
  report(kReady, reinterpret_cast<WPARAM>(edit), reinterpret_cast<LPARAM>(pad));
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
