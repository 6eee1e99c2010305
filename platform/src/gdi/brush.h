// A brush: a solid colour, or the null brush that paints nothing.
#pragma once

#include "gdi/gdi_object.h"

#include <ce/gdi.h>

namespace ce {

class Brush : public GdiObject {
public:
  Brush(UINT style, COLORREF color) : style(style), color(color & 0xFFFFFF) {}
  GdiKind kind() const override { return GdiKind::Brush; }
  bool paints() const { return style != BS_NULL; }

  UINT style;
  COLORREF color;
};

} // namespace ce
