// A device program driven by its command line, "MODE [ARGUMENTS]", for the host tests:
//   echo TID   reports its thread id to thread TID (WM_USER+1), answers WM_USER+2 with
//              WM_USER+3 (wParam + lParam), ends on WM_QUIT with exit code 7
//   late TID   reports (WM_USER+1) its thread id and, as lParam, that of a second thread that
//              has no queue yet; on WM_USER+8 the second thread makes its queue, reports
//              WM_USER+9 to TID and reports the first message it then gets as WM_USER+10
//              (wParam = its wParam); ends on WM_QUIT with exit code 7
//   wait       waits for WM_QUIT
//   args FILE  writes its command line and its own device path to FILE and ends
//   map NAME   creates the named mapping NAME (4096 bytes), writes "peer" into it, then waits
#include <ce/entry.h>
#include <ce/windows.h>

#include <ce/core/utf.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <thread>

namespace {

constexpr UINT kHello = WM_USER + 1;
constexpr UINT kAdd = WM_USER + 2;
constexpr UINT kSum = WM_USER + 3;
constexpr UINT kWakeLate = WM_USER + 8;
constexpr UINT kLateReady = WM_USER + 9;
constexpr UINT kLateGot = WM_USER + 10;

int echo(DWORD parent) {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  if (!PostThreadMessageW(parent, kHello, GetCurrentThreadId(), 0))
    return 3;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == kAdd)
      PostThreadMessageW(parent, kSum, msg.wParam + static_cast<WPARAM>(msg.lParam), 0);
  }
  return 7;
}

int late(DWORD parent) {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  std::promise<void> woken;
  std::atomic<DWORD> lateThread{0};
  std::atomic<bool> lateEnded{false};
  std::thread second([&] {
    lateThread = GetCurrentThreadId();
    woken.get_future().wait();
    MSG in;
    PeekMessageW(&in, nullptr, 0, 0, PM_NOREMOVE);
    PostThreadMessageW(parent, kLateReady, GetCurrentThreadId(), 0);
    if (GetMessageW(&in, nullptr, 0, 0) > 0)
      PostThreadMessageW(parent, kLateGot, in.wParam, 0);
    lateEnded = true;
  });
  while (lateThread == 0)
    std::this_thread::yield();
  if (!PostThreadMessageW(parent, kHello, GetCurrentThreadId(),
                          static_cast<LPARAM>(lateThread.load())))
    return 3;
  bool wakeSent = false;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0)
    if (msg.message == kWakeLate && !wakeSent) {
      wakeSent = true;
      woken.set_value();
    }
  if (!wakeSent)
    woken.set_value();
  // The second thread may not have made its queue yet: post until it takes the message or ends.
  while (!lateEnded && !PostThreadMessageW(lateThread, WM_QUIT, 0, 0))
    std::this_thread::yield();
  second.join();
  return 7;
}

} // namespace

int WinMain(HINSTANCE, HINSTANCE, LPWSTR commandLine, int) {
  std::istringstream words(ce::toUtf8(commandLine));
  std::string mode;
  words >> mode;
  if (mode == "echo") {
    unsigned long parent = 0;
    words >> parent;
    return echo(static_cast<DWORD>(parent));
  }
  if (mode == "late") {
    unsigned long parent = 0;
    words >> parent;
    return late(static_cast<DWORD>(parent));
  }
  if (mode == "wait") {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    }
    return 0;
  }
  if (mode == "map") {
    std::string name;
    words >> name;
    const std::u16string wide = ce::toUtf16(name);
    HANDLE mapping =
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, wide.c_str());
    if (!mapping)
      return 4;
    auto *view = static_cast<char *>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    if (!view)
      return 5;
    std::memcpy(view, "peer", 5);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    }
    return 0;
  }
  if (mode == "args") {
    std::string file;
    words >> file;
    std::ofstream out(file);
    WCHAR path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    out << ce::toUtf8(commandLine) << "\n" << ce::toUtf8(path) << "\n";
    return 0;
  }
  return 2;
}
