// Handle validation for the GDI calls: each lookup returns the object, or null with
// ERROR_INVALID_HANDLE set when the handle is not a live object of that kind.
#pragma once

#include "gdi/bitmap.h"
#include "gdi/brush.h"
#include "gdi/device_context.h"
#include "gdi/font.h"
#include "gdi/gdi_object_table.h"
#include "gdi/region.h"

#include <ce/errors.h>

namespace ce {

template <class T> std::shared_ptr<T> lookupGdi(const void* handle, GdiKind kind) {
  auto object =
      GdiObjectTable::instance().getAs<T>(const_cast<void*>(handle), kind);
  if (!object) SetLastError(ERROR_INVALID_HANDLE);
  return object;
}

inline std::shared_ptr<DeviceContext> lookupDC(HDC dc) {
  return lookupGdi<DeviceContext>(dc, GdiKind::DeviceContext);
}
inline std::shared_ptr<Bitmap> lookupBitmap(const void* h) {
  return lookupGdi<Bitmap>(h, GdiKind::Bitmap);
}
inline std::shared_ptr<Brush> lookupBrush(const void* h) {
  return lookupGdi<Brush>(h, GdiKind::Brush);
}
inline std::shared_ptr<Font> lookupFont(const void* h) { return lookupGdi<Font>(h, GdiKind::Font); }
inline std::shared_ptr<Region> lookupRegion(const void* h) {
  return lookupGdi<Region>(h, GdiKind::Region);
}

} // namespace ce
