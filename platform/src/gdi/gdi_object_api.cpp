// DCs, object creation and selection, object queries and device capabilities.
#include "gdi/gdi_lookup.h"

#include <ce/core/device_profile.h>
#include <ce/errors.h>
#include <ce/gdi.h>

#include <algorithm>
#include <cstring>

using namespace ce;

namespace {

std::shared_ptr<Brush> stockBrush(int index) {
  return std::static_pointer_cast<Brush>(GdiObjectTable::instance().stock(index));
}
std::shared_ptr<Font> stockFont() {
  return std::static_pointer_cast<Font>(GdiObjectTable::instance().stock(SYSTEM_FONT));
}

// The region type of what a DC can draw on now.
int clipType(const DeviceContext& dc) { return Region::fromRects(dc.deviceClip()).type(); }

} // namespace

HDC CreateCompatibleDC(HDC reference) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  if (reference && !lookupDC(reference)) return nullptr;
  auto dc = std::make_shared<DeviceContext>(DeviceContext::Target::Memory);
  dc->bitmap = GdiObjectTable::instance().stockBitmap();
  dc->brush = stockBrush(WHITE_BRUSH);
  dc->font = stockFont();
  return static_cast<HDC>(GdiObjectTable::instance().add(dc));
}

BOOL DeleteDC(HDC handle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return FALSE;
  if (dc->bitmap && dc->bitmap->selectedInto == dc.get()) dc->bitmap->selectedInto = nullptr;
  dc->bitmap.reset();
  GdiObjectTable::instance().remove(handle);
  return TRUE;
}

HBRUSH CreateSolidBrush(COLORREF color) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  return static_cast<HBRUSH>(GdiObjectTable::instance().add(std::make_shared<Brush>(BS_SOLID, color)));
}

HGDIOBJ GetStockObject(int index) {
  auto object = GdiObjectTable::instance().stock(index);
  if (!object) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return object->handle;
}

HGDIOBJ SelectObject(HDC handle, HGDIOBJ objectHandle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return nullptr;
  auto object = GdiObjectTable::instance().get(objectHandle);
  if (!object || object->kind() == GdiKind::DeviceContext) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  switch (object->kind()) {
  case GdiKind::Bitmap: {
    auto bitmap = std::static_pointer_cast<Bitmap>(object);
    if (dc->target != DeviceContext::Target::Memory) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    if (bitmap == dc->bitmap) return bitmap->handle;
    if (!bitmap->stock && bitmap->selectedInto && bitmap->selectedInto != dc.get()) {
      SetLastError(ERROR_BUSY); // a bitmap lives in one DC at a time
      return nullptr;
    }
    auto previous = dc->bitmap;
    if (previous && previous->selectedInto == dc.get()) previous->selectedInto = nullptr;
    if (!bitmap->stock) bitmap->selectedInto = dc.get();
    dc->bitmap = bitmap;
    return previous ? previous->handle : nullptr;
  }
  case GdiKind::Brush: {
    auto previous = dc->brush;
    dc->brush = std::static_pointer_cast<Brush>(object);
    return previous ? previous->handle : nullptr;
  }
  case GdiKind::Font: {
    auto previous = dc->font;
    dc->font = std::static_pointer_cast<Font>(object);
    return previous ? previous->handle : nullptr;
  }
  case GdiKind::Region: {
    dc->clip = Region(*std::static_pointer_cast<Region>(object));
    return reinterpret_cast<HGDIOBJ>(static_cast<INT_PTR>(clipType(*dc)));
  }
  case GdiKind::DeviceContext: break;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return nullptr;
}

BOOL DeleteObject(HGDIOBJ handle) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto object = GdiObjectTable::instance().get(handle);
  if (!object || object->kind() == GdiKind::DeviceContext) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (object->stock) return TRUE;
  if (object->kind() == GdiKind::Bitmap &&
      std::static_pointer_cast<Bitmap>(object)->selectedInto != nullptr) {
    SetLastError(ERROR_BUSY);
    return FALSE;
  }
  GdiObjectTable::instance().remove(handle);
  return TRUE;
}

