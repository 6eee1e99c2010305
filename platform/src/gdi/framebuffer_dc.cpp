// DCs over framebuffer memory owned by someone else (the device host's shared screen).
#include <ce/core/framebuffer_dc.h>

#include "gdi/gdi_lookup.h"

#include <ce/errors.h>

namespace ce {

namespace {

bool usable(const PixelMemory& m) {
  if (!m.bits || m.width <= 0 || m.height <= 0 || m.width > Bitmap::kMaxSide ||
      m.height > Bitmap::kMaxSide)
    return false;
  const int bytesPerPixel = bitsPerPixel(pixelFormatOf(m.format)) / 8;
  const std::ptrdiff_t rowBytes = static_cast<std::ptrdiff_t>(m.width) * bytesPerPixel;
  const std::ptrdiff_t stride = m.stride < 0 ? -m.stride : m.stride;
  if (stride < rowBytes) return false;
  // Whole pixels at aligned addresses, so rows can be read as 16- or 32-bit words.
  const int alignment = bytesPerPixel == 3 ? 1 : bytesPerPixel;
  return reinterpret_cast<std::uintptr_t>(m.bits) % alignment == 0 && stride % alignment == 0;
}

std::shared_ptr<DeviceContext> framebufferDC(HDC handle) {
  auto dc = lookupDC(handle);
  if (dc && dc->target != DeviceContext::Target::Framebuffer) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return dc;
}

} // namespace

HDC createFramebufferDC(const PixelMemory& memory, POINT origin, std::vector<RECT> visible) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  if (!usable(memory)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto dc = std::make_shared<DeviceContext>(DeviceContext::Target::Framebuffer);
  dc->framebuffer = memory;
  dc->origin = POINT{clampCoordinate(origin.x), clampCoordinate(origin.y)};
  dc->visible = std::move(visible);
  dc->brush = std::static_pointer_cast<Brush>(GdiObjectTable::instance().stock(WHITE_BRUSH));
  dc->font = std::static_pointer_cast<Font>(GdiObjectTable::instance().stock(SYSTEM_FONT));
  return static_cast<HDC>(GdiObjectTable::instance().add(dc));
}

bool setFramebufferOrigin(HDC handle, POINT origin) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = framebufferDC(handle);
  if (!dc) return false;
  dc->origin = POINT{clampCoordinate(origin.x), clampCoordinate(origin.y)};
  return true;
}

bool setFramebufferVisibleRegion(HDC handle, std::vector<RECT> visible) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = framebufferDC(handle);
  if (!dc) return false;
  dc->visible = std::move(visible);
  return true;
}

bool retargetFramebuffer(HDC handle, const PixelMemory& memory) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = framebufferDC(handle);
  if (!dc) return false;
  if (!usable(memory)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  dc->framebuffer = memory;
  return true;
}

} // namespace ce
