// Regions and the clip region of a DC.
#include "gdi/gdi_lookup.h"

#include <ce/errors.h>
#include <ce/gdi.h>

using namespace ce;

namespace {

RECT clampedRect(long long left, long long top, long long right, long long bottom) {
  return RECT{clampCoordinate(left), clampCoordinate(top), clampCoordinate(right),
              clampCoordinate(bottom)};
}

int clipType(const DeviceContext& dc) { return Region::fromRects(dc.deviceClip()).type(); }

// Everything a DC may draw on, in logical coordinates, for clip operations on a DC without a
// clip region.
Region wholeArea() {
  return Region(RECT{-static_cast<LONG>(kCoordinateLimit), -static_cast<LONG>(kCoordinateLimit),
                     static_cast<LONG>(kCoordinateLimit), static_cast<LONG>(kCoordinateLimit)});
}

} // namespace

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto region = std::make_shared<Region>(clampedRect(left, top, right, bottom));
  return static_cast<HRGN>(GdiObjectTable::instance().add(region));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

BOOL SetRectRgn(HRGN handle, int left, int top, int right, int bottom) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto region = lookupRegion(handle);
  if (!region) return FALSE;
  region->setRect(clampedRect(left, top, right, bottom));
  return TRUE;
}

int CombineRgn(HRGN destHandle, HRGN first, HRGN second, int mode) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dest = lookupRegion(destHandle);
  auto a = lookupRegion(first);
  if (!dest || !a) return ERROR;
  if (mode == RGN_COPY) {
    *dest = *a;
    return dest->type();
  }
  auto b = lookupRegion(second);
  if (!b) return ERROR;
  switch (mode) {
  case RGN_AND: *dest = a->intersected(*b); break;
  case RGN_OR: *dest = a->united(*b); break;
  case RGN_XOR: *dest = a->xored(*b); break;
  case RGN_DIFF: *dest = a->subtracted(*b); break;
  default: SetLastError(ERROR_INVALID_PARAMETER); return ERROR;
  }
  return dest->type();
}

int OffsetRgn(HRGN handle, int dx, int dy) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto region = lookupRegion(handle);
  if (!region) return ERROR;
  if (!region->empty()) {
    const RECT box = region->box();
    const long long limit = kCoordinateLimit;
    if (box.left + static_cast<long long>(dx) < -limit ||
        box.right + static_cast<long long>(dx) > limit ||
        box.top + static_cast<long long>(dy) < -limit ||
        box.bottom + static_cast<long long>(dy) > limit) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return ERROR;
    }
    region->offset(dx, dy);
  }
  return region->type();
}

int GetRgnBox(HRGN handle, LPRECT rect) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto region = lookupRegion(handle);
  if (!region) return ERROR;
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  *rect = region->box();
  return region->type();
}

BOOL PtInRegion(HRGN handle, int x, int y) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto region = lookupRegion(handle);
  return region && region->contains(x, y);
}

BOOL RectInRegion(HRGN handle, const RECT* rect) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto region = lookupRegion(handle);
  if (!region || !rect) return FALSE;
  Region probe(clampedRect(rect->left, rect->top, rect->right, rect->bottom));
  return !probe.empty() && region->intersects(probe.rects().front());
}

BOOL EqualRgn(HRGN a, HRGN b) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto first = lookupRegion(a);
  auto second = lookupRegion(b);
  return first && second && first->equals(*second);
}

int SelectClipRgn(HDC handle, HRGN regionHandle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return ERROR;
  if (!regionHandle) {
    dc->clip.reset();
    return clipType(*dc);
  }
  auto region = lookupRegion(regionHandle);
  if (!region) return ERROR;
  dc->clip = Region(*region);
  return clipType(*dc);
}

int IntersectClipRect(HDC handle, int left, int top, int right, int bottom) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return ERROR;
  const Region rect(clampedRect(left, top, right, bottom));
  dc->clip = dc->clip ? dc->clip->intersected(rect) : rect;
  return clipType(*dc);
}

int ExcludeClipRect(HDC handle, int left, int top, int right, int bottom) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return ERROR;
  const Region rect(clampedRect(left, top, right, bottom));
  dc->clip = (dc->clip ? *dc->clip : wholeArea()).subtracted(rect);
  return clipType(*dc);
}

int GetClipBox(HDC handle, LPRECT rect) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return ERROR;
  if (!rect) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return ERROR;
  }
  const Region area = Region::fromRects(dc->deviceClip());
  RECT box = area.box();
  if (!area.empty()) {
    box.left -= dc->origin.x;
    box.right -= dc->origin.x;
    box.top -= dc->origin.y;
    box.bottom -= dc->origin.y;
  }
  *rect = box;
  return area.type();
}

int GetClipRgn(HDC handle, HRGN regionHandle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return -1;
  auto region = lookupRegion(regionHandle);
  if (!region) return -1;
  if (!dc->clip) return 0;
  *region = *dc->clip;
  return 1;
}
