#include "gdi/bitmap.h"

#include <ce/errors.h>

namespace ce {

std::shared_ptr<Bitmap> Bitmap::create(Layout layout, DWORD* error) {
  auto fail = [&](DWORD code) {
    if (error) *error = code;
    return std::shared_ptr<Bitmap>();
  };
  if (layout.width <= 0 || layout.height <= 0 || layout.width > kMaxSide ||
      layout.height > kMaxSide)
    return fail(ERROR_INVALID_PARAMETER);
  const std::size_t align = layout.rowAlignment == 4 ? 32 : 16;
  const std::size_t bitsPerRow =
      static_cast<std::size_t>(layout.width) * static_cast<std::size_t>(bitsPerPixel(layout.format));
  const std::size_t stride = (bitsPerRow + align - 1) / align * (align / 8);
  const std::size_t total = stride * static_cast<std::size_t>(layout.height);
  if (total > kMaxBytes) return fail(ERROR_INVALID_PARAMETER);
  if (isIndexed(layout.format)) {
    const std::size_t entries = std::size_t(1) << bitsPerPixel(layout.format);
    layout.palette.resize(entries, 0); // missing entries read as black
  } else {
    layout.palette.clear();
  }

  auto bitmap = std::shared_ptr<Bitmap>(new (std::nothrow) Bitmap);
  if (!bitmap) return fail(ERROR_NOT_ENOUGH_MEMORY);
  bitmap->bits_.reset(static_cast<std::uint8_t*>(std::calloc(total, 1)));
  if (!bitmap->bits_) return fail(ERROR_NOT_ENOUGH_MEMORY);
  bitmap->stride_ = stride;
  bitmap->opaquePalette_ = layout.palette;
  for (auto& c : bitmap->opaquePalette_) c = (c & 0xFFFFFF) | kOpaque;
  bitmap->layout_ = std::move(layout);
  return bitmap;
}

PixelView Bitmap::view() const {
  PixelView v;
  v.width = layout_.width;
  v.height = layout_.height;
  v.format = layout_.format;
  const auto stride = static_cast<std::ptrdiff_t>(stride_);
  if (layout_.topDown) {
    v.top = bits_.get();
    v.stride = stride;
  } else {
    v.top = bits_.get() + stride * (layout_.height - 1);
    v.stride = -stride;
  }
  v.palette = opaquePalette_.data();
  v.paletteSize = static_cast<int>(opaquePalette_.size());
  return v;
}

BITMAP Bitmap::describe() const {
  BITMAP b{};
  b.bmType = 0;
  b.bmWidth = layout_.width;
  b.bmHeight = layout_.height;
  b.bmWidthBytes = static_cast<LONG>(stride_);
  b.bmPlanes = 1;
  b.bmBitsPixel = static_cast<WORD>(bitsPerPixel(layout_.format));
  // Only DIB sections hand out their memory.
  b.bmBits = layout_.dibSection ? bits_.get() : nullptr;
  return b;
}

DIBSECTION Bitmap::describeSection() const {
  DIBSECTION s{};
  s.dsBm = describe();
  auto& h = s.dsBmih;
  h.biSize = sizeof(BITMAPINFOHEADER);
  h.biWidth = layout_.width;
  h.biHeight = layout_.topDown ? -layout_.height : layout_.height;
  h.biPlanes = 1;
  h.biBitCount = s.dsBm.bmBitsPixel;
  h.biCompression = layout_.compression;
  h.biSizeImage = static_cast<DWORD>(byteSize());
  h.biClrUsed = isIndexed(layout_.format) ? static_cast<DWORD>(layout_.palette.size()) : 0;
  for (int i = 0; i < 3; ++i) s.dsBitfields[i] = layout_.bitfields[i];
  s.dshSection = nullptr;
  s.dsOffset = 0;
  return s;
}

} // namespace ce
