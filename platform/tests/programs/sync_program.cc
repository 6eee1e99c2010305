// A device program for the device barrier's tests. Command line: "ROLE TID", TID being the
// test's thread, which hears kReady (wParam = the window) once the window shows. Each window
// paints itself red while its count is even and green while it is odd; its title says the count.
//   slow    "SyncSlow" at 0,100 240x200. A stylus lift takes 300 ms to handle; it then counts,
//           retitles ("taps N"), repaints, posts itself a follow-up that takes 100 ms and
//           retitles ("taps N done"), and posts the count to the target's window, if one shows.
//   target  "SyncTarget" at 240,100 240x200. The count posted by the slow window takes 200 ms to
//           handle; it then takes it as its own count, retitles ("step N") and repaints.
//   hang    "SyncHang" at 0,320 240x200. A stylus lift stops the program from handling anything
//           more: it waits on an event nobody sets.
// The handlers' waits are deliberate: they stand for work that takes a while.
#include <ce/entry.h>
#include <ce/gdi.h>
#include <ce/kernel.h>
#include <ce/windows.h>
#include <ce/windows_api.h>

#include <string>

namespace {

constexpr UINT kReady = WM_USER + 300;
constexpr UINT kFollowUp = WM_USER + 301;
constexpr UINT kStep = WM_USER + 302;

std::u16string role;
int count = 0;

void retitle(HWND hwnd, const std::string &text) {
  const std::u16string title(text.begin(), text.end());
  SetWindowTextW(hwnd, title.c_str());
}

LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_PAINT: {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client;
    GetClientRect(hwnd, &client);
    HBRUSH brush = CreateSolidBrush(count % 2 ? RGB(0, 255, 0) : RGB(255, 0, 0));
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    EndPaint(hwnd, &paint);
    return 0;
  }
  case WM_LBUTTONUP:
    if (role == u"hang") {
      HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
      WaitForSingleObject(never, INFINITE);
      return 0;
    }
    if (role != u"slow")
      return 0;
    Sleep(300);
    ++count;
    retitle(hwnd, "taps " + std::to_string(count));
    InvalidateRect(hwnd, nullptr, FALSE);
    PostMessageW(hwnd, kFollowUp, static_cast<WPARAM>(count), 0);
    if (HWND target = FindWindowW(u"SyncTarget", nullptr))
      PostMessageW(target, kStep, static_cast<WPARAM>(count), 0);
    return 0;
  case kFollowUp:
    Sleep(100);
    retitle(hwnd, "taps " + std::to_string(wParam) + " done");
    return 0;
  case kStep:
    Sleep(200);
    count = static_cast<int>(wParam);
    retitle(hwnd, "step " + std::to_string(count));
    InvalidateRect(hwnd, nullptr, FALSE);
    return 0;
  case WM_CLOSE:
    DestroyWindow(hwnd);
    PostQuitMessage(5);
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace

int WinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
  const std::u16string line(commandLine ? commandLine : u"");
  const auto space = line.find(u' ');
  if (space == std::u16string::npos)
    return 2;
  role = line.substr(0, space);
  const std::string thread(line.begin() + static_cast<long>(space) + 1, line.end());
  const DWORD testThread = static_cast<DWORD>(std::stoul(thread));
  WNDCLASSW wc{};
  wc.lpfnWndProc = &procedure;
  wc.hInstance = instance;
  const char16_t *className = role == u"slow"     ? u"SyncSlow"
                              : role == u"target" ? u"SyncTarget"
                                                  : u"SyncHang";
  wc.lpszClassName = className;
  if (!RegisterClassW(&wc))
    return 3;
  const int x = role == u"target" ? 240 : 0, y = role == u"hang" ? 320 : 100;
  HWND hwnd = CreateWindowExW(0, className, u"taps 0", 0, x, y, 240, 200, nullptr, nullptr,
                              instance, nullptr);
  if (!hwnd)
    return 4;
  ShowWindow(hwnd, SW_SHOW);
  if (!PostThreadMessageW(testThread, kReady, reinterpret_cast<WPARAM>(hwnd), 0))
    return 5;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}
