// BitBlt, StretchBlt, PatBlt, AlphaBlend, TransparentBlt and FillRect.
#include "gdi/blitter.h"
#include "gdi/gdi_lookup.h"

#include <ce/errors.h>
#include <ce/gdi.h>

#include <array>

using namespace ce;

namespace {

constexpr bool ropUsesSource(std::uint8_t index) { return ((index >> 2) & 0x33) != (index & 0x33); }
constexpr bool ropUsesPattern(std::uint8_t index) { return ((index >> 4) & 0x0F) != (index & 0x0F); }

// One axis of a caller's rectangle in target coordinates: start and positive length, and
// whether a negative extent asked for mirroring.
struct Span {
  int start;
  int length;
  bool flipped;
};

Span span(long long position, long long extent, int origin) {
  bool flipped = false;
  if (extent < 0) {
    position += extent;
    extent = -extent;
    flipped = true;
  }
  const int start = clampCoordinate(position + origin);
  const int length = static_cast<int>(std::min<long long>(extent, kCoordinateLimit));
  return Span{start, length, flipped};
}

AxisMap axisMap(const Span& dest, const Span& source) {
  return AxisMap{dest.start, dest.length, source.start, source.length, dest.flipped != source.flipped};
}

RECT destRect(const Span& x, const Span& y) {
  return RECT{x.start, y.start, x.start + x.length, y.start + y.length};
}

// The source as the destination sees it: a monochrome bitmap copied into colour takes the
// destination's text and background colours; colour copied into monochrome compares with the
// source's background colour.
struct PreparedSource {
  BlitSource source;
  std::array<std::uint32_t, 2> monoPalette{};
};

void prepareSource(PreparedSource& prepared, const DeviceContext& dest, const DeviceContext& src) {
  BlitSource& s = prepared.source;
  s.view = src.pixels();
  if (src.monochrome() && !dest.monochrome()) {
    prepared.monoPalette = {argbFromColorRef(dest.textColor), argbFromColorRef(dest.bkColor)};
    s.view.palette = prepared.monoPalette.data();
    s.view.paletteSize = 2;
  } else if (dest.monochrome() && !src.monochrome()) {
    s.toMonochrome = true;
    s.monochromeKey = s.view.representable(argbFromColorRef(src.bkColor));
  }
}

BOOL stretch(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX,
             int sourceY, int sourceWidth, int sourceHeight, DWORD rop, bool mirrorAllowed) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dest = lookupDC(destHandle);
  if (!dest) return FALSE;
  const auto index = static_cast<std::uint8_t>(rop >> 16);
  std::shared_ptr<DeviceContext> src;
  if (ropUsesSource(index)) {
    src = lookupDC(sourceHandle);
    if (!src) return FALSE;
  }
  if (width == 0 || height == 0 || (src && (sourceWidth == 0 || sourceHeight == 0))) return TRUE;
  if (!mirrorAllowed && (width < 0 || height < 0)) return TRUE; // nothing to draw
  std::uint32_t pattern = 0;
  if (ropUsesPattern(index)) {
    if (!dest->brush || !dest->brush->paints()) return TRUE; // a null brush paints nothing
    pattern = argbFromColorRef(dest->brush->color);
  }
  const Span dx = span(x, width, dest->origin.x), dy = span(y, height, dest->origin.y);
  Blitter blitter(dest->pixels(), dest->deviceClip());
  if (!src) {
    blitter.rasterOperation(destRect(dx, dy), nullptr, index, pattern);
    return TRUE;
  }
  const Span sx = span(sourceX, mirrorAllowed ? sourceWidth : width, src->origin.x);
  const Span sy = span(sourceY, mirrorAllowed ? sourceHeight : height, src->origin.y);
  PreparedSource prepared;
  prepareSource(prepared, *dest, *src);
  prepared.source.x = axisMap(dx, sx);
  prepared.source.y = axisMap(dy, sy);
  blitter.rasterOperation(destRect(dx, dy), &prepared.source, index, pattern);
  return TRUE;
}

} // namespace

