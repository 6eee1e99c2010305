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

using ce::WindowClient;
using ce::windowRequest;
using namespace ce::windowing;

namespace {

template <class Request> bool changeRegion(HWND hwnd, const RECT *rect) {
  return static_cast<bool>(
      windowRequest(Request{hwnd, rect ? std::optional<RECT>(*rect) : std::nullopt}));
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
  return changeRegion<InvalidateRequest>(hwnd, rect) ? TRUE : FALSE;
}

BOOL ValidateRect(HWND hwnd, const RECT *rect) {
  return changeRegion<ValidateRequest>(hwnd, rect) ? TRUE : FALSE;
}

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
  if (!paint) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  *paint = PAINTSTRUCT{};
  const auto begun = windowRequest(BeginPaintRequest{hwnd});
  // The update region is empty now: the host's notice of that (PaintState) came before its
  // answer and has already taken WM_PAINT out of the queue. Nothing is validated here: an
  // invalidation that the host sent after its answer (another window moved away) may be in
  // the queue already, and its WM_PAINT must stay.
  if (!begun)
    return nullptr;
  const POINT origin = begun->drawable.clientOrigin;
  paint->rcPaint = begun->update.bounds;
  paint->hdc =
      framebufferDC(origin, clipToUpdate(begun->drawable.visible, begun->update.rects, origin));
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
  const auto update = windowRequest(UpdateRegionRequest{hwnd});
  if (!update)
    return ERROR;
  const std::vector<RECT> &rects = update->rects;
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
  auto drawable = windowRequest(VisibleRegionRequest{hwnd});
  if (!drawable)
    return nullptr;
  return framebufferDC(drawable->clientOrigin, std::move(drawable->visible));
}

int ReleaseDC(HWND, HDC dc) { return dc && DeleteDC(dc) ? 1 : 0; }