int GetObjectW(HGDIOBJ handle, int size, LPVOID buffer) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto object = GdiObjectTable::instance().get(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  if (size < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto copyOut = [&](const void* data, int bytes, bool partialAllowed) {
    if (!buffer) return bytes;
    if (size < bytes && !partialAllowed) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    const int n = std::min(size, bytes);
    std::memcpy(buffer, data, static_cast<std::size_t>(n));
    return n;
  };
  switch (object->kind()) {
  case GdiKind::Bitmap: {
    auto bitmap = std::static_pointer_cast<Bitmap>(object);
    if (bitmap->layout().dibSection && (!buffer || size >= int(sizeof(DIBSECTION)))) {
      const DIBSECTION section = bitmap->describeSection();
      return copyOut(&section, sizeof section, false);
    }
    const BITMAP b = bitmap->describe();
    return copyOut(&b, sizeof b, false);
  }
  case GdiKind::Font: {
    const LOGFONTW f = std::static_pointer_cast<Font>(object)->logical;
    return copyOut(&f, sizeof f, true);
  }
  case GdiKind::Brush: {
    auto brush = std::static_pointer_cast<Brush>(object);
    const LOGBRUSH b{brush->style, brush->color, 0};
    return copyOut(&b, sizeof b, true);
  }
  case GdiKind::Region:
  case GdiKind::DeviceContext: break;
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return 0;
}

DWORD GetObjectType(HGDIOBJ handle) {
  auto object = GdiObjectTable::instance().get(handle);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return 0;
  }
  switch (object->kind()) {
  case GdiKind::DeviceContext:
    return std::static_pointer_cast<DeviceContext>(object)->target ==
                   DeviceContext::Target::Memory
               ? OBJ_MEMDC
               : OBJ_DC;
  case GdiKind::Bitmap: return OBJ_BITMAP;
  case GdiKind::Brush: return OBJ_BRUSH;
  case GdiKind::Font: return OBJ_FONT;
  case GdiKind::Region: return OBJ_REGION;
  }
  return 0;
}

HGDIOBJ GetCurrentObject(HDC handle, UINT type) {
  GdiLock lock(GdiObjectTable::instance().mutex());
  auto dc = lookupDC(handle);
  if (!dc) return nullptr;
  switch (type) {
  case OBJ_BITMAP: return dc->bitmap ? dc->bitmap->handle : nullptr;
  case OBJ_BRUSH: return dc->brush ? dc->brush->handle : nullptr;
  case OBJ_FONT: return dc->font ? dc->font->handle : nullptr;
  default: SetLastError(ERROR_INVALID_PARAMETER); return nullptr;
  }
}

int GetDeviceCaps(HDC handle, int index) {
  {
    GdiLock lock(GdiObjectTable::instance().mutex());
    if (!lookupDC(handle)) return 0;
  }
  const DeviceProfile profile = DeviceProfile::current();
  const int dpi = profile.dpi > 0 ? profile.dpi : 96;
  switch (index) {
  case DRIVERVERSION: return 0x0400;
  case TECHNOLOGY: return DT_RASDISPLAY;
  case HORZSIZE: return profile.screenWidth * 254 / (dpi * 10);
  case VERTSIZE: return profile.screenHeight * 254 / (dpi * 10);
  case HORZRES: return profile.screenWidth;
  case VERTRES: return profile.screenHeight;
  case BITSPIXEL: return 16;
  case PLANES: return 1;
  case NUMBRUSHES:
  case NUMPENS:
  case NUMCOLORS: return -1;
  case NUMFONTS: return 0;
  case RASTERCAPS: return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT;
  case LOGPIXELSX:
  case LOGPIXELSY: return dpi;
  case SIZEPALETTE: return 0;
  default: return 0;
  }
}
