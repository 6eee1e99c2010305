#include "menu_bar_server_thread.h"

#include "menu_bar_server.h"

#include <ce/errors.h>
#include <ce/kernel.h>

namespace ce {

namespace {

thread_local MenuBarServerThread *running = nullptr;

bool registerClass(const WCHAR *name, WNDPROC procedure) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = procedure;
  wc.lpszClassName = name;
  return RegisterClassW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

MenuBarServerThread *MenuBarServerThread::current() { return running; }

bool MenuBarServerThread::open() {
  MSG msg;
  PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE); // the thread's queue
  running = this;
  if (!registerClass(MenuBarServer::kServerClass, &serverProcedure) ||
      !registerClass(MenuBar::kFrameClass, &frameProcedure) ||
      !registerClass(MenuBar::kToolbarClass, &toolbarProcedure))
    return false;
  server_ = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, MenuBarServer::kServerClass, u"",
                            WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
  return server_ != nullptr;
}

void MenuBarServerThread::run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (stopping_.load())
      break; // the host is ending: nothing more may run (a service may have been unloaded)
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void MenuBarServerThread::close() {
  if (stopping_.load()) {
    bars_.clear();
    server_ = nullptr;
    running = nullptr;
    return;
  }
  std::vector<HWND> frames;
  for (const auto &[hwnd, bar] : bars_)
    if (bar->frame() == hwnd)
      frames.push_back(hwnd);
  for (HWND frame : frames)
    DestroyWindow(frame);
  bars_.clear();
  if (server_)
    DestroyWindow(server_);
  server_ = nullptr;
  running = nullptr;
}

std::shared_ptr<MenuBar> MenuBarServerThread::barOf(HWND hwnd) const {
  const auto it = bars_.find(hwnd);
  return it == bars_.end() ? nullptr : it->second;
}

void MenuBarServerThread::forget(HWND hwnd) { bars_.erase(hwnd); }

LRESULT MenuBarServerThread::makeBar(HWND, const COPYDATASTRUCT *data) {
  // The request comes from any process: everything in it is checked before use.
  if (!data || data->dwData != MenuBarRequest::kCopyDataTag || !data->lpData ||
      data->cbData > MenuBarRequest::kMaxBytes)
    return -static_cast<LRESULT>(ERROR_INVALID_PARAMETER);
  const auto request = MenuBarRequest::decode(
      std::span(static_cast<const std::uint8_t *>(data->lpData), data->cbData));
  if (!request)
    return -static_cast<LRESULT>(ERROR_INVALID_PARAMETER);
  if (!IsWindow(request->owner))
    return -static_cast<LRESULT>(ERROR_INVALID_WINDOW_HANDLE);
  if (bars_.size() / 2 >= kMaxBars)
    return -static_cast<LRESULT>(ERROR_NOT_ENOUGH_MEMORY);
  auto bar = std::make_shared<MenuBar>(*request);
  // The windows' procedures look for the bar while it is being made.
  if (!bar->create()) {
    const DWORD error = GetLastError();
    return -static_cast<LRESULT>(error ? error : ERROR_INVALID_PARAMETER);
  }
  bars_[bar->frame()] = bar;
  bars_[bar->toolbar()] = bar;
  return static_cast<LRESULT>(reinterpret_cast<std::uintptr_t>(bar->frame()));
}

LRESULT MenuBarServerThread::serverProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
  MenuBarServerThread *self = current();
  if (message == WM_COPYDATA && self)
    return self->makeBar(reinterpret_cast<HWND>(wParam),
                         reinterpret_cast<const COPYDATASTRUCT *>(lParam));
  if (message == WM_CLOSE)
    return 0; // the server ends with the host, not on request
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

LRESULT MenuBarServerThread::frameProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
  MenuBarServerThread *self = current();
  const auto bar = self ? self->barOf(hwnd) : nullptr; // kept alive for the call
  if (!bar)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  const LRESULT result = bar->frameMessage(message, wParam, lParam);
  if (message == WM_DESTROY)
    self->forget(hwnd);
  return result;
}

LRESULT MenuBarServerThread::toolbarProcedure(HWND hwnd, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
  MenuBarServerThread *self = current();
  const auto bar = self ? self->barOf(hwnd) : nullptr;
  if (!bar)
    return DefWindowProcW(hwnd, message, wParam, lParam);
  const LRESULT result = bar->toolbarMessage(message, wParam, lParam);
  if (message == WM_DESTROY)
    self->forget(hwnd);
  return result;
}

} // namespace ce