BOOL BitBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX, int sourceY,
            DWORD rop) {
  return stretch(dest, x, y, width, height, source, sourceX, sourceY, width, height, rop, false);
}

BOOL StretchBlt(HDC dest, int x, int y, int width, int height, HDC source, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, DWORD rop) {
  return stretch(dest, x, y, width, height, source, sourceX, sourceY, sourceWidth, sourceHeight,
                 rop, true);
}

BOOL PatBlt(HDC dc, int x, int y, int width, int height, DWORD rop) {
  if (ropUsesSource(static_cast<std::uint8_t>(rop >> 16))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  return stretch(dc, x, y, width, height, nullptr, 0, 0, 0, 0, rop, true);
}

BOOL AlphaBlend(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle, int sourceX,
                int sourceY, int sourceWidth, int sourceHeight, BLENDFUNCTION blend) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dest = lookupDC(destHandle);
  if (!dest) return FALSE;
  auto src = lookupDC(sourceHandle);
  if (!src) return FALSE;
  if (blend.BlendOp != AC_SRC_OVER || blend.BlendFlags != 0 ||
      (blend.AlphaFormat & ~AC_SRC_ALPHA) != 0 || width < 0 || height < 0 || sourceWidth < 0 ||
      sourceHeight < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
  if (perPixel && src->pixels().format != PixelFormat::Bgra32) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return TRUE;
  const Span dx = span(x, width, dest->origin.x), dy = span(y, height, dest->origin.y);
  const Span sx = span(sourceX, sourceWidth, src->origin.x);
  const Span sy = span(sourceY, sourceHeight, src->origin.y);
  BlitSource source;
  source.view = src->pixels();
  source.x = axisMap(dx, sx);
  source.y = axisMap(dy, sy);
  Blitter blitter(dest->pixels(), dest->deviceClip());
  blitter.alphaBlend(destRect(dx, dy), source, blend.SourceConstantAlpha, perPixel);
  return TRUE;
}

BOOL TransparentBlt(HDC destHandle, int x, int y, int width, int height, HDC sourceHandle,
                    int sourceX, int sourceY, int sourceWidth, int sourceHeight, UINT transparent) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dest = lookupDC(destHandle);
  if (!dest) return FALSE;
  auto src = lookupDC(sourceHandle);
  if (!src) return FALSE;
  if (width < 0 || height < 0 || sourceWidth < 0 || sourceHeight < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (width == 0 || height == 0 || sourceWidth == 0 || sourceHeight == 0) return TRUE;
  const Span dx = span(x, width, dest->origin.x), dy = span(y, height, dest->origin.y);
  const Span sx = span(sourceX, sourceWidth, src->origin.x);
  const Span sy = span(sourceY, sourceHeight, src->origin.y);
  PreparedSource prepared;
  prepared.source.view = src->pixels();
  prepared.source.x = axisMap(dx, sx);
  prepared.source.y = axisMap(dy, sy);
  const std::uint32_t key = prepared.source.view.representable(argbFromColorRef(transparent));
  Blitter blitter(dest->pixels(), dest->deviceClip());
  blitter.transparentCopy(destRect(dx, dy), prepared.source, key);
  return TRUE;
}

int FillRect(HDC handle, const RECT* rect, HBRUSH brushHandle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return 0;
  auto brush = lookupBrush(brushHandle);
  if (!brush) return 0;
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!brush->paints()) return 1;
  const RECT r{clampCoordinate(static_cast<long long>(rect->left) + dc->origin.x),
               clampCoordinate(static_cast<long long>(rect->top) + dc->origin.y),
               clampCoordinate(static_cast<long long>(rect->right) + dc->origin.x),
               clampCoordinate(static_cast<long long>(rect->bottom) + dc->origin.y)};
  Blitter blitter(dc->pixels(), dc->deviceClip());
  blitter.fill(r, argbFromColorRef(brush->color));
  return 1;
}
