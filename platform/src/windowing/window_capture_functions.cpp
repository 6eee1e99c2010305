// Stylus capture: the window that gets every stylus message of the device while it holds it.
#include "window_call.h"

#include <ce/windows_api.h>

using ce::WindowCall;
using ce::windowing::WindowRequest;

namespace {

HWND toHwnd(std::uint64_t value) {
  return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(value));
}

} // namespace

HWND SetCapture(HWND hwnd) {
  WindowCall call(WindowRequest::SetCapture);
  call.args().u64(reinterpret_cast<std::uintptr_t>(hwnd));
  if (!call.send())
    return nullptr;
  std::uint64_t previous = 0;
  call.answer().u64(previous);
  call.finish();
  return toHwnd(previous);
}

BOOL ReleaseCapture() {
  WindowCall call(WindowRequest::ReleaseCapture);
  return call.send() ? TRUE : FALSE;
}

HWND GetCapture() {
  WindowCall call(WindowRequest::GetCapture);
  if (!call.send())
    return nullptr;
  std::uint64_t hwnd = 0;
  call.answer().u64(hwnd);
  call.finish();
  return toHwnd(hwnd);
}
