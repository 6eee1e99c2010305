// Painting: update regions kept by the host, and DCs that draw straight into the framebuffer of
// this process's display, clipped to what of the window is visible.
#include "../kernel/thread_message_queue.h"
#include "../screen/display.h"
#include "window_call.h"
#include "window_client.h"

#include <ce/core/framebuffer_dc.h>
#include <ce/errors.h>
#include <ce/gdi.h>
#include <ce/kernel.h>
#include <ce/windows_api.h>

#include <algorithm>

using ce::WindowCall;
using ce::WindowClient;
using ce::windowing::WindowRequest;

namespace {

std::uint64_t handleValue(HWND hwnd) { return reinterpret_cast<std::uintptr_t>(hwnd); }

bool readRect(ce::protocol::MessageReader &reader, RECT &rect) {
  return reader.i32(rect.left) && reader.i32(rect.top) && reader.i32(rect.right) &&
         reader.i32(rect.bottom);
}

// At most this many rectangles are taken from one answer.
constexpr std::uint32_t kMaxRects = 1u << 16;

bool readRects(ce::protocol::MessageReader &reader, std::vector<RECT> &rects) {
  std::uint32_t count = 0;
  if (!reader.u32(count) || count > kMaxRects)
    return false;
  rects.resize(count);
  for (RECT &r : rects)
    if (!readRect(reader, r))
      return false;
  return true;
}

bool changeRegion(WindowRequest request, HWND hwnd, const RECT *rect) {
  WindowCall call(request);
  call.args().u64(handleValue(hwnd)).u32(rect ? 1 : 0);
  const RECT whole = rect ? *rect : RECT{};
  call.args().i32(whole.left).i32(whole.top).i32(whole.right).i32(whole.bottom);
  return call.send();
}

// A DC over the display's framebuffer with logical (0, 0) at `origin`, drawing only within
// `visible` (screen coordinates). Null when this process has no display.
HDC framebufferDC(POINT origin, std::vector<RECT> visible) {
  const auto display = ce::Display::current();
  if (!display) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  return ce::createFramebufferDC(display->framebuffer(), origin, std::move(visible));
}

// The parts of `visible` (screen coordinates) within the update rectangles (client
// coordinates of a window whose client origin is `origin`).
std::vector<RECT> clipToUpdate(const std::vector<RECT> &visible, const std::vector<RECT> &update,
                               POINT origin) {
  std::vector<RECT> out;
  for (const RECT &u : update) {
    const RECT screen{u.left + origin.x, u.top + origin.y, u.right + origin.x, u.bottom + origin.y};
    for (const RECT &v : visible) {
      const RECT both{std::max(v.left, screen.left), std::max(v.top, screen.top),
                      std::min(v.right, screen.right), std::min(v.bottom, screen.bottom)};
      if (both.left < both.right && both.top < both.bottom)
        out.push_back(both);
    }
  }
  return out;
}

} // namespace

BOOL InvalidateRect(HWND hwnd, const RECT *rect, BOOL) {
  return changeRegion(WindowRequest::Invalidate, hwnd, rect) ? TRUE : FALSE;
}

BOOL ValidateRect(HWND hwnd, const RECT *rect) {
  if (!changeRegion(WindowRequest::Validate, hwnd, rect))
    return FALSE;
  return TRUE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
  if (!paint) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  *paint = PAINTSTRUCT{};
  WindowCall call(WindowRequest::BeginPaint);
  call.args().u64(handleValue(hwnd));
  if (!call.send())
    return nullptr;
  RECT bounds{};
  std::vector<RECT> update, visible;
  POINT origin{};
  auto &a = call.answer();
  const bool ok = readRect(a, bounds) && readRects(a, update) && a.i32(origin.x) &&
                  a.i32(origin.y) && readRects(a, visible);
  call.finish();
  // The update region is empty now: the host's notice of that (PaintState) came before its
  // answer and has already taken WM_PAINT out of the queue. Nothing is validated here: an
  // invalidation that the host sent after its answer (another window moved away) may be in
  // the queue already, and its WM_PAINT must stay.
  if (!ok) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  paint->rcPaint = bounds;
  paint->hdc = framebufferDC(origin, clipToUpdate(visible, update, origin));
  if (paint->hdc)
    paint->fErase = WindowClient::instance().dispatch(hwnd, WM_ERASEBKGND,
                                                      reinterpret_cast<WPARAM>(paint->hdc), 0)
                        ? FALSE
                        : TRUE;
  return paint->hdc;
}

BOOL EndPaint(HWND, const PAINTSTRUCT *paint) {
  if (paint && paint->hdc)
    DeleteDC(paint->hdc);
  return TRUE;
}

int GetUpdateRgn(HWND hwnd, HRGN region, BOOL) {
  if (!region) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  WindowCall call(WindowRequest::UpdateRegion);
  call.args().u64(handleValue(hwnd));
  if (!call.send())
    return ERROR;
  RECT bounds{};
  std::vector<RECT> rects;
  auto &a = call.answer();
  const bool ok = readRect(a, bounds) && readRects(a, rects);
  call.finish();
  if (!ok) {
    SetLastError(ERROR_INVALID_DATA);
    return ERROR;
  }
  if (!SetRectRgn(region, 0, 0, 0, 0))
    return ERROR;
  int kind = NULLREGION;
  for (const RECT &r : rects) {
    HRGN part = CreateRectRgnIndirect(&r);
    kind = CombineRgn(region, region, part, RGN_OR);
    DeleteObject(part);
  }
  // Several rectangles that together fill one are a simple region.
  return kind;
}

HDC GetDC(HWND hwnd) {
  if (!hwnd) {
    const auto display = ce::Display::current();
    if (!display) {
      SetLastError(ERROR_NOT_SUPPORTED);
      return nullptr;
    }
    const ce::PixelMemory memory = display->framebuffer();
    return ce::createFramebufferDC(memory, POINT{0, 0}, {RECT{0, 0, memory.width, memory.height}});
  }
  WindowCall call(WindowRequest::VisibleRegion);
  call.args().u64(handleValue(hwnd));
  if (!call.send())
    return nullptr;
  POINT origin{};
  std::vector<RECT> visible;
  auto &a = call.answer();
  const bool ok = a.i32(origin.x) && a.i32(origin.y) && readRects(a, visible);
  call.finish();
  if (!ok) {
    SetLastError(ERROR_INVALID_DATA);
    return nullptr;
  }
  return framebufferDC(origin, std::move(visible));
}

int ReleaseDC(HWND, HDC dc) { return dc && DeleteDC(dc) ? 1 : 0; }
