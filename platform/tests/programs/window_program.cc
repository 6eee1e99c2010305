// A device program with one window, for the window tests. Command line: "TID": the thread of
// the test to report to. It registers "PeerWindow", creates and shows a window titled "peer",
// tells the test its handle (kReady, wParam = window), and then:
//   kPing (posted)       answers the test thread with kPong, wParam + 1
//   kDouble (sent)       returns wParam * 2
//   kAskBack (posted)    sends kBack (wParam) to window lParam and reports the result as kAnswer
//   kDie (sent)          kills the program while handling it
//   WM_ACTIVATE          reports kActivated with the state and the other window
//   kCursor (sent)       sets no cursor (wParam 0), the wait cursor (1) or the arrow (2); 1
//   WM_SETTEXT, WM_GETTEXT (sent) as DefWindowProcW does: the window's title
//   WM_COPYDATA (sent)   dwData 1: returns the FNV-1a hash of the bytes and sends them back
//                        reversed (dwData 2) to the "TestWindow" window; dwData 3: returns
//                        the hash only; dwData 99: dies
//   TB_SETBUTTONINFO     takes the label (TBIF_TEXT) as its title; returns idCommand when the
//   (sent)               record arrived whole (cbSize, mask, wParam = idCommand), else -1
//   WM_WINDOWPOSCHANGED  reports kMoved (wParam = cx, lParam = cy) when lParam holds a record
//   kEchoText (posted)   sends WM_GETTEXT (buffer of wParam characters) to window lParam, then
//                        WM_SETTEXT "got:" + that text to it, and reports kAnswer with the
//                        WM_GETTEXT result (-1 when the buffer was overrun)
//   kMakeOwned (sent)    makes a shown window "owned" owned by its window, at 50, 60, 100 x 80,
//                        and a shown child window of its window, at 5, 5, 20 x 20; returns the
//                        owned window
//   WM_PAINT             paints (BeginPaint, EndPaint) and reports kPainted (wParam = window)
//   kSequence (posted)   counts posts numbered 0, 1, 2, ... (wParam), noting any out of order
//   kTakeSequence (sent) first takes the kSequence posts waiting in its queue, then returns how
//                        many came in order so far, or -1 when one came out of order
//   kStopSelf (posted)   stops the whole program (SIGSTOP) until it is continued
//   kChangeSelf (posted) changes its window, then reports kChanged (wParam as given): wParam 1
//                        moves it to 30, 40, 150 x 90, 2 hides it, 3 shows it, 4 titles it
//                        "changed", 5 destroys it (the program then goes on without it)
// It ends on WM_CLOSE (DestroyWindow, WM_DESTROY, PostQuitMessage) with exit code 5.
#include <ce/entry.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <string>
#include <vector>

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
constexpr UINT kEchoText = WM_USER + 110;
constexpr UINT kMoved = WM_USER + 111;
constexpr UINT kMakeOwned = WM_USER + 112;
constexpr UINT kPainted = WM_USER + 113;
constexpr UINT kSequence = WM_USER + 114;
constexpr UINT kTakeSequence = WM_USER + 115;
constexpr UINT kStopSelf = WM_USER + 116;
constexpr UINT kChangeSelf = WM_USER + 117;
constexpr UINT kChanged = WM_USER + 118;

DWORD testThread = 0;
HWND mainWindow = nullptr;
WPARAM nextInSequence = 0;
bool outOfSequence = false;

void countInSequence(WPARAM number) {
  if (number == nextInSequence)
    ++nextInSequence;
  else
    outOfSequence = true;
}

LRESULT fnv1a(const BYTE *bytes, DWORD size) {
  std::uint32_t hash = 2166136261u;
  for (DWORD i = 0; i < size; ++i)
    hash = (hash ^ bytes[i]) * 16777619u;
  return static_cast<LRESULT>(hash);
}

LRESULT copyData(const COPYDATASTRUCT &cds) {
  if (cds.dwData == 99)
    ::raise(SIGKILL);
  const auto *bytes = static_cast<const BYTE *>(cds.lpData);
  if (cds.dwData == 3)
    return fnv1a(bytes, cds.cbData);
  if (cds.dwData != 1)
    return -1;
  std::vector<BYTE> reversed(bytes, bytes + cds.cbData);
  std::reverse(reversed.begin(), reversed.end());
  COPYDATASTRUCT back{2, cds.cbData, reversed.empty() ? nullptr : reversed.data()};
  SendMessageW(FindWindowW(u"TestWindow", nullptr), WM_COPYDATA, 0,
               reinterpret_cast<LPARAM>(&back));
  return fnv1a(bytes, cds.cbData);
}

