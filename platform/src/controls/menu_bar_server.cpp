#include "menu_bar_server.h"

#include "../windowing/window_binding.h"

#include <ce/errors.h>
#include <ce/kernel.h>

#include <vector>

namespace ce {

namespace {

using ServerBinding = WindowBinding<&MenuBarServer::windowMessage>;

LRESULT failure(DWORD error) { return -static_cast<LRESULT>(error); }

} // namespace

MenuBarServer::~MenuBarServer() {
  std::vector<HWND> frames;
  for (const auto &[key, bar] : bars_)
    if (bar->frame())
      frames.push_back(bar->frame());
  for (HWND frame : frames)
    DestroyWindow(frame);
  bars_.clear();
  if (server_)
    DestroyWindow(server_);
}

std::string MenuBarServer::open() {
  if (!ServerBinding::registerClass(kServerClass) || !MenuBar::registerClasses())
    return "cannot register its window classes (error " + std::to_string(GetLastError()) + ")";
  server_ = ServerBinding::create(*this, WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, kServerClass, u"",
                                  WS_POPUP, RECT{}, nullptr);
  if (!server_)
    return "cannot make its window (error " + std::to_string(GetLastError()) + ")";
  return {};
}

LRESULT MenuBarServer::makeBar(const COPYDATASTRUCT *data) {
  // The request comes from any process: everything in it is checked before use.
  if (!data || data->dwData != MenuBarRequest::kCopyDataTag || !data->lpData ||
      data->cbData > MenuBarRequest::kMaxBytes)
    return failure(ERROR_INVALID_PARAMETER);
  const auto request = MenuBarRequest::decode(
      std::span(static_cast<const std::uint8_t *>(data->lpData), data->cbData));
  if (!request)
    return failure(ERROR_INVALID_PARAMETER);
  if (!IsWindow(request->owner))
    return failure(ERROR_INVALID_WINDOW_HANDLE);
  if (bars_.size() >= kMaxBars)
    return failure(ERROR_NOT_ENOUGH_MEMORY);
  // The server keeps a bar until both its windows have gone.
  auto bar =
      std::make_shared<MenuBar>(*request, [this](const MenuBar &gone) { bars_.erase(&gone); });
  if (!bar->create()) {
    const DWORD error = GetLastError();
    return failure(error ? error : ERROR_INVALID_PARAMETER);
  }
  bars_[bar.get()] = bar;
  return static_cast<LRESULT>(reinterpret_cast<std::uintptr_t>(bar->frame()));
}

LRESULT MenuBarServer::windowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
  case WM_COPYDATA:
    return makeBar(reinterpret_cast<const COPYDATASTRUCT *>(lParam));
  case WM_CLOSE:
    return 0; // the server ends with the host, not on request
  case WM_DESTROY:
    if (hwnd == server_ && !IsWindow(hwnd))
      server_ = nullptr;
    return 0;
  default:
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
}

} // namespace ce
