#include "icons/icon.h"

#include "imaging/pixel_converter.h"

#include <ce/gdi.h>
#include <ce/icons.h>

#include <cstring>

namespace ce {
namespace {

// A top-down DIB section of `bits` per pixel filled with the icon's pixels.
HBITMAP dibSection(const IconImage &image, int bits, bool premultiplied) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = LONG(image.width);
  info.bmiHeader.biHeight = -LONG(image.height);
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = WORD(bits);
  info.bmiHeader.biCompression = BI_RGB;
  void *pixels = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
  if (!bitmap || !pixels)
    return bitmap;
  const std::size_t stride = (std::size_t(image.width) * std::size_t(bits) + 31) / 32 * 4;
  for (UINT y = 0; y < image.height; ++y) {
    auto *row = static_cast<std::uint8_t *>(pixels) + y * stride;
    for (UINT x = 0; x < image.width; ++x) {
      ARGB c = image.pixels[std::size_t(y) * image.width + x];
      if (bits == 32) {
        if (premultiplied)
          c = PixelConverter::premultiply(c);
        std::memcpy(row + 4 * x, &c, 4);
      } else {
        row[3 * x] = std::uint8_t(c);
        row[3 * x + 1] = std::uint8_t(c >> 8);
        row[3 * x + 2] = std::uint8_t(c >> 16);
      }
    }
  }
  return bitmap;
}

// Restores what a scope selected into a DC and the DC's colours.
class Selection {
public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
  ~Selection() {
    if (previous_)
      SelectObject(dc_, previous_);
  }
  Selection(const Selection &) = delete;
  Selection &operator=(const Selection &) = delete;
  bool ok() const { return previous_ != nullptr; }

private:
  HDC dc_;
  HGDIOBJ previous_;
};

struct MemoryDc {
  HDC dc;
  explicit MemoryDc(HDC reference) : dc(CreateCompatibleDC(reference)) {}
  ~MemoryDc() {
    if (dc)
      DeleteDC(dc);
  }
  MemoryDc(const MemoryDc &) = delete;
  MemoryDc &operator=(const MemoryDc &) = delete;
};

} // namespace

std::shared_ptr<Icon> Icon::create(IconImage image) {
  std::shared_ptr<Icon> icon(new Icon(std::move(image)));
  // Drawing uses the mask as a black (opaque) and white (transparent) colour bitmap, so the
  // result does not depend on the text and background colours of the caller's DC.
  IconImage maskImage;
  maskImage.width = icon->image_.width;
  maskImage.height = icon->image_.height;
  for (auto transparent : icon->image_.mask)
    maskImage.pixels.push_back(transparent ? 0xFFFFFFFFu : 0xFF000000u);
  icon->mask_ = dibSection(maskImage, 24, false);
  icon->colour_ = icon->newColourBitmap();
  if (icon->image_.hasAlpha)
    icon->premultiplied_ = dibSection(icon->image_, 32, true);
  if (!icon->mask_ || !icon->colour_ || (icon->image_.hasAlpha && !icon->premultiplied_))
    return nullptr;
  return icon;
}

Icon::~Icon() {
  for (HBITMAP b : {mask_, colour_, premultiplied_})
    if (b)
      DeleteObject(b);
}

HBITMAP Icon::newMaskBitmap() const {
  // Monochrome rows padded to 16 bits; a set bit is a transparent pixel.
  const std::size_t stride = (std::size_t(image_.width) + 15) / 16 * 2;
  std::vector<std::uint8_t> bits(stride * image_.height, 0);
  for (UINT y = 0; y < image_.height; ++y)
    for (UINT x = 0; x < image_.width; ++x)
      if (image_.mask[std::size_t(y) * image_.width + x])
        bits[y * stride + x / 8] |= std::uint8_t(0x80 >> (x % 8));
  return CreateBitmap(int(image_.width), int(image_.height), 1, 1, bits.data());
}

HBITMAP Icon::newColourBitmap() const {
  return dibSection(image_, image_.hasAlpha ? 32 : 24, false);
}

BOOL Icon::draw(HDC dc, int x, int y, int width, int height, HBRUSH flickerFreeBrush,
                UINT flags) const {
  if (!flickerFreeBrush)
    return drawDirect(dc, x, y, width, height, flags);
  // Compose the cell off screen on the brush's background, then copy it in one piece.
  IconImage cell;
  cell.width = UINT(width);
  cell.height = UINT(height);
  cell.pixels.assign(std::size_t(width) * std::size_t(height), 0);
  HBITMAP scratch = dibSection(cell, 32, false);
  if (!scratch)
    return FALSE;
  BOOL ok = FALSE;
  {
    MemoryDc memory(dc);
    if (memory.dc) {
      Selection selected(memory.dc, scratch);
      const RECT all{0, 0, width, height};
      ok = selected.ok() && FillRect(memory.dc, &all, flickerFreeBrush) &&
           drawDirect(memory.dc, 0, 0, width, height, flags) &&
           BitBlt(dc, x, y, width, height, memory.dc, 0, 0, SRCCOPY);
    }
  }
  DeleteObject(scratch);
  return ok;
}

BOOL Icon::drawDirect(HDC dc, int x, int y, int width, int height, UINT flags) const {
  MemoryDc memory(dc);
  if (!memory.dc)
    return FALSE;
  const int w = int(image_.width), h = int(image_.height);
  const bool blend = image_.hasAlpha && (flags & DI_NORMAL) == DI_NORMAL;
  BOOL ok = TRUE;
  if ((flags & DI_MASK) && !blend) {
    Selection selected(memory.dc, mask_);
    ok = selected.ok() && StretchBlt(dc, x, y, width, height, memory.dc, 0, 0, w, h,
                                     (flags & DI_IMAGE) ? SRCAND : SRCCOPY);
  }
  if (ok && (flags & DI_IMAGE)) {
    if (blend) {
      Selection selected(memory.dc, premultiplied_);
      const BLENDFUNCTION function{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
      ok = selected.ok() && AlphaBlend(dc, x, y, width, height, memory.dc, 0, 0, w, h, function);
    } else {
      Selection selected(memory.dc, colour_);
      ok = selected.ok() && StretchBlt(dc, x, y, width, height, memory.dc, 0, 0, w, h,
                                       (flags & DI_MASK) ? SRCINVERT : SRCCOPY);
    }
  }
  return ok;
}

} // namespace ce