LRESULT buttonInfo(HWND hwnd, WPARAM id, const TBBUTTONINFOW &info) {
  if (info.cbSize != sizeof(TBBUTTONINFOW) || info.dwMask != (TBIF_COMMAND | TBIF_TEXT) ||
      static_cast<WPARAM>(info.idCommand) != id || !info.pszText)
    return -1;
  SetWindowTextW(hwnd, info.pszText);
  return info.idCommand;
}

void echoText(WPARAM size, HWND target) {
  std::vector<char16_t> buffer(size + 4, u'#');
  const LRESULT got =
      SendMessageW(target, WM_GETTEXT, size, reinterpret_cast<LPARAM>(buffer.data()));
  const bool overrun = buffer[size] != u'#';
  const std::u16string text = u"got:" + std::u16string(buffer.data());
  SendMessageW(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
  PostThreadMessageW(testThread, kAnswer, overrun ? static_cast<WPARAM>(-1) : got, 0);
}

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
  case kSequence:
    countInSequence(wParam);
    return 0;
  case kTakeSequence: {
    MSG waiting;
    while (PeekMessageW(&waiting, hwnd, kSequence, kSequence, PM_REMOVE))
      countInSequence(waiting.wParam);
    return outOfSequence ? -1 : static_cast<LRESULT>(nextInSequence);
  }
  case kStopSelf:
    ::raise(SIGSTOP);
    return 0;
  case kChangeSelf:
    switch (wParam) {
    case 1:
      SetWindowPos(hwnd, nullptr, 30, 40, 150, 90, SWP_NOZORDER | SWP_NOACTIVATE);
      break;
    case 2:
      ShowWindow(hwnd, SW_HIDE);
      break;
    case 3:
      ShowWindow(hwnd, SW_SHOW);
      break;
    case 4:
      SetWindowTextW(hwnd, u"changed");
      break;
    case 5:
      mainWindow = nullptr; // its end is not the program's
      DestroyWindow(hwnd);
      break;
    }
    PostThreadMessageW(testThread, kChanged, wParam, 0);
    return 0;
  case kCursor:
    SetCursor(wParam == 1   ? LoadCursorW(nullptr, IDC_WAIT)
              : wParam == 2 ? LoadCursorW(nullptr, IDC_ARROW)
                            : nullptr);
    return 1;
  case WM_COPYDATA:
    return copyData(*reinterpret_cast<const COPYDATASTRUCT *>(lParam));
  case TB_SETBUTTONINFO:
    return buttonInfo(hwnd, wParam, *reinterpret_cast<const TBBUTTONINFOW *>(lParam));
  case WM_WINDOWPOSCHANGED:
    if (const auto *pos = reinterpret_cast<const WINDOWPOS *>(lParam))
      PostThreadMessageW(testThread, kMoved, static_cast<WPARAM>(pos->cx), pos->cy);
    return 0;
  case kEchoText:
    echoText(wParam, reinterpret_cast<HWND>(lParam));
    return 0;
  case WM_ACTIVATE:
    PostThreadMessageW(testThread, kActivated, wParam, lParam);
    return 0;
  case kMakeOwned: {
    const HWND owned = CreateWindowExW(0, u"PeerWindow", u"owned", WS_VISIBLE, 50, 60, 100, 80,
                                       hwnd, nullptr, nullptr, nullptr);
    CreateWindowExW(0, u"PeerWindow", u"inner", WS_CHILD | WS_VISIBLE, 5, 5, 20, 20, hwnd, nullptr,
                    nullptr, nullptr);
    return reinterpret_cast<LRESULT>(owned);
  }
  case WM_PAINT: {
    PAINTSTRUCT paint{};
    BeginPaint(hwnd, &paint);
    EndPaint(hwnd, &paint);
    PostThreadMessageW(testThread, kPainted, reinterpret_cast<WPARAM>(hwnd), 0);
    return 0;
  }
  case WM_DESTROY:
    if (hwnd == mainWindow)
      PostQuitMessage(5);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  testThread = static_cast<DWORD>(
      std::stoul(std::u16string(commandLine).empty()
                     ? std::string("0")
                     : std::string(commandLine, commandLine + std::u16string(commandLine).size())));
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
  mainWindow = hwnd;
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
