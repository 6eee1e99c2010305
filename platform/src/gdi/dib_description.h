// What a BITMAPINFO describes: size, orientation, pixel format and colour table, validated.
#pragma once

#include "gdi/bitmap.h"

#include <ce/gdi.h>

#include <optional>

namespace ce {

struct DibDescription {
  // The bitmap layout (width, height, format, palette, masks) the header asks for.
  Bitmap::Layout layout;
  std::size_t stride = 0; // bytes per row, padded to 4

  // Null (with *error = ERROR_INVALID_PARAMETER) for a header this platform does not accept.
  // `allowUnknownBitCount` accepts biBitCount 0 (GetDIBits asking for the bitmap's format).
  static std::optional<DibDescription> parse(const BITMAPINFO* info, UINT usage, DWORD* error,
                                             bool allowUnknownBitCount = false);

  // A view of caller memory holding rows [first, first + count) of the image in this layout
  // (scan lines numbered from the bottom for bottom-up images); the view's row 0 is the
  // topmost of them, and *imageTop receives its row number in the image counted from the top.
  PixelView viewOf(void* bits, int first, int count, int* imageTop) const;
};

} // namespace ce
