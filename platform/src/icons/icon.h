// The object behind an HICON: its pixels and the GDI bitmaps it draws with.
#pragma once

#include "icons/icon_image.h"

#include <ce/types.h>

#include <memory>

namespace ce {

class Icon {
public:
  // Builds the GDI bitmaps; null when GDI refuses them.
  static std::shared_ptr<Icon> create(IconImage image);
  ~Icon();
  Icon(const Icon &) = delete;
  Icon &operator=(const Icon &) = delete;

  const IconImage &image() const { return image_; }
  // New bitmaps for GetIconInfo, which the caller deletes.
  HBITMAP newMaskBitmap() const;
  HBITMAP newColourBitmap() const;
  BOOL draw(HDC dc, int x, int y, int width, int height, HBRUSH flickerFreeBrush, UINT flags) const;

private:
  explicit Icon(IconImage image) : image_(std::move(image)) {}
  BOOL drawDirect(HDC dc, int x, int y, int width, int height, UINT flags) const;

  IconImage image_;
  HBITMAP mask_ = nullptr; // black and white, 24 bits
  HBITMAP colour_ = nullptr;
  HBITMAP premultiplied_ = nullptr; // alpha icons: what AlphaBlend draws
};

} // namespace ce
