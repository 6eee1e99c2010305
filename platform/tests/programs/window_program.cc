// A device program with one window, for the window tests. Command line: "TID": the thread of
// the test to report to. It registers "PeerWindow", creates and shows a window titled "peer",
// tells the test its handle (kReady, wParam = window), and then:
//   kPing (posted)       answers the test thread with kPong, wParam + 1
//   kDouble (sent)       returns wParam * 2
//   kAskBack (posted)    sends kBack (wParam) to window lParam and reports the result as kAnswer
//   kDie (sent)          kills the program while handling it
//   WM_ACTIVATE          reports kActivated with the state and the other window
//   kCursor (sent)       sets no cursor (wParam 0), the wait cursor (1) or the arrow (2); 1
// It ends on WM_CLOSE (DestroyWindow, WM_DESTROY, PostQuitMessage) with exit code 5.
#include <ce/entry.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <csignal>
#include <string>

namespace {

constexpr UINT kReady = WM_USER + 100;
constexpr UINT kPing = WM_USER + 101;
constexpr UINT kPong = WM_USER + 102;
constexpr UINT kDouble = WM_USER + 103;
constexpr UINT kAskBack = WM_USER + 104;
constexpr UINT kBack = WM_USER + 105;
constexpr UINT kAnswer = WM_USER + 106;
constexpr UINT kDie = WM_USER + 107;
constexpr UINT kActivated = WM_USER + 108;
constexpr UINT kCursor = WM_USER + 109;

DWORD testThread = 0;

LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case kPing:
    PostThreadMessageW(testThread, kPong, wParam + 1, 0);
    return 0;
  case kDouble:
    return static_cast<LRESULT>(wParam * 2);
  case kAskBack: {
    const LRESULT result = SendMessageW(reinterpret_cast<HWND>(lParam), kBack, wParam, 0);
    PostThreadMessageW(testThread, kAnswer, static_cast<WPARAM>(result), 0);
    return 0;
  }
  case kDie:
    ::raise(SIGKILL);
    return 0;
  case kCursor:
    SetCursor(wParam == 1   ? LoadCursorW(nullptr, IDC_WAIT)
              : wParam == 2 ? LoadCursorW(nullptr, IDC_ARROW)
                            : nullptr);
    return 1;
  case WM_ACTIVATE:
    PostThreadMessageW(testThread, kActivated, wParam, lParam);
    return 0;
  case WM_DESTROY:
    PostQuitMessage(5);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  testThread = static_cast<DWORD>(std::stoul(std::u16string(commandLine).empty()
                                                  ? std::string("0")
                                                  : std::string(commandLine, commandLine +
                                                                std::u16string(commandLine).size())));
  WNDCLASSW wc{};
  wc.lpfnWndProc = &procedure;
  wc.hInstance = instance;
  wc.lpszClassName = u"PeerWindow";
  if (!RegisterClassW(&wc))
    return 2;
  HWND hwnd = CreateWindowExW(0, u"PeerWindow", u"peer", 0, 10, 20, 200, 100, nullptr, nullptr,
                              instance, nullptr);
  if (!hwnd)
    return 3;
  ShowWindow(hwnd, SW_SHOW);
  if (!PostThreadMessageW(testThread, kReady, reinterpret_cast<WPARAM>(hwnd), 0))
    return 4;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
