// A device program for the menu tests: one full-screen window titled "Menus" that shows popup
// menus, message boxes and a soft-key bar on request and reports what comes of them.
// Command line: "TID [WORD...]": the thread of the test to report to (0 for none), then what to
// show at once, to look at them: "bar", "box" (a question), "warning", "error", "information",
// "popup". Once its window shows it reports kReady (wParam = the window). Then, posted to the
// window:
//   kTrackPopup  wParam = TrackPopupMenuEx flags, lParam = x | y << 16: tracks the test menu
//                (101 "Open", 102 "Grayed" grayed, a separator, "More" opening 201 "Deep one" and
//                202 "Deep two", 103 "Close\tEnter") and reports kResult (wParam = the result,
//                lParam = the last error)
//   kMessageBox  wParam = MessageBoxW type: a thread of its own, with no window, shows a box with
//                the caption "Question" and reports kResult with the answer
//   kMenuBar     makes the soft-key bar (left key 1001 "Lock"; right key "Menu" opening 1014
//                "Restore", 1005 "Remove gaps" grayed, a separator, 1013 "Sort") and reports
//                kResult with the bar's window (lParam = the last error); with wParam 1 for a
//                second window "Second" of its own, made first
//   kDestroy     destroys the second window (wParam 1) or the bar (wParam 2) and reports kResult
//                with DestroyWindow's answer
//   kShow        shows (wParam 1) or hides (0) the main window
//   kSetKey      sends the bar TB_SETBUTTONINFO for the key wParam: command lParam, text "Back"
//                and reports kResult with its answer
//   WM_COMMAND   is reported as kCommand (wParam = the id)
// It ends on WM_CLOSE (reporting kResult first when a menu was open) with exit code 5.
#include <ce/entry.h>
#include <ce/gdi.h>
#include <ce/menubar.h>
#include <ce/menus.h>
#include <ce/windows.h>

#include <cstdlib>
#include <string>
#include <thread>

namespace {

constexpr UINT kReady = WM_USER + 200;
constexpr UINT kResult = WM_USER + 201;
constexpr UINT kCommand = WM_USER + 202;
constexpr UINT kTrackPopup = WM_USER + 203;
constexpr UINT kMessageBox = WM_USER + 204;
constexpr UINT kMenuBar = WM_USER + 205;
constexpr UINT kSetKey = WM_USER + 206;
constexpr UINT kDestroy = WM_USER + 207;
constexpr UINT kShow = WM_USER + 208;

DWORD testThread = 0;
HWND bar = nullptr;
HWND second = nullptr;

HMENU testMenu() {
  const HMENU menu = CreatePopupMenu();
  const HMENU more = CreatePopupMenu();
  AppendMenuW(more, MF_STRING, 201, u"Deep one");
  AppendMenuW(more, MF_STRING, 202, u"Deep two");
  AppendMenuW(menu, MF_STRING, 101, u"Open");
  AppendMenuW(menu, MF_STRING | MF_GRAYED, 102, u"Grayed");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(more), u"More");
  AppendMenuW(menu, MF_STRING, 103, u"Close\tEnter");
  return menu;
}

HMENU barMenu() {
  const HMENU menu = CreateMenu();
  const HMENU popup = CreatePopupMenu();
  AppendMenuW(popup, MF_STRING, 1014, u"Restore");
  AppendMenuW(popup, MF_STRING | MF_GRAYED, 1005, u"Remove gaps");
  AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(popup, MF_STRING, 1013, u"Sort");
  AppendMenuW(menu, MF_STRING, 1001, u"Lock");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), u"Menu");
  return menu;
}

void report(UINT message, WPARAM wParam, LPARAM lParam) {
  PostThreadMessageW(testThread, message, wParam, lParam);
}

LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    if (dc) {
      RECT client;
      GetClientRect(hwnd, &client);
      HBRUSH brush = CreateSolidBrush(RGB(0xE8, 0xEC, 0xF0));
      FillRect(dc, &client, brush);
      DeleteObject(brush);
      SetBkMode(dc, TRANSPARENT);
      DrawTextW(dc, u"Menus", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    EndPaint(hwnd, &paint);
    return 0;
  }
  case kTrackPopup: {
    const HMENU menu = testMenu();
    const int x = static_cast<short>(lParam & 0xFFFF);
    const int y = static_cast<short>((lParam >> 16) & 0xFFFF);
    SetLastError(0);
    const BOOL result = TrackPopupMenuEx(menu, static_cast<UINT>(wParam), x, y, hwnd, nullptr);
    const DWORD error = GetLastError();
    DestroyMenu(menu);
    report(kResult, static_cast<WPARAM>(result), static_cast<LPARAM>(error));
    return 0;
  }
  case kMessageBox: {
    const UINT type = static_cast<UINT>(wParam);
    std::thread([type] {
      const int answer = MessageBoxW(
          nullptr, u"The first line.\nThe second line is a long one that has to wrap in the box.",
          u"Question", type);
      report(kResult, static_cast<WPARAM>(answer), static_cast<LPARAM>(GetLastError()));
    }).detach();
    return 0;
  }
  case kMenuBar: {
    const HMENU menu = barMenu();
    HWND owner = hwnd;
    if (wParam == 1) {
      second = CreateWindowExW(0, u"MenuTestWindow", u"Second", 0, 0, 0, 240, 200, nullptr,
                               nullptr, nullptr, nullptr);
      ShowWindow(second, SW_SHOWNOACTIVATE);
      owner = second;
    }
    SHMENUBARINFO info{};
    info.cbSize = SHMENUBARINFO_DEVICE_SIZE;
    info.hwndParent = owner;
    info.dwFlags = SHCMBF_HMENU;
    info.nToolBarId = static_cast<UINT>(reinterpret_cast<UINT_PTR>(menu));
    SetLastError(0);
    const BOOL made = SHCreateMenuBar(&info);
    DestroyMenu(menu); // the bar keeps its own copy
    bar = made ? info.hwndMB : nullptr;
    report(kResult, reinterpret_cast<WPARAM>(bar), static_cast<LPARAM>(GetLastError()));
    return 0;
  }
  case kSetKey: {
    WCHAR text[] = u"Back";
    TBBUTTONINFO button{};
    button.cbSize = TBBUTTONINFO_DEVICE_SIZE;
    button.dwMask = TBIF_COMMAND | TBIF_TEXT;
    button.idCommand = static_cast<int>(lParam);
    button.pszText = text;
    const LRESULT answer = SendMessageW(bar, TB_SETBUTTONINFO, wParam,
                                        reinterpret_cast<LPARAM>(&button));
    report(kResult, static_cast<WPARAM>(answer), static_cast<LPARAM>(GetLastError()));
    return 0;
  }
  case kDestroy: {
    const BOOL destroyed = DestroyWindow(wParam == 1 ? second : bar);
    report(kResult, static_cast<WPARAM>(destroyed), static_cast<LPARAM>(GetLastError()));
    return 0;
  }
  case kShow:
    ShowWindow(hwnd, wParam ? SW_SHOW : SW_HIDE);
    return 0;
  case WM_COMMAND:
    report(kCommand, wParam, lParam);
    return 0;
  case WM_DESTROY:
    if (hwnd != second)
      PostQuitMessage(5);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  const std::u16string text(commandLine ? commandLine : u"");
  const std::string line(text.begin(), text.end());
  testThread = static_cast<DWORD>(std::strtoul(line.c_str(), nullptr, 10));
  WNDCLASSW wc{};
  wc.lpfnWndProc = &procedure;
  wc.hInstance = instance;
  wc.lpszClassName = u"MenuTestWindow";
  if (!RegisterClassW(&wc))
    return 2;
  const HWND hwnd = CreateWindowExW(0, u"MenuTestWindow", u"Menus", 0, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                    instance, nullptr);
  if (!hwnd)
    return 3;
  ShowWindow(hwnd, SW_SHOW);
  SetFocus(hwnd);
  if (testThread && !PostThreadMessageW(testThread, kReady, reinterpret_cast<WPARAM>(hwnd), 0))
    return 4;
  if (line.find("bar") != std::string::npos)
    PostMessageW(hwnd, kMenuBar, 0, 0);
  if (line.find("box") != std::string::npos)
    PostMessageW(hwnd, kMessageBox, MB_YESNOCANCEL | MB_ICONQUESTION, 0);
  if (line.find("warning") != std::string::npos)
    PostMessageW(hwnd, kMessageBox, MB_ABORTRETRYIGNORE | MB_ICONWARNING, 0);
  if (line.find("error") != std::string::npos)
    PostMessageW(hwnd, kMessageBox, MB_OK | MB_ICONERROR, 0);
  if (line.find("information") != std::string::npos)
    PostMessageW(hwnd, kMessageBox, MB_OKCANCEL | MB_ICONINFORMATION, 0);
  if (line.find("popup") != std::string::npos)
    PostMessageW(hwnd, kTrackPopup, TPM_RETURNCMD, 100 | 150 << 16);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
