// The base of everything behind a GDI handle (DCs, bitmaps, brushes, fonts, regions).
#pragma once

#include <ce/types.h>

namespace ce {

enum class GdiKind { DeviceContext, Bitmap, Brush, Font, Region };

class GdiObject {
public:
  virtual ~GdiObject() = default;
  virtual GdiKind kind() const = 0;

  // Set by the handle table when the object gets its handle.
  HGDIOBJ handle = nullptr;
  // Stock objects are shared by every DC and never deleted.
  bool stock = false;
};

} // namespace ce
